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

# A machine with the two modules in C:\zov and an empty virtual controller in C:\controller.
make_machine() {
  local m=$1
  mkdir -p "$m/drive_c/windows/temp" "$m/drive_c/zov" "$m/drive_c/controller/hd" \
           "$m/drive_c/controller/nc" "$m/drive_c/controller/ncu"
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

# Unregistered again, the native server cannot be created any more.
check; native unregister "C:\\zov\\$server" >/dev/null || fail "native unregister $server"
check; native unregister "C:\\zov\\$controller" >/dev/null || fail "native unregister $controller"
check
out=$(native cancel 2>&1); rc=$?
case "$out" in
  *"cannot create the server ZOVServer.CZOVServer.1: CLSIDFromProgID: HRESULT 0x800401F3"*) [ $rc -eq 1 ] || fail "unregistered again: exit $rc" ;;
  *) fail "unregistered again: $out" ;;
esac

echo "$((count - failures)) passed, $failures failed"  # a check fails once at most
[ "$failures" -eq 0 ]
