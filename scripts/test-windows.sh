#!/usr/bin/env bash
# Builds the Qt-free core and its tests for Windows with MinGW-w64, as the 32-bit program the
# product is, and runs the tests under Wine against the Win32 registry and file functions, in a
# 64-bit prefix: there, as on every 64-bit Windows, the program sees the 32-bit views of
# HKEY_LOCAL_MACHINE\Software and of the system folder, as the environments and the engine do.
#
# The tests change drive C: and the registry, so they run in a Wine prefix of their own, made
# fresh inside the build tree on every run, one after the other. Drive letters D: to X: of that
# prefix are mapped to empty folders for tests that need a second drive.
# Usage: scripts/test-windows.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QTS_WINDOWS_BUILD:-build-windows}

scripts/install-deps.sh --windows
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-toolchain.cmake -DQTS_CORE_ONLY=ON
cmake --build "$build" -j2

export WINEPREFIX="$PWD/$build/wineprefix"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export QTS_TEST_SCRATCH_MACHINE=1
unset DISPLAY WAYLAND_DISPLAY

scripts/new-wine-prefix.sh
# Wine links the user's Desktop, Documents, ... to the home folder; tests that walk drive C: must
# stay on it, so those become plain empty folders.
find "$WINEPREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -type l | while read -r link; do
  rm "$link" && mkdir "$link"
done
for letter in d e f g h i j k l m n o p q r s t u v w x; do
  mkdir -p "$WINEPREFIX/drives/$letter"
  ln -sfn "../drives/$letter" "$WINEPREFIX/dosdevices/$letter:"
done

# One server for the whole run: without it every test program would start (and wait for) its own.
# The first program started under it also starts Wine's background services, which keep running
# and would hold CTest's output pipes open: start them here, away from CTest.
wineserver -p
trap 'wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true' EXIT
wine cmd /c exit >/dev/null 2>&1 </dev/null
ctest --test-dir "$build" --output-on-failure "$@"
