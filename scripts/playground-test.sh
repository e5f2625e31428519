#!/usr/bin/env bash
# Tests the playground: builds it (scripts/playground.sh --build) and the
# native programs; compares the module's output under node with qfmt-tree's
# and qfmt's on the golden inputs, generated source and a sample of
# /usr/include (tests/playground/module_test.js); then drives the page in
# headless chromium (tests/playground/browser_test.py). Installs emscripten,
# chromium, its driver and selenium when they are missing and it may; where
# the browser cannot be had or cannot start, that test says so and is skipped.
# With --install-only, installs what it needs and stops.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
install_only=false
[ "${1:-}" = --install-only ] && install_only=true

need=""
command -v em++ >/dev/null 2>&1 || need="$need emscripten"
command -v node >/dev/null 2>&1 || need="$need nodejs"
if ! install_packages $need; then
  echo "playground: skipped: the module's build and tests need$need" >&2
  exit 0
fi

# Debian's selenium is for Debian's python, whatever python3 is first on PATH.
browser_needs() {
  need=""
  command -v chromium >/dev/null 2>&1 || need="$need chromium"
  command -v chromedriver >/dev/null 2>&1 || need="$need chromium-driver"
  /usr/bin/python3 -c 'import selenium' 2>/dev/null || need="$need python3-selenium"
}
if $install_only; then
  browser_needs
  install_packages $need || true
  exit 0
fi
bash scripts/playground.sh --build
cmake -S . -B build $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQFMT_WERROR=ON >/dev/null
cmake --build build -j "$jobs" --target qfmt qfmt-tree qfmt-test-inputs qfmt-gen-source

inputs=$(mktemp -d)
trap 'rm -rf "$inputs"' EXIT
build/qfmt-test-inputs "$inputs"
# Every 50th header under 48 KiB, in a fixed order: about 140 files.
find /usr/include -name '*.h' -size -48k | LC_ALL=C sort | awk 'NR % 50 == 0' >"$inputs/headers"
xargs node tests/playground/module_test.js build-web/playground/qfmt.js build "$inputs" <"$inputs/headers"

browser_needs
if ! install_packages $need; then
  echo "playground browser test: skipped: it needs$need" >&2
  exit 0
fi
/usr/bin/python3 tests/playground/browser_test.py build-web/playground
