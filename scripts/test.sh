#!/usr/bin/env bash
# Builds everything and runs all tests. With --sanitize, in a build of its own
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh
dir=build
flags=$build_flags
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  flags="$flags -DQFMT_SANITIZE=ON"
fi
cmake -S . -B "$dir" $generator $flags >/dev/null
cmake --build "$dir" -j "$jobs"
ctest --test-dir "$dir" -j "$jobs" --output-on-failure
