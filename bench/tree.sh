#!/usr/bin/env bash
# Times `qfmt-tree --check` over a tree (default /usr/include) with one job and
# with two, and with one job without the token check (--no-verify), in a
# Release build of its own: the median of several runs each, one figure a line.
#
#   bash bench/tree.sh [TREE [RUNS]]     (default /usr/include, 5 runs)
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
tree=${1:-/usr/include}
runs=${2:-5}
dir=build-bench
cmake -S . -B "$dir" $generator -DCMAKE_BUILD_TYPE=Release -DQFMT_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$jobs" --target qfmt-tree >"$dir/bench-build.log" 2>&1 || { cat "$dir/bench-build.log"; exit 1; }
binary=$dir/qfmt-tree

# The summary line names the files and bytes: "formatted 7,609 files, ...".
summary=$("$binary" --check -j 1 "$tree" 2>&1 >/dev/null | tail -n 1) || true
files=$(echo "$summary" | sed -n 's/^formatted \([0-9,]*\) files\{0,1\}, .*/\1/p' | tr -d ,)
megabytes=$(echo "$summary" | sed -n 's/.* errors\{0,1\}, \([0-9.]*\) MB in .*/\1/p')

# Median wall time in seconds of `runs` runs with -j $1 (and more options).
median_seconds() {
  local times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$binary" --check -q -j "$@" "$tree" >/dev/null || [ $? -eq 1 ]
    end=$(date +%s%N)
    times+=("$(( (end - start) / 1000 ))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "%.3f\n", t[int((NR + 1) / 2)] / 1e6 }'
}

one=$(median_seconds 1)
two=$(median_seconds 2)
unchecked=$(median_seconds 1 --no-verify)
echo "input: $tree, $files files, $megabytes MB, --check (settling), median of $runs runs, $(nproc) cores"
awk -v s="$one" -v mb="$megabytes" 'BEGIN { printf "jobs 1: %.2f s, %.1f MB/s\n", s, mb / s }'
awk -v s="$two" -v mb="$megabytes" 'BEGIN { printf "jobs 2: %.2f s, %.1f MB/s\n", s, mb / s }'
awk -v a="$one" -v b="$two" 'BEGIN { printf "speed-up with 2 jobs: %.2fx\n", a / b }'
awk -v s="$unchecked" -v mb="$megabytes" 'BEGIN { printf "jobs 1 without the token check: %.2f s, %.1f MB/s\n", s, mb / s }'
awk -v a="$one" -v b="$unchecked" 'BEGIN { printf "the token check adds: %.0f%%\n", 100 * (a - b) / b }'
if [ -x /usr/bin/time ]; then
  /usr/bin/time -f "peak memory with 2 jobs: %M KB" "$binary" --check -q -j 2 "$tree" >/dev/null || true
fi
