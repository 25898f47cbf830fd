#!/usr/bin/env bash
# Makes a fresh copy of the bundled demo machine with a native build's modules installed and
# registered: ZOVServer.dll and the virtual controller in C:\Program Files\ZOVServer, the host
# libraries qm32.dll and Wrk32dll.dll in the host's C:\HUX\kor_vel.
# Usage: scripts/prepare-demo-machine.sh BIN MACHINE   (BIN: the build's bin folder with zovctl)
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 BIN MACHINE" >&2; exit 2; }
bin=$1 machine=$2
source_machine="$(cd "$(dirname "$0")/.." && pwd)/examples/demo-machine"
rm -rf "$machine"
cp -r "$source_machine" "$machine"
install_dir="$machine/drive_c/Program Files/ZOVServer"
mkdir -p "$install_dir"
cp "$bin/ZOVServer.dll" "$bin/VirtualController.dll" "$install_dir/"
cp "$bin/qm32.dll" "$bin/Wrk32dll.dll" "$machine/drive_c/HUX/kor_vel/"
"$bin/zovctl" --machine "$machine" register 'C:\Program Files\ZOVServer\VirtualController.dll'
"$bin/zovctl" --machine "$machine" register 'C:\Program Files\ZOVServer\ZOVServer.dll'
