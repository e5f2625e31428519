#!/usr/bin/env bash
# Times `qfmt-tree --check` over a tree (default /usr/include) with one job and
# with two, and with one job without the token check (--no-verify), in a
# Release build of its own: the median of several runs each, one figure a line.
# The token check's share is given in wall time and in CPU time (user and
# system, which other work on the machine disturbs less), and with
# --instructions also in instructions, counted by valgrind's callgrind (the
# check is lexer::CompareTokens and what it calls; this takes some minutes).
# --style NAME times that style instead of the default one.
#
#   bash bench/tree.sh [--instructions] [--style NAME] [TREE [RUNS]]     (default /usr/include, 5 runs)
set -eu
instructions=false
style=()
while [ $# -gt 0 ]; do
  case $1 in
    --instructions) instructions=true ;;
    --style) style=(--style "$2"); shift ;;
    *) break ;;
  esac
  shift
done
cd "$(dirname "$0")/.."
. scripts/setup.sh
tree=${1:-/usr/include}
runs=${2:-5}
dir=build-bench
cmake -S . -B "$dir" $generator -DCMAKE_BUILD_TYPE=Release -DQFMT_PGO=ON -DQFMT_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$jobs" --target qfmt-tree >"$dir/bench-build.log" 2>&1 || { cat "$dir/bench-build.log"; exit 1; }
binary=$dir/qfmt-tree

# The summary line names the files and bytes: "checked 7,609 files: ...".
summary=$("$binary" --check "${style[@]}" -j 1 "$tree" 2>&1 >/dev/null | tail -n 1) || true
files=$(echo "$summary" | sed -n 's/^[a-z]* \([0-9,]*\) files\{0,1\}[,:] .*/\1/p' | tr -d ,)
megabytes=$(echo "$summary" | sed -n 's/.* errors\{0,1\}, \([0-9.]*\) MB in .*/\1/p')

# Median wall time in seconds of `runs` runs with -j $1 (and more options).
median_seconds() {
  local times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$binary" --check "${style[@]}" -q -j "$@" "$tree" >/dev/null || [ $? -eq 1 ]
    end=$(date +%s%N)
    times+=("$(( (end - start) / 1000 ))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "%.3f\n", t[int((NR + 1) / 2)] / 1e6 }'
}

# Least CPU time (user and system) in seconds of `runs` runs with -j 1 (and more
# options): other work on the machine only adds to it.
least_cpu_seconds() {
  local times=() TIMEFORMAT='%U %S'
  for _ in $(seq "$runs"); do
    times+=("$({ time "$binary" --check "${style[@]}" -q -j 1 "$@" "$tree" >/dev/null 2>&1 || true; } 2>&1 | awk '{ print $1 + $2 }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | head -n 1
}

one=$(median_seconds 1)
two=$(median_seconds 2)
unchecked=$(median_seconds 1 --no-verify)
echo "input: $tree, $files files, $megabytes MB, --check ${style[*]:-(default style)}, median of $runs runs, $(nproc) cores"
awk -v s="$one" -v mb="$megabytes" 'BEGIN { printf "jobs 1: %.2f s, %.1f MB/s\n", s, mb / s }'
awk -v s="$two" -v mb="$megabytes" 'BEGIN { printf "jobs 2: %.2f s, %.1f MB/s\n", s, mb / s }'
awk -v a="$one" -v b="$two" 'BEGIN { printf "speed-up with 2 jobs: %.2fx\n", a / b }'
awk -v s="$unchecked" -v mb="$megabytes" 'BEGIN { printf "jobs 1 without the token check: %.2f s, %.1f MB/s\n", s, mb / s }'
awk -v a="$one" -v b="$unchecked" 'BEGIN { printf "the token check adds: %.0f%%\n", 100 * (a - b) / b }'
cpu_checked=$(least_cpu_seconds)
cpu_unchecked=$(least_cpu_seconds --no-verify)
awk -v a="$cpu_checked" -v b="$cpu_unchecked" 'BEGIN {
  printf "least CPU time, jobs 1: %.2f s, without the token check %.2f s: the check is %.0f%% of the run\n", a, b, 100 * (a - b) / a }'
if $instructions; then
  if command -v valgrind >/dev/null && command -v callgrind_annotate >/dev/null; then
    out="$dir/callgrind.tree"
    valgrind --tool=callgrind --callgrind-out-file="$out" "$binary" --check "${style[@]}" -q -j 1 "$tree" >/dev/null 2>&1 || true
    total=$(callgrind_annotate "$out" | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }')
    check=$(callgrind_annotate --inclusive=yes "$out" | awk '/lexer::CompareTokens/ { gsub(",", "", $1); print $1; exit }')
    awk -v t="$total" -v c="$check" 'BEGIN {
      printf "instructions, jobs 1: %.0f million, the token check %.0f million: %.1f%% of the run\n", t / 1e6, c / 1e6, 100 * c / t }'
  else
    echo "instructions: valgrind is not installed"
  fi
fi
if [ -x /usr/bin/time ]; then
  /usr/bin/time -f "peak memory with 2 jobs: %M KB" "$binary" --check "${style[@]}" -q -j 2 "$tree" >/dev/null || true
fi
