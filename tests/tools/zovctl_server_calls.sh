#!/usr/bin/env bash
# zovctl against the real server module and the virtual controller, as a host program calls them:
# the fixed answers (Cancel on an idle server, a batch refused whole), and — given the Windows
# build — the same output and exit status natively (our platform layer, a throw-away machine) and
# under Wine (the real COM runtime).
#   usage: zovctl_server_calls.sh NATIVE_BIN SERVER_DLL CONTROLLER_DLL [WINDOWS_BIN WINEPREFIX]
# NATIVE_BIN and WINDOWS_BIN are the build folders holding zovctl and the two modules, which are
# named SERVER_DLL and CONTROLLER_DLL (file names) in both. Natively the script registers the
# modules in its own machine and unregisters them again. Under Wine it uses the registration that
# regsvr32 made in the prefix for the tests (the prefix is shared with them) and changes nothing
# in it.
set -uo pipefail
native_bin=$1 server=$2 controller=$3 windows_bin=${4:-} prefix=${5:-}

# Each check counts once, passed or failed.
failures=0 count=0
check() { count=$((count + 1)); }
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# A machine with the two modules in C:\zov and a virtual controller in C:\controller whose hard
# disk holds one subprogram, SPF.DIR\SUB.SPF.
make_machine() {
  local m=$1
  mkdir -p "$m/drive_c/windows/temp" "$m/drive_c/zov" "$m/drive_c/controller/hd/SPF.DIR" \
           "$m/drive_c/controller/nc" "$m/drive_c/controller/ncu"
  printf 'N10\r\n' > "$m/drive_c/controller/hd/SPF.DIR/SUB.SPF"
  printf 'REGEDIT4\n\n' > "$m/registry.reg"
  printf '[Controller]\r\nDefaultNcu=NCU1\r\n' > "$m/drive_c/controller/controller.ini"
  printf '[NCU]\r\nOnline=1\r\n' > "$m/drive_c/controller/ncu/NCU1.ini"
}

scratch=$(mktemp -d)
native_machine="$scratch/native" wine_machine="$scratch/wine"
make_machine "$native_machine"
make_machine "$wine_machine"
trap 'rm -rf "$scratch"' EXIT

# A host path as Wine's drive Z: names it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

native() { "$native_bin/zovctl" --machine "$native_machine" "$@"; }
windows() {
  wine "$windows_bin/zovctl.exe" --machine "$(winpath "$wine_machine")" "$@" 2> >(tr -d '\r' >&2)
}

# Before registration: the server cannot be created (native side only: the Wine prefix is shared).
check
out=$(native cancel 2>&1); rc=$?
case "$out" in
  *"cannot create the server ZOVServer.CZOVServer.1: CLSIDFromProgID: HRESULT 0x800401F3"*) [ $rc -eq 1 ] || fail "unregistered server: exit $rc" ;;
  *) fail "unregistered server: $out" ;;
esac

# A batch without calls succeeds without creating the server.
check
out=$(printf '# nothing to call\n\n' | native batch 2>&1); rc=$?
[ $rc -eq 0 ] && [ -z "$out" ] || fail "empty batch, unregistered server: exit $rc: $out"

cp "$native_bin/$server" "$native_bin/$controller" "$native_machine/drive_c/zov/"
check; native register "C:\\zov\\$server" >/dev/null || fail "native register $server"
check; native register "C:\\zov\\$controller" >/dev/null || fail "native register $controller"
if [ -n "$windows_bin" ]; then
  export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
fi

batch='# calls on one server object
cancel
select C:\nowhere\NOPE.ZOV --channel 1
cancel
find /NC/WKS.DIR NOPE.SPF --access 3
check C:\nowhere\NOPE.DAT
update "C:\no where\NOPE.DAT"
'
bad_batch='cancel
cancel now
selct A
'

