#!/usr/bin/env bash
# qtsctl.exe against Wine's own registry and drive C:, as on a build machine: an installer's
# keys written with "reg add ... /reg:32" are found, "setup run" integrates the engine into
# Delphi 3, and "reg query ... /reg:32" and the files on drive C: show the result; aliases
# written by qtsctl.exe are read by reg, and the other way round.
#
# Usage: qtsctl-wine.sh WINE QTSCTL.EXE   (WINEPREFIX must name a prefix made for tests; the
# script removes what it adds to it again). Exit code 77: skipped.
set -uo pipefail
wine=$1
exe=$2

if [[ -z ${WINEPREFIX:-} || ! -d $WINEPREFIX/drive_c ]]; then
  echo "skipped: WINEPREFIX does not name a Wine prefix"
  exit 77
fi
# The engine and the environments are 32-bit programs; only the 32-bit build sees their keys.
pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$exe" | tr -d ' ')
if [[ $machine != 014c ]]; then
  echo "skipped: $exe is not the 32-bit (i686) build"
  exit 77
fi

failures=0
work=$(mktemp -d)
c=$WINEPREFIX/drive_c
P='C:\Program Files\Quillon\Tessarium'
R='C:\Program Files\Borland\Delphi 3'
PN="$c/Program Files/Quillon/Tessarium"
RN="$c/Program Files/Borland/Delphi 3"
sys32="$c/windows/syswow64" # C:\windows\system32 as a 32-bit program sees it

reg() { "$wine" reg "$@" >"$work/reg.out" 2>&1; }
query() { # key value -> the value's data
  "$wine" reg query "$1" /v "$2" /reg:32 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$3 *REG_[A-Z_]* *//p"
}
qtsctl() { "$wine" "$exe" "$@" >"$work/out" 2>"$work/err"; }
check() { # description, then a command that must succeed
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}
contains() { grep -aqF -- "$2" "$1"; }
lacks() { ! grep -aqF -- "$2" "$1"; }
equals() { [[ $1 == "$2" ]] || { echo "  got: '$1'" && echo "  expected: '$2'" && false; }; }

cleanup() {
  for key in 'HKLM\Software\Quillon' 'HKLM\Software\Borland' 'HKCU\Software\Quillon' \
             'HKCU\Software\Borland'; do
    "$wine" reg delete "$key" /f /reg:32 >/dev/null 2>&1
  done
  rm -rf "$c/Program Files/Quillon" "$c/Program Files/Borland" "$sys32/VCLDB30.dpl" "$work"
}
trap cleanup EXIT
cleanup
work=$(mktemp -d)

# What the two installers leave behind.
mkdir -p "$PN/Lib/Delphi3" "$PN/Lib/Src" "$PN/Demo/Delphi3" "$RN/Lib" "$RN/Bin"
printf 'unit BDE\0uses idapi32.dll\0and IDAPI32.DLL' >"$RN/Lib/BDE.dcu"
printf 'package VCLDB30\0idapi32.dll' >"$sys32/VCLDB30.dpl"
printf 'Database Explorer\0idapi32.dll' >"$RN/Bin/DBX30.DPL"
printf 'Query Builder\0Idapi32.dll' >"$RN/Bin/VQBLib32.dll"
reg add 'HKLM\Software\Quillon\Tessarium' /v RootDir /d "$P" /reg:32 /f
reg add 'HKLM\Software\Borland\Delphi\3.0' /v RootDir /d "$R" /reg:32 /f
reg add 'HKCU\Software\Borland\Delphi\3.0\Library' /v SearchPath /d '$(DELPHI)\Lib' /reg:32 /f

