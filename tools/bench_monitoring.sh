#!/usr/bin/env bash
# A whole monitoring (corvane-cli start, then finish) of all five hives and
# C:\ with the bulk registry read against the same with the walk (--no-bulk),
# in one Wine prefix, every process on one CPU: medians of RUNS (3) each.
#
#   tools/bench_monitoring.sh BUILD_DIR STATE_DIR [VALUES] [RUNS]
#
# VALUES generated registry values (200,000 by default) are added below
# HKLM\Software\CorvaneBench first and removed at the end.
set -euo pipefail

build=$(cd "$1" && pwd)
state=$2
values=${3:-200000}
runs=${4:-3}
here=$(cd "$(dirname "$0")/.." && pwd)
wine_run() { taskset -c 0 "$here/cmake/wine-run.sh" "$state" "$@"; }
# The program keeps its snapshots and archives beside itself: a copy of it
# in the state folder keeps them out of the build.
mkdir -p "$state/corvane"
cp "$build/app/corvane-cli.exe" "$state/corvane/"
cli="$state/corvane/corvane-cli.exe"

wine_run "$build/tools/bench_registry_bulk.exe" --remove
wine_run "$build/tools/bench_registry_bulk.exe" --generate "$values"
trap 'wine_run "$build/tools/bench_registry_bulk.exe" --remove' EXIT

# The seconds of one start + finish.
monitoring() {
  local started ended
  rm -f "$state/corvane/Bench".*
  started=$(date +%s.%N)
  wine_run "$cli" start Bench --targets 'HKCR,HKLM,HKU,HKCU,HKCC,C:\' "$@" >/dev/null
  wine_run "$cli" finish "$@" >/dev/null
  ended=$(date +%s.%N)
  awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.2f\n", b - a }'
}

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

declare -A seconds
for mode in bulk walk; do
  flag=()
  [ "$mode" = walk ] && flag=(--no-bulk)
  times=()
  for _ in $(seq "$runs"); do times+=("$(monitoring "${flag[@]}")"); done
  seconds[$mode]=$(printf '%s\n' "${times[@]}" | median)
  echo "$mode: ${times[*]} s (median ${seconds[$mode]} s)"
done
awk -v a="${seconds[bulk]}" -v b="${seconds[walk]}" \
  'BEGIN { printf "whole monitoring, bulk / walk: %.3f (target <= 0.3)\n", a / b }'
