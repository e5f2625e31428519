#!/usr/bin/env bash
# Fails when a C++ source of the project is not formatted with .clang-format.
set -eu
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    apt-get update -qq >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang-format >/dev/null
  else
    echo "clang-format is missing" >&2
    exit 1
  fi
fi
git ls-files '*.cc' '*.h' | xargs clang-format --dry-run --Werror
echo "format: ok"
