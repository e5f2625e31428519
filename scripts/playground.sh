#!/usr/bin/env bash
# Builds the playground, qfmt in the browser, in build-web (emscripten, built
# with cmake/emscripten.cmake), and serves build-web/playground on a local
# port (8000, or the one given) until Ctrl-C; with --build, only builds it;
# with --screenshot, builds it and draws web/screenshot.png (the README's)
# with headless chromium.
# The page works from file:// too: open build-web/playground/index.html.
# Installs emscripten (and node, which it runs) with apt-get when they are
# missing and it may.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh

build_only=false
screenshot=false
port=8000
for argument in "$@"; do
  case $argument in
    --build) build_only=true ;;
    --screenshot) build_only=true; screenshot=true ;;
    [0-9]*) port=$argument ;;
    *) echo "usage: bash scripts/playground.sh [--build | --screenshot] [PORT]" >&2; exit 64 ;;
  esac
done

need=""
command -v em++ >/dev/null 2>&1 || need="$need emscripten"
command -v node >/dev/null 2>&1 || need="$need nodejs"
if $screenshot; then command -v chromium >/dev/null 2>&1 || need="$need chromium"; fi
install_packages $need || exit 1

cmake -S . -B build-web --toolchain cmake/emscripten.cmake $generator -DQFMT_WERROR=ON >/dev/null
cmake --build build-web -j "$jobs" --target qfmt-web
module=build-web/playground/qfmt.js
echo "playground: $module, $(wc -c <"$module") bytes, $(gzip -9c "$module" | wc -c) gzipped"
if $screenshot; then
  profile=$(mktemp -d)
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$profile" --hide-scrollbars \
    --virtual-time-budget=10000 --window-size=960,520 --screenshot="$PWD/web/screenshot.png" \
    "file://$PWD/build-web/playground/index.html" 2>/dev/null
  rm -rf "$profile"
fi
$build_only && exit 0

echo "playground: http://localhost:$port/ (Ctrl-C stops it)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build-web/playground
