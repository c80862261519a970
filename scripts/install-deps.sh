#!/usr/bin/env bash
# Installs the Debian packages that building and testing QTSConfig needs, when any is missing.
# Usage: scripts/install-deps.sh [--windows]
#   --windows adds what the Windows core needs: the 32-bit MinGW-w64 compiler and Wine able to run
#   32-bit programs in a 64-bit prefix (wine64 with wine32 from the i386 architecture).
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-qpa-plugins libgtest-dev libgmock-dev
          libbenchmark-dev fonts-dejavu-core clang-format
          xvfb openbox xdotool x11-utils)
windows=0
if [ "${1:-}" = "--windows" ]; then
  windows=1
  packages+=(g++-mingw-w64-i686-posix wine wine64 wine32:i386 googletest)
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# wine32 comes from the i386 architecture; without it apt cannot even name the package.
if [ $windows -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
