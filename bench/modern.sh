#!/usr/bin/env bash
# The modern style's figures, for bench/RESULTS.md, over every STEP-th header
# of /usr/include (under 1 MiB) and 4 MB each of generated C and C++20:
#  - qfmt-tree -w (one job, the defaults: the file's own unit, limit 80): the
#    tokens kept, settled (--check passes right after), blank-line runs kept,
#    lines holding only ';' added, breakable lines over the limit, control
#    keywords with their blank (bench/modern_stats.h);
#  - the respect figure: the headers laid out first by clang-format,
#    configured as close as it gets to the style (four blanks, the brace
#    style, 80 columns, no include sorting or comment reflow), then the share
#    of their lines that qfmt-tree leaves as they are, in both brace styles;
#  - the CPU time of qfmt-tree, astyle and clang-format on the same files,
#    one job each, side by side in one run.
#
#   bash bench/modern.sh [STEP]      (default 5; astyle and clang-format are installed when missing)
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
step=${1:-5}
need=""
command -v astyle >/dev/null 2>&1 || need="$need astyle"
command -v clang-format >/dev/null 2>&1 || need="$need clang-format"
install_packages $need || exit 1
dir=build-bench
cmake -S . -B "$dir" $generator -DCMAKE_BUILD_TYPE=Release -DQFMT_PGO=ON -DQFMT_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$jobs" --target qfmt-tree qfmt-gen-source qfmt-modern-stats >"$dir/bench-build.log" 2>&1 ||
  { cat "$dir/bench-build.log"; exit 1; }
tree=$PWD/$dir/qfmt-tree
work=$(mktemp -d /tmp/qfmt-modern-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The corpus, each file under a number that keeps its kind.
mkdir -p "$work/headers" "$work/generated"
find /usr/include -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.hh' \) -size -1024k | LC_ALL=C sort |
  awk -v step="$step" 'NR % step == 0' | awk '{ n = split($0, p, "."); printf "%s\t%d.%s\n", $0, NR, p[n] }' |
  while IFS=$'\t' read -r from to; do cp "$from" "$work/headers/$to"; done
"$dir/qfmt-gen-source" 4 1 >"$work/generated/c.c"
"$dir/qfmt-gen-source" --cpp20 4 2 >"$work/generated/cpp20.cc"
files=$(find "$work/headers" "$work/generated" -type f | wc -l)
megabytes=$(du -cm "$work/headers" "$work/generated" | tail -n 1 | cut -f1)
echo "input: every $step-th header of /usr/include under 1 MiB and 8 MB generated: $files files, $megabytes MB"

echo "== qfmt-tree -w, then --check"
for corpus in headers generated; do
  cp -r "$work/$corpus" "$work/$corpus.out"
  "$tree" -w -q -j 1 "$work/$corpus.out" || echo "qfmt-tree -w: status $?"
  if "$tree" --check -q "$work/$corpus.out"; then settled=yes; else settled=NO; fi
  echo "-- $corpus: settled right after -w: $settled"
  "$dir/qfmt-modern-stats" "$work/$corpus" "$work/$corpus.out" || true
done

# Lines of A that B keeps as they are, over two folders of the same names.
unchanged() {
  local kept=0 total=0 name
  for name in "$1"/*; do
    total=$((total + $(wc -l <"$name")))
    kept=$((kept + $(diff --unchanged-line-format='%L' --old-line-format='' --new-line-format='' \
      "$name" "$2/$(basename "$name")" | wc -l)))
  done
  awk -v k="$kept" -v t="$total" 'BEGIN { printf "%d of %d lines unchanged (%.1f%%)\n", k, t, 100 * k / t }'
}

echo "== respect: clang-format $(clang-format --version | grep -o '[0-9][0-9.]*' | head -n 1), then qfmt-tree"
for braces in attach break; do
  # Allman's wrapping spelled out: under "BreakBeforeBraces: Allman",
  # clang-format 14 indents the body of extern "C" whatever
  # IndentExternBlock says.
  if [ "$braces" = attach ]; then wrapping="BreakBeforeBraces: Custom
BraceWrapping: { AfterFunction: true }"; else wrapping="BreakBeforeBraces: Custom
BraceWrapping: { AfterCaseLabel: true, AfterClass: true, AfterControlStatement: Always, AfterEnum: true,
  AfterFunction: true, AfterNamespace: true, AfterStruct: true, AfterUnion: true, AfterExternBlock: true,
  BeforeCatch: true, BeforeElse: true }"; fi
  rm -rf "$work/cf"
  cp -r "$work/headers" "$work/cf"
  cat >"$work/cf/.clang-format" <<EOF
BasedOnStyle: LLVM
IndentWidth: 4
ContinuationIndentWidth: 8
UseTab: Never
$wrapping
ColumnLimit: 80
SortIncludes: false
ReflowComments: false
IndentCaseLabels: false
AccessModifierOffset: -4
NamespaceIndentation: None
IndentExternBlock: NoIndent
IndentPPDirectives: None
AllowShortFunctionsOnASingleLine: None
AllowShortIfStatementsOnASingleLine: Never
AllowShortLoopsOnASingleLine: false
AllowShortBlocksOnASingleLine: Never
AllowShortCaseLabelsOnASingleLine: false
AllowShortLambdasOnASingleLine: None
AllowShortEnumsOnASingleLine: false
DerivePointerAlignment: true
EOF
  find "$work/cf" -type f ! -name .clang-format -print0 | xargs -0 -n 50 -P "$jobs" clang-format -i --style=file
  rm "$work/cf/.clang-format"
  rm -rf "$work/cf.out"
  cp -r "$work/cf" "$work/cf.out"
  "$tree" -w -q -j "$jobs" --brace-style "$braces" "$work/cf.out" || echo "qfmt-tree -w: status $?"
  echo "-- $braces: $(unchanged "$work/cf" "$work/cf.out")"
done

echo "== CPU time, one job each, the same $files files"
cpu() { /usr/bin/time -f '%U %S' "$@" 2>&1 >/dev/null | tail -n 1 | awk '{ printf "%.2f", $1 + $2 }'; }
for round in 1 2; do
  modern=$(cpu "$tree" -q -j 1 "$work/headers" "$work/generated")
  classic=$(cpu "$tree" -q -j 1 --style classic "$work/headers" "$work/generated")
  rm -rf "$work/astyle"
  mkdir "$work/astyle"
  cp -r "$work/headers" "$work/generated" "$work/astyle"
  astyle=$(cpu astyle -q -n --recursive "$work/astyle/*")
  clang=$(cpu sh -c 'for f in "$@"; do clang-format "$f"; done' sh "$work"/headers/* "$work"/generated/*)
  echo "round $round: qfmt-tree modern $modern s, classic $classic s, astyle $astyle s, clang-format $clang s"
  awk -v m="$modern" -v a="$astyle" -v c="$clang" \
    'BEGIN { printf "  the modern style: %.1fx faster than astyle, %.1fx faster than clang-format\n", a / m, c / m }'
done
