#!/usr/bin/env bash
# Builds the optimised native build and runs ZOVServer on a fresh copy of the bundled demo machine:
# the server and the virtual controller are installed into the machine's C:\Program Files and
# registered, then zovctl calls the server as a host program would.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native

mkdir -p build
log=build/demo-build.log
if ! { cmake --preset release && cmake --build --preset release -j"$(nproc 2>/dev/null || echo 2)"; } >"$log" 2>&1; then
  cat "$log"
  exit 1
fi

bin=build/release/bin
machine=build/demo-machine
rm -rf "$machine"
cp -r examples/demo-machine "$machine"
install_dir="$machine/drive_c/Program Files/ZOVServer"
mkdir -p "$install_dir"
cp "$bin/ZOVServer.dll" "$bin/VirtualController.dll" "$install_dir/"
# The host's own libraries, where the host installs them: its profile reader and job interpreter.
cp "$bin/qm32.dll" "$bin/Wrk32dll.dll" "$machine/drive_c/HUX/kor_vel/"
zovctl() { "$bin/zovctl" --machine "$machine" "$@"; }

echo "Demo machine: $machine (a copy of examples/demo-machine)"
zovctl register 'C:\Program Files\ZOVServer\VirtualController.dll'
zovctl register 'C:\Program Files\ZOVServer\ZOVServer.dll'
echo
echo "== zovctl cancel   (no selection is running)"
zovctl cancel || true
echo
echo "== zovctl batch    (several calls on one server object)"
calls='cancel
select \WKS.DIR\PART1.ZOV\MAIN.MPF --channel 1 --access 0
cancel
find \WKS.DIR\PART1.ZOV ROUGH1
check \WKS.DIR\PART1.ZOV\PART1.DAT'
printf '%s\n' "$calls" | sed 's/^/  > /'
printf '%s\n' "$calls" | zovctl batch || true
echo "(Selection, program search and the DAT file methods answer -1 or an empty path until their"
echo " work is built; Cancel is complete.)"
echo
echo "== zovctl --json cancel"
zovctl --json cancel || true
echo
echo "Try it yourself: $bin/zovctl --machine $machine COMMAND ...   (zovctl without arguments lists the commands)"
