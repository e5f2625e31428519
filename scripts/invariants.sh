#!/usr/bin/env bash
# Checks the formatter's invariants at full size (a few minutes; not in CI):
# every file under /usr/include, under three option sets and through the job
# on a copy; then a generated input of 1 GiB (or QFMT_BIG_MB megabytes),
# streamed through the checks and through the qfmt executable, whose peak
# resident memory must stay under 16 MiB.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
cmake -S . -B build $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target qfmt qfmt-check qfmt-gen-source >/dev/null
echo "== every file under /usr/include"
./build/qfmt-check headers /usr/include
work=$(mktemp -d /tmp/qfmtbig_XXXXXX)
trap 'rm -rf "$work"' EXIT
size=${QFMT_BIG_MB:-1024}
echo "== a generated input of $size MiB"
./build/qfmt-gen-source "$size" > "$work/input.c"
./build/qfmt-check job build/qfmt "$work/input.c" 16384
