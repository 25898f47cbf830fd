#!/usr/bin/env bash
# Runs every test: the native build (AddressSanitizer + UndefinedBehaviorSanitizer) and its tests,
# the optimised native build, both mingw-w64 builds, and the Windows tests under Wine (x86_64; the
# i686 build is built and linked only, as no 32-bit Wine can be installed here).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh all

jobs=$(nproc 2>/dev/null || echo 2)
prefix="$PWD/build/mingw-x64/wineprefix"
stop_wine() { WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT

mkdir -p build
for preset in dev release mingw-x64 mingw-x86; do
  echo "== build $preset"
  log="build/$preset.log"
  if ! { cmake --preset "$preset" && cmake --build --preset "$preset" -j"$jobs"; } >"$log" 2>&1; then
    cat "$log"
    exit 1
  fi
  grep -E 'warning:' "$log" || true
done

echo "== native tests (dev)"
ctest --preset dev
echo "== Windows tests under Wine (mingw-x64)"
ctest --preset mingw-x64
