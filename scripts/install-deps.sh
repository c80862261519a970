#!/usr/bin/env bash
# Installs the Debian packages that building and testing QTSConfig needs, when any is missing.
# Usage: scripts/install-deps.sh [--windows]   (--windows adds the MinGW-w64 and Wine packages)
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-qpa-plugins libgtest-dev libgmock-dev
          libbenchmark-dev fonts-dejavu-core clang-format
          xvfb openbox xdotool x11-utils)
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-x86-64 wine64 wine googletest)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
