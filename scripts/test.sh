#!/usr/bin/env bash
# Builds QTSConfig with its tests (AddressSanitizer and UndefinedBehaviorSanitizer) and runs
# every test; then builds the Qt-free core for Windows and runs its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --windows
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQTS_SANITIZE=ON -DQTS_BENCHMARKS=OFF
cmake --build build-test
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir build-test --output-on-failure -j2
if [ -x scripts/test-windows.sh ]; then
  scripts/test-windows.sh
fi
