#!/usr/bin/env bash
# Fails when a C++ source of the project is not formatted with .clang-format.
set -eu
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null 2>&1; then
  . scripts/packages.sh
  install_packages clang-format || exit 1
fi
git ls-files '*.cc' '*.h' | xargs clang-format --dry-run --Werror
echo "format: ok"
