#!/usr/bin/env bash
# qfmt-tree on its own project: formats a copy of the sources in qfmt-tree's
# default, the modern style (qfmt-tree -w, token check on), checks that the
# copy is settled and has no line that ends in a blank, then builds it with
# warnings as errors and runs its tests; with --sanitize, under AddressSanitizer
# and UndefinedBehaviorSanitizer (the formatted copy has the very tokens of the
# sources, so CI's sanitizer pass runs there and needs no build of its own).
# The copy lies outside the work tree:
# inside it, the copy would be one of the build folders that git ignores, and
# the walk would rightly pass over every file of it.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
copy_flags="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQFMT_WERROR=ON"
[ "${1:-}" = --sanitize ] && copy_flags="$copy_flags -DQFMT_SANITIZE=ON"
cmake -S . -B build $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQFMT_WERROR=ON >/dev/null
cmake --build build -j "$jobs" --target qfmt-tree >/dev/null
copy=$(mktemp -d "${TMPDIR:-/tmp}/qfmt-dogfood.XXXXXX")
trap 'rm -rf "$copy"' EXIT
# Some tests run the programs as another user, who must reach them.
chmod 755 "$copy"
mkdir -p "$copy/src"
git ls-files -z | xargs -0 cp --parents -t "$copy/src"
sources=$(git ls-files '*.cc' '*.h' | wc -l)
./build/qfmt-tree -w -v "$copy/src" 2>"$copy/written" || { cat "$copy/written" >&2; exit 1; }
# Every source must have been met: a walk that passes over them proves nothing.
met=$(grep -cE '\.(cc|h): (formatted|unchanged)' "$copy/written" || true)
if [ "$met" -ne "$sources" ]; then
  echo "dogfood: qfmt-tree met $met of the $sources sources" >&2
  cat "$copy/written" >&2
  exit 1
fi
./build/qfmt-tree --check -q "$copy/src"
blank_ends=$(find "$copy/src" -type f \( -name '*.cc' -o -name '*.h' \) -exec grep -l '[[:blank:]]$' {} + || true)
if [ -n "$blank_ends" ]; then
  echo "lines that end in a blank after qfmt-tree -w:" >&2
  echo "$blank_ends" >&2
  exit 1
fi
# The formatted sources build with warnings as errors and pass their tests.
cmake -S "$copy/src" -B "$copy/build" $generator $copy_flags >/dev/null
cmake --build "$copy/build" -j "$jobs" >"$copy/built" || { cat "$copy/built"; exit 1; }
ctest --test-dir "$copy/build" -j "$jobs" --output-on-failure >"$copy/tests" || { cat "$copy/tests"; exit 1; }
tail -n 3 "$copy/tests"
echo "dogfood: ok ($met sources formatted or unchanged)"
