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
scripts/prepare-demo-machine.sh "$bin" "$machine" >/dev/null
# zovctl runs as a host program would: in the host program's folder C:\HUX\bin, from which the
# server finds the host's libraries and configuration (..\kor_vel\qm32.dll).
zovctl() { "$bin/zovctl" --machine "$machine" --directory 'C:\HUX\bin' "$@"; }

echo "Demo machine: $machine (a copy of examples/demo-machine; modules installed and registered)"
echo 'Host installation C:\HUX; program-store roots D:\PROGS (access level 3 and below) and'
echo '\\SERVER\SHARE\PARTS (level 1 and below), from C:\HUX\USER\LOGDRIVE.INI'
echo
show() {
  echo "== zovctl $*"
  zovctl "$@" || true
  echo
}
show path domain 'wks.dir\part1.zov\rough1'
show path host /_N_WKS_DIR/_N_PART1_ZOV/_N_MAIN_MPF
show find '\WKS.DIR\PART1.ZOV' ROUGH1
show find '\WKS.DIR\PART1.ZOV' CYCLE81
show find '\WKS.DIR\PART1.ZOV' PROBE1 --access 3
show find '\WKS.DIR\PART1.ZOV' PROBE1 --access 1 --trace
show find '\WKS.DIR\PART1.ZOV' NOWHERE --access 0
echo "== zovctl batch    (several calls on one server object)"
calls='cancel
find \WKS.DIR\PART1.ZOV DRILL5 --access 2
select \WKS.DIR\PART1.ZOV\MAIN.MPF --channel 1 --access 0
check \WKS.DIR\PART1.ZOV\PART1.DAT'
printf '%s\n' "$calls" | sed 's/^/  > /'
printf '%s\n' "$calls" | zovctl batch || true
echo "(Selection and the DAT file methods answer -1 until their work is built; Cancel, FindProgram"
echo " and the path conversions are complete.)"
echo
echo "== zovctl --json find '\WKS.DIR\PART1.ZOV' FINISH"
zovctl --json find '\WKS.DIR\PART1.ZOV' FINISH || true
echo
echo "Try it yourself: $bin/zovctl --machine $machine --directory 'C:\HUX\bin' COMMAND ..."
echo "(zovctl --help lists the commands)"