qtsctl setup run --environment "Delphi 3" --tools install
rc=$?
check "setup run exits with 0" equals "$rc" 0
check "the progress ends with Done." equals "$(tr -d '\r' <"$work/out" | tail -n 1)" "Done."
check "nothing on standard error" equals "$(cat "$work/err")" ""
check "the search path names the engine first" \
  equals "$(query 'HKCU\Software\Borland\Delphi\3.0\Library' SearchPath SearchPath)" \
  "$P\\Lib\\Delphi3;$P\\Lib\\Src;\$(DELPHI)\\Lib;$R\\Lib\\Delphi2"
check "LastEnvironment is Delphi 3" \
  equals "$(query 'HKCU\Software\Quillon\Tessarium' LastEnvironment LastEnvironment)" "Delphi 3"
check "the demo project opens next time" \
  equals "$(query 'HKCU\Software\Borland\Delphi\3.0\Session' Project Project)" \
  "$P\\Demo\\Delphi3\\Demo.dpr"
check "the modified BDE.dcu names the engine DLL" contains "$PN/Lib/Delphi3/BDE.dcu" QTS323x.DLL
check "the modified BDE.dcu names no BDE DLL" lacks "$PN/Lib/Delphi3/BDE.dcu" IDAPI32.DLL
check "the package from the system folder is patched" \
  contains "$PN/Lib/Delphi3/VCLDB30.dpl" QTS323x.DLL
check "the package is copied into Bin" contains "$RN/Bin/VCLDB30.dpl" QTS323x.DLL
check "the Database Explorer is saved" contains "$RN/Bin/DBX30.DPL.old" idapi32.dll
check "the Database Explorer is patched" contains "$RN/Bin/DBX30.DPL" QTS323x.DLL
check "the Query Builder is patched" contains "$RN/Bin/VQBLib32.dll" QTS323x.DLL

# A second run meets the saved copies and answers Cancel: that step aborts, exit code 1.
qtsctl setup run --environment "Delphi 3" --no-generate --design skip --tools install
rc=$?
check "a second run without --overwrite-saved-copies exits with 1" equals "$rc" 1
check "it logs Aborted." contains "$work/out" "Aborted."
check "it shows the question with its answer" contains "$work/err" "Answered Cancel"
check "the saved copy keeps the file as supplied" contains "$RN/Bin/DBX30.DPL.old" idapi32.dll

# Aliases: qtsctl.exe writes, reg reads; reg writes, qtsctl.exe reads.
qtsctl alias set Sales --path 'C:\db\sales.mdb' --exclusive --no-see-changes
check "alias set exits with 0" equals "$?" 0
aliases='HKLM\Software\Quillon\Tessarium\Configuration\Aliases'
check "reg reads the alias's path" equals "$(query "$aliases\\Sales" Path Path)" 'C:\db\sales.mdb'
check "reg reads its flag" equals "$(query "$aliases\\Sales" Exclusive Exclusive)" True
check "reg reads the inverted flag" \
  equals "$(query "$aliases\\Sales" 'Disable SeeChanges' 'Disable SeeChanges')" True
reg add "$aliases\\Stock" /v Path /d 'D:\stock.mdb' /reg:32 /f
reg add "$aliases\\Stock" /v 'Read Only' /d 'true' /reg:32 /f
qtsctl alias show Stock
check "qtsctl.exe reads the alias reg wrote" contains "$work/out" 'Database File: D:\stock.mdb'
check "and its flag" contains "$work/out" 'Read Only: on'
qtsctl alias list
check "the list holds both" equals "$(tr -d '\r' <"$work/out")" \
  "Sales	C:\\db\\sales.mdb
Stock	D:\\stock.mdb"

# Export, delete with reg, import: the same aliases again.
qtsctl alias export -o 'C:\aliases.reg'
cp "$c/aliases.reg" "$work/before.reg"
reg delete "$aliases" /f /reg:32
qtsctl alias import 'C:\aliases.reg'
check "import exits with 0" equals "$?" 0
qtsctl alias export
check "export, import, export gives the same file" cmp -s "$work/out" "$work/before.reg"
rm -f "$c/aliases.reg"

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
