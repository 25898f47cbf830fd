#!/usr/bin/env bash
# Builds the optimised native tools and runs them on a fresh copy of the bundled demo machine.
# Until the server exists, the main job is the platform layer's self-check on that machine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native

mkdir -p build
log=build/demo-build.log
if ! { cmake --preset release && cmake --build --preset release -j"$(nproc 2>/dev/null || echo 2)"; } >"$log" 2>&1; then
  cat "$log"
  exit 1
fi

machine=build/demo-machine
rm -rf "$machine"
cp -r examples/demo-machine "$machine"
echo "Demo machine: $machine (a copy of examples/demo-machine)"
echo "ZOVServer itself is not built yet: running the platform layer's self-check on the demo machine."
build/release/bin/zovctl --machine "$machine" self-check
