#!/usr/bin/env bash
# zovctl find on a fresh copy of the bundled demo machine, run as a host program runs in the host
# program's folder C:\HUX\bin: a subprogram in the working directory, in a standard directory, on
# a program-store root only at a sufficient access level, and nothing (an empty line, exit 1).
#   usage: zovctl_demo_find.sh BIN   (BIN: the native build's bin folder)
set -uo pipefail
bin=$1
repo="$(cd "$(dirname "$0")/../.." && pwd)"
mkdir -p "${TMPDIR:-/tmp}"
machine=$(mktemp -d "${TMPDIR:-/tmp}/zov-demo-find-XXXXXX")
trap 'rm -rf "$machine"' EXIT
"$repo/scripts/prepare-demo-machine.sh" "$bin" "$machine" >/dev/null || { echo "FAILED: prepare"; exit 1; }

passed=0 failed=0
# expect EXIT OUTPUT [--here DIR] ARGS...: one zovctl call and what it must print and return.
expect() {
  local rc=$1 out=$2; shift 2
  local dir='C:\HUX\bin'
  if [ "$1" = "--here" ]; then dir=$2; shift 2; fi
  local got got_rc
  got=$("$bin/zovctl" --machine "$machine" --directory "$dir" "$@" 2>&1); got_rc=$?
  if [ "$got_rc" = "$rc" ] && [ "$got" = "$out" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: zovctl $* (in $dir): exit $got_rc, output \"$got\"; expected exit $rc, \"$out\""
  fi
}

work='\WKS.DIR\PART1.ZOV'
hdnc=TESK://domain/hd-nc
expect 0 "$hdnc/WKS.DIR/PART1.ZOV/ROUGH1.SPF" find "$work" ROUGH1
expect 0 "$hdnc/WKS.DIR/PART1.ZOV/LOADER.MPF" find "$work" LOADER
expect 0 "$hdnc/SPF.DIR/FINISH.SPF" find "$work" FINISH
expect 0 "$hdnc/CST.DIR/CYCLE81.SPF" find '' CYCLE81.SPF
expect 0 "$hdnc/CST.DIR/cycle81.SPF" find "$work" cycle81
expect 1 "" find "$work" WARMUP --access 0
expect 0 "$hdnc/WKS.DIR/PART1.ZOV/MAIN.MPF" find "$work" 'wks.dir\part1.zov\main.mpf'
expect 0 "TESK://domain/D:/PROGS/DRILL5.SPF" find "$work" DRILL5 --access 3
expect 0 "TESK://domain/D:/PROGS/DRILL5.SPF" find "$work" DRILL5 --access 0
expect 1 "" find "$work" DRILL5 --access 4
expect 1 "" find "$work" DRILL5
expect 0 "TESK://domain//SERVER/SHARE/PARTS/PROBE1.SPF" find "$work" PROBE1 --access 1
expect 1 "" find "$work" PROBE1 --access 2
expect 1 "" find "$work" PROBE1 --access -1
expect 1 "" find "$work" NOWHERE --access 0
# Outside the host program's folder the server finds no host library, so no connection list.
expect 1 "" --here 'C:\' find "$work" DRILL5 --access 0
# With the NC offline the default view is the hard disk's.
"$bin/zovctl" --machine "$machine" ncu offline NCU1 >/dev/null
expect 0 "TESK://domain/hd/WKS.DIR/PART1.ZOV/ROUGH1.SPF" find "$work" ROUGH1

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
