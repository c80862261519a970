#!/usr/bin/env bash
# Makes a fresh 64-bit Wine prefix at $WINEPREFIX (removing what is there) and checks that it has
# the 32-bit side the program runs on. Used by the Windows test run and the store's peer timer.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix to make}"
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
if [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
  echo "$(basename "$0"): the Wine prefix has no 32-bit side; is wine32:i386 installed?" >&2
  exit 1
fi
