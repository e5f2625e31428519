#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz and runs both side by side for
# SECONDS each (default 600), starting from seed corpora made from the golden
# cases and the sample. With 0, each target runs once over its seeds, as CI
# does. Inputs that reach new code are kept in build-fuzz/corpus; a finding
# stops its target and is saved as build-fuzz/findings/TARGET-crash-*.
# QFMT_FUZZ_FLAGS adds libFuzzer flags to both runs (say -max_len=140000
# -len_control=0 for inputs that cross the 64 KiB reads). With --install-only,
# installs what it needs and stops.
set -eu -o pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

need=""
command -v clang++ >/dev/null 2>&1 || need="$need clang"
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need="$need libclang-rt-14-dev"
. scripts/packages.sh
install_packages $need || exit 1
[ "$seconds" = --install-only ] && exit 0
. scripts/setup.sh

dir=build-fuzz
CXX=clang++ cmake -S . -B "$dir" $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQFMT_WERROR=ON -DQFMT_FUZZ=ON \
  -DQFMT_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$jobs" --target qfmt-fuzz-format qfmt-fuzz-command-line qfmt-fuzz-seeds
rm -rf "$dir/seeds"
"./$dir/qfmt-fuzz-seeds" "$dir/seeds" samples/*.c

targets="format command_line"
if [ "$seconds" = 0 ]; then
  for target in $targets; do
    "./$dir/qfmt-fuzz-${target//_/-}" -runs=0 "$dir/seeds/$target" 2>&1 | grep -E 'DONE|ERROR|SUMMARY|broken'
  done
  echo "fuzz seeds: ok"
  exit 0
fi

mkdir -p "$dir/findings"
pids=""
for target in $targets; do
  mkdir -p "$dir/corpus/$target"
  "./$dir/qfmt-fuzz-${target//_/-}" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$dir/findings/$target-" ${QFMT_FUZZ_FLAGS:-} \
    "$dir/corpus/$target" "$dir/seeds/$target" >"$dir/fuzz-$target.log" 2>&1 &
  pids="$pids $!"
done
status=0
for pid in $pids; do wait "$pid" || status=1; done
for target in $targets; do
  echo "== $target ($dir/fuzz-$target.log)"
  grep -E '^#[0-9]+.*cov:' "$dir/fuzz-$target.log" | tail -1
  grep -E 'number_of_executed_units|average_exec_per_sec|ERROR|broken' "$dir/fuzz-$target.log" || true
done
ls "$dir/findings" 2>/dev/null | sed 's/^/finding: /'
exit $status
