#!/usr/bin/env bash
# Installs, from Debian's packages, what the build needs and is missing; does nothing when all is
# present. Usage: scripts/deps.sh native|windows|all
set -euo pipefail
want=${1:-all}
native=(cmake g++ make libgtest-dev libbenchmark-dev mingw-w64-tools)
windows=(googletest g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools wine wine64)
case "$want" in
  native) pkgs=("${native[@]}") ;;
  windows) pkgs=("${windows[@]}") ;;
  all) pkgs=("${native[@]}" "${windows[@]}") ;;
  *) echo "usage: $0 native|windows|all" >&2; exit 2 ;;
esac
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing from Debian's packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
