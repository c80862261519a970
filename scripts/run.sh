#!/usr/bin/env bash
# Builds QTSConfig and starts it; arguments are passed on (for example /setup).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build --target qtsconfig
exec build/app/qtsconfig "$@"
