#!/usr/bin/env bash
# The alias store beside its peer in one run: SaveAlias (18 values, twelve of them changed each
# time) into a store of 10,000 aliases and ListAliases of those 10,000, timed by the same program
# (bench_AliasSaveTimer) against the file store on Linux and, built for 32-bit Windows, against
# the Win32 registry under Wine. Prints both programs' lines, then a table of the medians and
# the registry's time over the file store's. A measuring tool, never a test.
#
# Usage: bench/alias-store-peer.sh [bench_AliasSaveTimer arguments...]   (e.g. --aliases 1000)
# Builds Release trees in build-rel and build-win-peer (QTS_LINUX_BENCH_BUILD and
# QTS_WINDOWS_BENCH_BUILD choose others). The Windows timer runs in a Wine prefix of its own,
# made fresh inside its build tree, so the registry it fills is nobody's.
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${QTS_LINUX_BENCH_BUILD:-build-rel}
windows=${QTS_WINDOWS_BENCH_BUILD:-build-win-peer}
started=$SECONDS

scripts/install-deps.sh --windows
cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQTS_BENCHMARKS=ON >/dev/null
cmake --build "$linux" -j2 --target bench_AliasSaveTimer
cmake -S . -B "$windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-toolchain.cmake -DQTS_CORE_ONLY=ON \
      -DQTS_BENCHMARKS=ON >/dev/null
cmake --build "$windows" -j2 --target bench_AliasSaveTimer

export WINEPREFIX="$PWD/$windows/wineprefix"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
work=$(mktemp -d "${TMPDIR:-/tmp}/qts-alias-peer-XXXXXX")
cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

scripts/new-wine-prefix.sh

# Both timers, Wine's server and its services on one CPU (QTS_BENCH_CPU, else the last one).
# Every registry call under Wine is a round trip to wineserver; with the two on different CPUs
# of a virtual machine each round trip wakes the other CPU, and the Wine figures came out about
# five times slower and changed from run to run.
cpu=${QTS_BENCH_CPU:-$(($(nproc) - 1))}
pin=(taskset -c "$cpu")

# One after the other, so that neither measures while the other runs.
"${pin[@]}" "$linux/bench/bench_AliasSaveTimer" "$@" | tee "$work/linux.txt"
# One server for the run, with Wine's background services started before anything is timed.
"${pin[@]}" wineserver -p
"${pin[@]}" wine cmd /c exit >/dev/null 2>&1 </dev/null
"${pin[@]}" wine "$windows/bench/bench_AliasSaveTimer.exe" "$@" | tr -d '\r' |
  tee "$work/windows.txt"

# "SaveAlias 10000 aliases [file store (Linux)]: 24.3 us (median of ...)" gives 24.3.
figure() { sed -n "s/^$1 .*\]: \([0-9.]*\) .*/\1/p" "$2"; }
label() { sed -n "s/^$1 \([0-9]*\) aliases .*\]: [0-9.]* \([a-z]*\) .*/\1 aliases, \2/p" "$2"; }
wine_version=$(sed -n 's/^SaveAlias .*\[Win32 registry (\(.*\))\].*/\1/p' "$work/windows.txt")
echo
printf '%-32s %12s %28s %8s\n' figure "file store" "Win32 registry ($wine_version)" ratio
for name in SaveAlias ListAliases; do
  file=$(figure "$name" "$work/linux.txt")
  registry=$(figure "$name" "$work/windows.txt")
  ratio=$(awk -v a="$registry" -v b="$file" 'BEGIN { printf "%.1fx", a / b }')
  printf '%-32s %12s %28s %8s\n' "$name ($(label "$name" "$work/linux.txt"))" "$file" \
         "$registry" "$ratio"
done
echo "(ratio: the registry's median over the file store's; higher is better for the file store)"
echo "alias-store-peer: both timers on CPU $cpu; $((SECONDS - started)) s in all"
