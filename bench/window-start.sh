#!/usr/bin/env bash
# Whole-process window start: how long after a program starts the X server maps its window, for
# an empty Qt 6 main window (the floor) and for QTSConfig's windows:
#   floor          bench_EmptyWindow
#   alias-empty    the alias window, no stores at all
#   alias-10000    the alias window, 10,000 machine-wide aliases of 18 values each
#   setup-delphi3  the setup window, Delphi 3 remembered and installed (engine, keys, files)
# Prints, in milliseconds, the median, lowest and highest of N runs of each (the cases take
# turns, so noise falls on all alike, after one warm-up run of each), and the median's ratio to
# the floor's median. A measuring tool, never a test.
#
# Usage: bench/window-start.sh [-n N] [build-dir...]   (default: 21 runs, build-dir "build")
# With several build directories (say, before and after a change) their programs take turns
# within each round, against the one floor of the first: on a noisy machine, a comparison
# within one run is worth more than one across runs.
# The build needs -DQTS_BENCHMARKS=ON (a Release tree to measure). Runs on an Xvfb of its own,
# started with -displayfd, with private stores, drive table and XDG folders; the program under
# measurement is ended by signal, so it never closes and saves nothing.
set -euo pipefail

runs=21
if [ "${1:-}" = "-n" ]; then
  runs=$2
  shift 2