# One step: zovctl ARGS... with INPUT on standard input. The native exit status must be
# EXPECTED_RC and the output EXPECTED (unless it is "*": anything); under Wine both must be the
# same as natively. The output is left in $n_out.
step() {
  local name=$1 expected_rc=$2 expected=$3 input=$4
  shift 4
  n_out=$(printf '%s' "$input" | native "$@" 2>/dev/null); local n_rc=$?
  check; [ "$n_rc" = "$expected_rc" ] || fail "$name: native exit $n_rc, not $expected_rc"
  check
  if [ "$expected" != "*" ] && [ "$n_out" != "$expected" ]; then
    fail "$name: native printed"; printf '%s\n' "$n_out" | sed 's/^/    /'
  fi
  if [ -n "$windows_bin" ]; then
    check
    local w_out w_rc
    w_out=$(printf '%s' "$input" | windows "$@" 2>/dev/null); w_rc=$?
    if [ "$n_out" != "$w_out" ] || [ "$n_rc" != "$w_rc" ]; then
      fail "$name: native and Wine differ"
      echo "  native (exit $n_rc):"; printf '%s\n' "$n_out" | sed 's/^/    /'
      echo "  wine   (exit $w_rc):"; printf '%s\n' "$w_out" | sed 's/^/    /'
    fi
  fi
}

step "idle Cancel" 1 "-4 errZovServerIsIdle" "" cancel
step "idle Cancel, JSON" 1 \
  '{"method":"Cancel","args":{},"result":-4,"resultName":"errZovServerIsIdle","fileList":null}' "" --json cancel
step "batch" 1 "*" "$batch" batch
lines=$(printf '%s\n' "$n_out" | wc -l)
check; [ "$lines" -eq 6 ] || fail "batch: $lines lines for 6 calls"
check; [ "$(sed -n 1p <<<"$n_out")" = "-4 errZovServerIsIdle" ] || fail "batch: the first Cancel"
check; [ "$(sed -n 3p <<<"$n_out")" = "-4 errZovServerIsIdle" ] || fail "batch: Cancel after a selection"
step "batch, JSON" 1 "*" "$batch" --json batch
check; [ "$(printf '%s\n' "$n_out" | grep -c '^{"method":"[A-Za-z]*","args":{.*},"result":.*,"fileList":null}$')" -eq 6 ] ||
  fail "batch, JSON: not six JSON lines"
step "bad batch: no call made" 2 "" "$bad_batch" batch
step "usage error" 2 "" "" select

# Options a command does not take are usage errors naming the option, before anything is done.
# USAGE_FRAGMENT must be in the native message.
refused() {
  local name=$1 fragment=$2
  shift 2
  step "$name" 2 "" "cancel
" "$@"
  check
  local message
  message=$(printf 'cancel\n' | native "$@" 2>&1 >/dev/null)
  case "$message" in
    *"$fragment"*) ;;
    *) fail "$name: the message is: $message" ;;
  esac
}
refused "select --ncu" "option --ncu does not apply to select" select X --ncu NCU2
refused "batch --ncu" "option --ncu does not apply to batch" --ncu NCU2 batch
refused "batch --channel" "option --channel does not apply to batch" batch --channel 2
refused "self-check --json" "option --json does not apply to self-check" --json self-check
refused "register --access" "option --access does not apply to register" register 'C:\zov\X.dll' --access 1

# The same zovctl command on both machines, to change their controllers alike.
both() {
  check; native "$@" >/dev/null 2>&1 || fail "native $*"
  if [ -n "$windows_bin" ]; then
    check; windows "$@" >/dev/null 2>&1 || fail "wine $*"
  fi
}

# find --trace: after the result line, the names the server asked the directory to bind. The
# server has no configuration here (no program-store roots), and NCU1 has no /Bag/State/Opmode,
# so the NC does not answer and the view is "hd".
tried_standard='  tried TESK://domain/hd/SPF.DIR/NOPE
  tried TESK://domain/hd/SPF.DIR/NOPE.SPF
  tried TESK://domain/hd/CUS.DIR/NOPE
  tried TESK://domain/hd/CUS.DIR/NOPE.SPF
  tried TESK://domain/hd/CMA.DIR/NOPE
  tried TESK://domain/hd/CMA.DIR/NOPE.SPF
  tried TESK://domain/hd/CST.DIR/NOPE
  tried TESK://domain/hd/CST.DIR/NOPE.SPF'
