#!/usr/bin/env bash
# kvel check -q on one big file against the file path's floor (read into a
# huge-page buffer and swap every field), both as whole processes, page
# cache warm. Prints the best wall time of each over RUNS runs and the ratio.
# Usage: bench/process_level.sh BUILD_DIR [EVENTS] [RUNS]
set -euo pipefail
build=${1:?usage: process_level.sh BUILD_DIR [EVENTS] [RUNS]}
events=${2:-10000000}
runs=${3:-11}
dir=$(mktemp -d "${TMPDIR:-/tmp}/kvel-process.XXXXXX")
trap 'rm -rf "$dir"' EXIT
file=$dir/big.kvmf
"$build/bench/kvel_bench_file" "$events" 2 "$file"
cat "$file" >/dev/null  # warm the page cache

best() {
  local best=
  for ((i = 0; i < runs; ++i)); do
    local t0=$EPOCHREALTIME
    "$@" >/dev/null
    local t1=$EPOCHREALTIME
    best=$(awk -v a="$t0" -v b="$t1" -v m="$best" 'BEGIN { d = b - a; print (m == "" || d < m) ? d : m }')
  done
  echo "$best"
}

check=$(best "$build/tools/kvel" check -q --no-progress "$file")
floor=$(best "$build/bench/kvel_bench_file" --read "$file")
awk -v c="$check" -v f="$floor" -v e="$events" \
  'BEGIN { printf "%d events: kvel check -q %.1f ms, floor %.1f ms, ratio %.2f\n", e, 1000 * c, 1000 * f, c / f }'
