#!/usr/bin/env bash
# Builds QTSConfig with its tests (AddressSanitizer and UndefinedBehaviorSanitizer) and runs
# every test: the headless ones and, on an X server of its own (Xvfb) with a window manager that
# draws frames (openbox), the framed window tests; then builds the Qt-free core for Windows and
# runs its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --windows
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQTS_SANITIZE=ON -DQTS_BENCHMARKS=OFF
cmake --build build-test
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# A display of our own: Xvfb picks a free number (other X servers may run), openbox frames the
# windows. Both are stopped by their process ids when the script ends.
session=$(mktemp -d)
xvfb_pid="" openbox_pid=""
stop_session() {
  [ -z "$openbox_pid" ] || kill "$openbox_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$session"
}
trap stop_session EXIT
mkfifo "$session/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$session/displayfd" \
  >"$session/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 30 display <"$session/displayfd"
export DISPLAY=":$display"
openbox --sm-disable >"$session/openbox.log" 2>&1 &
openbox_pid=$!
# openbox owns the window manager selection once it manages the screen.
for _ in $(seq 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done

ctest --test-dir build-test --output-on-failure -j2
stop_session
trap - EXIT
if [ -x scripts/test-windows.sh ]; then
  scripts/test-windows.sh
fi