step "find --trace, nothing found" 1 "
$tried_standard" "" find "" NOPE --trace
step "find --trace, found at once" 0 "TESK://domain/hd/SPF.DIR/SUB.SPF
  tried TESK://domain/hd/SPF.DIR/SUB.SPF" "" find "" SUB.SPF --trace
step "find --trace, JSON" 0 \
  '{"method":"FindProgram","args":{"sWorkingDirectory":"","sSearchName":"SUB","nAccessLevel":7},"result":"TESK://domain/hd/SPF.DIR/SUB.SPF","resultName":null,"tried":["TESK://domain/hd/SPF.DIR/SUB","TESK://domain/hd/SPF.DIR/SUB.SPF"],"fileList":null}' \
  "" --json find "" SUB --trace
# In a batch each traced call shows its own names only; an untraced one none.
step "batch with --trace on one line" 0 "TESK://domain/hd/SPF.DIR/SUB.SPF
TESK://domain/hd/SPF.DIR/SUB.SPF
  tried TESK://domain/hd/SPF.DIR/SUB.SPF" 'find "" SUB.SPF
find "" SUB.SPF --trace
' batch
refused "cancel --trace" "option --trace does not apply to cancel" cancel --trace
refused "batch --trace" "option --trace does not apply to batch; give it on the call's line" --trace batch

# path domain without --view chooses the view as the server does: "hd" while the default NC does
# not answer, "hd-nc" once it answers a read of /Bag/State/Opmode, "hd" again while it is offline.
step "path domain, the NC silent" 0 "TESK://domain/hd/WKS.DIR/MAIN.MPF" "" path domain 'wks.dir\main.mpf'
both ncu set NCU1 /Bag/State/Opmode I2:1
step "path domain, the NC answers" 0 "TESK://domain/hd-nc/WKS.DIR/MAIN.MPF" "" path domain 'wks.dir\main.mpf'
step "path domain --view hd, the NC answers" 0 "TESK://domain/hd/MAIN.MPF" "" path domain main.mpf --view hd
step "find --trace, the NC answers" 0 "TESK://domain/hd-nc/SPF.DIR/SUB.SPF
  tried TESK://domain/hd-nc/SPF.DIR/SUB.SPF" "" find "" SUB.SPF --trace
both ncu offline NCU1
step "path domain, the NC offline" 0 "TESK://domain/hd/WKS.DIR/MAIN.MPF" "" path domain 'wks.dir\main.mpf'
both ncu online NCU1
step "path domain, the NC back" 0 "TESK://domain/hd-nc/MAIN.MPF" "" path domain main.mpf
step "path host" 0 '\WKS.DIR\PART1.ZOV\MAIN.MPF' "" path host /_N_WKS_DIR/_N_PART1_ZOV/_N_MAIN_MPF
step "path split" 0 "A
B.MPF
WKS.DIR/A.ZOV" "" path split WKS.DIR/A.ZOV/A.B.MPF
step "path: no result" 1 "" "" path split "D/$(printf 'N%.0s' $(seq 100))"
step "path: usage" 2 "" "" path domain X --view sd

# Without the virtual controller there is no bind log: a traced call is not made (native only:
# the Wine prefix is shared).
check; native unregister "C:\\zov\\$controller" >/dev/null || fail "native unregister $controller"
check
out=$(native find "" SUB.SPF --trace 2>&1); rc=$?
case "$out" in
  "zovctl: --trace needs the bind log of the virtual controller"*) [ $rc -eq 1 ] || fail "trace without the controller: exit $rc" ;;
  *) fail "trace without the controller: $out" ;;
esac

# Unregistered again, the native server cannot be created any more.
check; native unregister "C:\\zov\\$server" >/dev/null || fail "native unregister $server"
check
out=$(native cancel 2>&1); rc=$?
case "$out" in
  *"cannot create the server ZOVServer.CZOVServer.1: CLSIDFromProgID: HRESULT 0x800401F3"*) [ $rc -eq 1 ] || fail "unregistered again: exit $rc" ;;
  *) fail "unregistered again: $out" ;;
esac

echo "$((count - failures)) passed, $failures failed"  # a check fails once at most
[ "$failures" -eq 0 ]
