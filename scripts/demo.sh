#!/usr/bin/env bash
# Builds qfmt and qfmt-tree (with their man pages, so that cmake --install
# build can follow) and formats a copy of the bundled sample, showing the result.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
cmake -S . -B build $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target qfmt qfmt-tree man-pages >build/demo-build.log 2>&1 || { cat build/demo-build.log; exit 1; }
cp samples/sample.c build/sample.c
./build/qfmt -ibuild/sample.c
echo "== build/sample.c (the original is in build/sample.c.Backup)"
cat build/sample.c
