#!/usr/bin/env bash
# qfmt's speed against the physical limit (cp) and its peers, one figure a line.
#
#   bash bench/run.sh [--size MB] [--runs N] [--big]
#
# Builds a release qfmt, generates realistic C of the given size (default 64
# MB), and prints the median wall time of N runs (default 5) of qfmt, cp, the
# file work alone (backup copy, read, write), GNU indent and astyle on it
# (installing the last two with apt-get when possible), as MB/s and as a
# ratio to cp, with the best run and peak resident memory. Then the
# per-file cost: every header under /usr/include that qfmt formats without a
# fatal error, one process per file, against cat. With --big, also the peak
# memory on a 1 GiB input.
set -eu
cd "$(dirname "$0")/.."
size=64
runs=5
big=0
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --big) big=1; shift ;;
    *) echo "usage: bash bench/run.sh [--size MB] [--runs N] [--big]" >&2; exit 64 ;;
  esac
done

. scripts/setup.sh
missing=""
command -v indent >/dev/null 2>&1 || missing="$missing indent"
command -v astyle >/dev/null 2>&1 || missing="$missing astyle"
[ -x /usr/bin/time ] || missing="$missing time"
command -v bc >/dev/null 2>&1 || missing="$missing bc"
install_packages $missing || true
cmake -S . -B build-bench $generator -DCMAKE_BUILD_TYPE=Release -DQFMT_PGO=ON -DQFMT_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j "$jobs" >/dev/null
qfmt=$PWD/build-bench/qfmt

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
./build-bench/qfmt-gen-source "$size" > "$work/input.c"
bytes=$(stat -c %s "$work/input.c")

# Median wall time in seconds of running "$@" $runs times; the best time goes
# to $work/best (on a shared machine the least disturbed run) and the peak
# memory of the last run in KB to $work/rss.
median_time() {
  local times=() start end
  for _ in $(seq "$runs"); do
    start=$EPOCHREALTIME
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>"$work/stderr" || true
    end=$EPOCHREALTIME
    times+=("$(echo "$end - $start" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | head -1 > "$work/best"
  printf '%s\n' "${times[@]}" | sort -g | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'
}

report() {  # name seconds
  local mbps ratio
  mbps=$(echo "$bytes / $2 / 1000000" | bc -l)
  ratio=$(echo "$2 / $cp_time" | bc -l)
  printf '%-8s %8.1f MB/s  %6.2fx cp  %7.3f s (best %.3f s)  peak %6d KB\n' "$1" "$mbps" "$ratio" "$2" \
    "$(cat "$work/best")" "$(cat "$work/rss")"
}

echo "input: $(echo "$bytes / 1048576" | bc) MB of generated C ($runs runs each, median)"
cp_time=$(median_time cp "$work/input.c" "$work/out.c")
report cp "$cp_time"
qfmt_time=$(median_time "$qfmt" -i"$work/input.c" -o"$work/out.c")
if [ -s "$work/stderr" ]; then echo "qfmt failed: $(cat "$work/stderr")" >&2; exit 1; fi
report qfmt "$qfmt_time"
# The file work that every run does whatever it formats: the copy to the
# backup, then reading the backup and writing as many bytes out.
files_time=$(median_time sh -c "cp '$work/input.c' '$work/input.c.Backup' && cat '$work/input.c.Backup' > '$work/out.c'")
report "files" "$files_time"
printf 'formatting itself: %.3f s (qfmt minus the file work), %.1f ns a byte\n' \
  "$(echo "$qfmt_time - $files_time" | bc -l)" "$(echo "($qfmt_time - $files_time) * 1000000000 / $bytes" | bc -l)"
if command -v indent >/dev/null 2>&1; then
  t=$(median_time indent "$work/input.c" -o "$work/out.c")
  report indent "$t"
  printf 'qfmt is %.1fx faster than GNU indent\n' "$(echo "$t / $qfmt_time" | bc -l)"
fi
if command -v astyle >/dev/null 2>&1; then
  t=$(median_time sh -c "astyle < '$work/input.c' > '$work/out.c'")
  report astyle "$t"
fi

# Per-file cost: one process per small header (under 16 KB; at most 2,000,
# spread over the sorted list), against cat the same way.
mkdir -p "$work/headers"
n=0
find /usr/include -type f -name '*.h' -size -16k | sort > "$work/list"
step=$(( ($(wc -l < "$work/list") + 1999) / 2000 ))
while IFS= read -r header; do
  n=$((n + 1))
  [ $((n % step)) = 0 ] || continue
  cp "$header" "$work/headers/$n.h"
  if ! "$qfmt" -i"$work/headers/$n.h" -o"$work/out.h" >/dev/null 2>&1; then rm "$work/headers/$n.h"; fi
done < "$work/list"
files=$(ls "$work/headers" | wc -l)
header_bytes=$(cat "$work/headers"/*.h | wc -c)
per_file() {  # program...
  local times=() start end
  for _ in $(seq 3); do
    start=$EPOCHREALTIME
    for f in "$work/headers"/*.h; do "$@" "$f"; done
    end=$EPOCHREALTIME
    times+=("$(echo "$end - $start" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | sed -n 2p
}
qfmt_one() { "$qfmt" -i"$1" -o"$work/out.h" 2>/dev/null; }
cat_one() { cat "$1" > "$work/out.h"; }
cat_files=$(per_file cat_one)
qfmt_files=$(per_file qfmt_one)
printf 'headers: %d small files (%.1f MB) that format without a fatal error, one process each\n' \
  "$files" "$(echo "$header_bytes / 1000000" | bc -l)"
printf 'cat      %8.0f files/s\n' "$(echo "$files / $cat_files" | bc -l)"
printf 'qfmt     %8.0f files/s  %6.2fx cat\n' "$(echo "$files / $qfmt_files" | bc -l)" \
  "$(echo "$qfmt_files / $cat_files" | bc -l)"

if [ "$big" = 1 ]; then
  ./build-bench/qfmt-gen-source 1024 > "$work/big.c"
  rm -f "$work/input.c"*
  /usr/bin/time -f %M -o "$work/rss" "$qfmt" -i"$work/big.c" -o"$work/out.c"
  printf 'qfmt on 1 GiB: peak %d KB\n' "$(cat "$work/rss")"
fi
