#!/usr/bin/env bash
# Builds qfmt and qfmt-tree (with their man pages, so that cmake --install
# build can follow) in build/, with the settings of scripts/test.sh, and
# shows both on a copy of the bundled sample: qfmt rewrites it the classic
# way; qfmt-tree checks it, shows the first lines of its diff, and formats it.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
cmake -S . -B build $generator $build_flags >/dev/null
cmake --build build -j "$jobs" --target qfmt qfmt-tree man-pages >build/demo-build.log 2>&1 || { cat build/demo-build.log; exit 1; }
cp samples/sample.c build/sample.c
./build/qfmt -ibuild/sample.c
echo "== qfmt -ibuild/sample.c: build/sample.c (the original is in build/sample.c.Backup)"
cat build/sample.c
cp samples/sample.c build/tree-sample.c
echo
echo "== qfmt-tree --check build/tree-sample.c"
./build/qfmt-tree --check build/tree-sample.c || true
echo "== qfmt-tree -d build/tree-sample.c (its first lines)"
./build/qfmt-tree -d build/tree-sample.c | head -n 12
./build/qfmt-tree -w build/tree-sample.c
echo "== qfmt-tree -w build/tree-sample.c: build/tree-sample.c"
cat build/tree-sample.c