fi
builds=("$@")
[ ${#builds[@]} -gt 0 ] || builds=(build)
timer=${builds[0]}/bench/bench_WindowMapTimer
floor=${builds[0]}/bench/bench_EmptyWindow
for file in "$timer" "$floor"; do
  [ -x "$file" ] || { echo "missing $file: build with -DQTS_BENCHMARKS=ON" >&2; exit 2; }
done
for build in "${builds[@]}"; do
  [ -x "$build/app/qtsconfig" ] || { echo "missing $build/app/qtsconfig" >&2; exit 2; }
done

if ! command -v Xvfb >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends xvfb
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/qts-window-start-XXXXXX")
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# An X server of our own: Xvfb picks a free display and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
if [ ! -s "$work/display" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 2
fi
display=$(head -n1 "$work/display")
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
for folder in runtime config cache data; do
  mkdir -p "$work/xdg/$folder"
done
chmod 700 "$work/xdg/runtime"
export XDG_RUNTIME_DIR=$work/xdg/runtime XDG_CONFIG_HOME=$work/xdg/config
export XDG_CACHE_HOME=$work/xdg/cache XDG_DATA_HOME=$work/xdg/data

# The stores of each case, in the registry files' REGEDIT4 text form, and a drive table.
new_case() {
  mkdir -p "$work/cases/$1/dosdevices/c:"
}
new_case alias-empty

new_case alias-10000
awk 'BEGIN {
  key = "HKEY_LOCAL_MACHINE\\Software\\Quillon\\Tessarium\\Configuration\\Aliases"
  printf "REGEDIT4\r\n\r\n[%s]\r\n\r\n", key
  split("Exclusive,Read Only,Lock Edits,Separate Workspace,Use Defaults,Use Constraints," \
        "Use AllowZeroLength,Rename Primary,Show GUIDs,Disable Refresh,Disable SeeChanges," \
        "ReportIndexesCaseSensitive", flags, ",")
  for (i = 0; i < 10000; ++i) {
    printf "[%s\\Alias%05d]\r\n", key, i
    printf "\"Path\"=\"C:\\\\Data\\\\Sales\\\\Database%d.mdb\"\r\n", i
    for (f = 1; f <= 12; ++f)
      printf "\"%s\"=\"True\"\r\n", flags[f]
    printf "\"SystemDb\"=\"C:\\\\Data\\\\System.mdw\"\r\n\"User Name\"=\"Admin\"\r\n"
    printf "\"Connect\"=\"ODBC;DSN=Sales%d\"\r\n", i
    printf "\"Prefetch Threshold\"=\"20\"\r\n\"Prefetch Reset Every\"=\"25\"\r\n\r\n"
  }
}' >"$work/cases/alias-10000/machine.reg"

new_case setup-delphi3
c=$work/cases/setup-delphi3/dosdevices/c:
printf 'REGEDIT4\r\n\r\n%s\r\n%s\r\n\r\n%s\r\n%s\r\n\r\n' \
  '[HKEY_LOCAL_MACHINE\Software\Quillon\Tessarium]' \
  '"RootDir"="C:\\Program Files\\Quillon\\Tessarium"' \
  '[HKEY_LOCAL_MACHINE\Software\Borland\Delphi\3.0]' \
  '"RootDir"="C:\\Program Files\\Borland\\Delphi 3"' >"$work/cases/setup-delphi3/machine.reg"
# shellcheck disable=SC2016 # "$(DELPHI)" is the environment's own macro
printf 'REGEDIT4\r\n\r\n%s\r\n%s\r\n\r\n%s\r\n%s\r\n\r\n' \
  '[HKEY_CURRENT_USER\Software\Quillon\Tessarium]' \
  '"LastEnvironment"="Delphi 3"' \
  '[HKEY_CURRENT_USER\Software\Borland\Delphi\3.0\Library]' \
  '"SearchPath"="$(DELPHI)\\Lib;$(DELPHI)\\Bin;$(DELPHI)\\Imports"' \
  >"$work/cases/setup-delphi3/user.reg"
mkdir -p "$c/windows/system32" "$c/Program Files/Borland/Delphi 3/Lib" \
  "$c/Program Files/Borland/Delphi 3/Bin" "$c/Program Files/Quillon/Tessarium/Lib/Delphi3" \
  "$c/Program Files/Quillon/Tessarium/Lib/Src" "$c/Program Files/Quillon/Tessarium/Demo/Delphi3"
for file in "Program Files/Borland/Delphi 3/Lib/BDE.dcu" "Program Files/Borland/Delphi 3/Bin/DBX30.DPL" \
  "Program Files/Borland/Delphi 3/Bin/VQBLib32.dll" "windows/system32/VCLDB30.dpl" \
  "Program Files/Quillon/Tessarium/Lib/Delphi3/VCLDB30.dpl"; do
  printf 'idapi32.dll\0' >"$c/$file"
done
printf 'program Demo;\r\n' >"$c/Program Files/Quillon/Tessarium/Demo/Delphi3/Demo.dpr"

# One run of a case in fresh copies of its stores, with the program of build $2; prints the
# milliseconds.
run_case() {
  local name=$1 program=${builds[${2:-0}]}/app/qtsconfig
  if [ "$name" = floor ]; then
    "$timer" "$floor"
    return
  fi
  rm -rf "$work/run"
  cp -a "$work/cases/$name" "$work/run"
  local argument=()
  [ "$name" = setup-delphi3 ] && argument=(/setup)
  QTS_USER_REGISTRY=$work/run/user.reg QTS_MACHINE_REGISTRY=$work/run/machine.reg \
    QTS_DOSDEVICES=$work/run/dosdevices "$timer" "$program" "${argument[@]}"
}

cases=(alias-empty alias-10000 setup-delphi3)
run_case floor >/dev/null
for b in "${!builds[@]}"; do
  for name in "${cases[@]}"; do
    run_case "$name" "$b" >/dev/null
  done
done
for _ in $(seq "$runs"); do
  run_case floor >>"$work/times-floor"
  for b in "${!builds[@]}"; do
    for name in "${cases[@]}"; do
      run_case "$name" "$b" >>"$work/times-$name-$b"
    done
  done
done

# The median, lowest and highest of a file of numbers, one a line.
summary() {
  sort -g "$1" | awk '{ v[NR] = $1 }
    END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1], v[NR] }'
}
floor_median=$(summary "$work/times-floor" | cut -d' ' -f1)
printf '%-14s %9s %8s %9s %9s   (%d runs each, display %s)\n' case median ratio lowest highest \
  "$runs" "$DISPLAY"
row() {
  read -r m low high < <(summary "$2")
  printf '%-14s %9.1f %7.2fx %9.1f %9.1f\n' "$1" "$m" \
    "$(awk -v a="$m" -v b="$floor_median" 'BEGIN { print a / b }')" "$low" "$high"
}
row floor "$work/times-floor"
for b in "${!builds[@]}"; do
  [ ${#builds[@]} -eq 1 ] || echo "${builds[$b]}:"
  for name in "${cases[@]}"; do
    row "$name" "$work/times-$name-$b"
  done
done
