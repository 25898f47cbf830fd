#!/usr/bin/env bash
# zovctl profile gives the same output and exit status, and leaves byte-identical files, natively
# (our platform layer, in a throw-away machine folder) and under Wine (the real profile functions,
# in the Wine prefix).
#   usage: zovctl_profile_parity.sh NATIVE_ZOVCTL WINDOWS_ZOVCTL_EXE WINEPREFIX
set -uo pipefail
native=$1 windows=$2 prefix=$3
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

machine=$(mktemp -d)
folder="parity-$$"
trap 'rm -rf "$machine" "$prefix/drive_c/$folder"' EXIT
mkdir -p "$machine/drive_c/windows" "$machine/drive_c/$folder" "$prefix/drive_c/$folder"
file="C:\\$folder\\HUX.INI"

# Each step: the zovctl arguments. Files start empty and are only ever written by the profile
# functions, in the forms where Windows and Wine write the same bytes.
steps=(
  "profile get $file Program TempDir --default c:\\tmp"
  "profile set $file Program TempDir D:\\TEMP\\"
  "profile set $file Program IgnoreMissingProgramAndChan 1"
  "profile set $file GLOBAL VaxoMachineName local"
  "profile set $file program tempdir E:\\TMP\\"
  "profile get $file PROGRAM TEMPDIR"
  "profile int $file program ignoremissingprogramandchan --default 5"
  "profile int $file Program Missing --default 7"
  "profile get $file Program Missing --default abc"
  "profile set $file DIRECTORIES Connection1 D:\\PROGS"
  "profile set $file DIRECTORIES AccessProgram1 3"
  "profile delete $file Program IgnoreMissingProgramAndChan"
  "profile delete $file GLOBAL"
  "profile get C:\\$folder\\missing.ini Program TempDir"
  "profile set C:\\$folder\\nofolder\\x.ini Program TempDir x"
  "profile delete C:\\$folder\\missing.ini Program"
  "profile get C:\\..\\..\\nofolder\\x.ini s k"
  "profile get C:\\$folder s k"
  "profile set $file"
  "profile frobnicate $file"
)

failures=0 count=0
for step in "${steps[@]}"; do
  count=$((count + 1))
  # shellcheck disable=SC2086
  n_out=$("$native" --machine "$machine" $step 2>&1); n_rc=$?
  # shellcheck disable=SC2086
  w_out=$(wine "$windows" $step 2>&1 | tr -d '\r'); w_rc=${PIPESTATUS[0]}
  if [ "$n_out" != "$w_out" ] || [ "$n_rc" != "$w_rc" ]; then
    echo "DIFFERS: zovctl $step"
    echo "  native (exit $n_rc): $n_out"
    echo "  wine   (exit $w_rc): $w_out"
    failures=$((failures + 1))
  fi
done
if ! cmp -s "$machine/drive_c/$folder/HUX.INI" "$prefix/drive_c/$folder/HUX.INI"; then
  echo "DIFFERS: the files"
  od -c "$machine/drive_c/$folder/HUX.INI" | head -20
  od -c "$prefix/drive_c/$folder/HUX.INI" | head -20
  failures=$((failures + 1))
fi
for extra in missing.ini nofolder; do
  if [ -e "$machine/drive_c/$folder/$extra" ] || [ -e "$prefix/drive_c/$folder/$extra" ]; then
    echo "DIFFERS: $extra was created"
    failures=$((failures + 1))
  fi
done
echo "$((count + 2 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
