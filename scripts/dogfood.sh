#!/usr/bin/env bash
# qfmt-tree on its own project: formats a copy of the sources in qfmt-tree's
# default, the modern style (qfmt-tree -w, token check on), checks that the
# copy is settled and has no line that ends in a blank, then builds it with
# warnings as errors and runs its tests.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
cmake -S . -B build $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQFMT_WERROR=ON >/dev/null
cmake --build build -j "$jobs" --target qfmt-tree >/dev/null
copy=build-dogfood
rm -rf "$copy"
mkdir -p "$copy/src"
git ls-files -z | xargs -0 cp --parents -t "$copy/src"
./build/qfmt-tree -w -q "$copy/src"
./build/qfmt-tree --check -q "$copy/src"
blank_ends=$(find "$copy/src" -type f \( -name '*.cc' -o -name '*.h' \) -exec grep -l '[[:blank:]]$' {} + || true)
if [ -n "$blank_ends" ]; then
  echo "lines that end in a blank after qfmt-tree -w:" >&2
  echo "$blank_ends" >&2
  exit 1
fi
# The formatted sources build with warnings as errors and pass their tests.
cmake -S "$copy/src" -B "$copy/build" $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQFMT_WERROR=ON >/dev/null
cmake --build "$copy/build" -j "$jobs" >/dev/null
ctest --test-dir "$copy/build" -j "$jobs" --output-on-failure | tail -n 3
echo "dogfood: ok"
