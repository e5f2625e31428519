#!/usr/bin/env bash
# Cross-builds qfmt.exe for Windows in build-win (mingw-w64) and tests it
# under wine on a virtual screen (tests/windows/wine_test.sh), against the
# POSIX build's qfmt in build (built here when missing). Installs what it
# needs with apt-get when it is missing and the machine allows it; where that
# is not possible, says so and skips, with status 0. With --install-only,
# installs what it needs and stops.
set -eu
cd "$(dirname "$0")/.."
. scripts/setup.sh

need=""
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || need="$need g++-mingw-w64-x86-64"
command -v x86_64-w64-mingw32-windres >/dev/null 2>&1 || need="$need binutils-mingw-w64-x86-64"
command -v wine >/dev/null 2>&1 || need="$need wine"
[ -x /usr/lib/wine/wine64 ] || need="$need wine64"
command -v Xvfb >/dev/null 2>&1 || need="$need xvfb"
command -v xdotool >/dev/null 2>&1 || need="$need xdotool"
command -v import >/dev/null 2>&1 || need="$need imagemagick"
if ! install_packages $need; then
  echo "windows: skipped: the Windows build and its tests under wine need$need" >&2
  exit 0
fi
[ "${1:-}" = --install-only ] && exit 0

cmake -S . -B build-win --toolchain cmake/mingw-w64-x86_64.cmake $generator -DQFMT_WERROR=ON >/dev/null
cmake --build build-win -j "$jobs" --target qfmt qfmt-probe
if [ ! -x build/qfmt ]; then
  cmake -S . -B build $generator -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQFMT_WERROR=ON >/dev/null
  cmake --build build -j "$jobs" --target qfmt
fi

# Only Windows' own DLLs: the C++ run-time is linked in.
imports=$(x86_64-w64-mingw32-objdump -p build-win/qfmt.exe | sed -n 's/^\tDLL Name: //p' | tr 'a-z' 'A-Z' | sort | xargs)
subsystem=$(x86_64-w64-mingw32-objdump -p build-win/qfmt.exe | sed -n 's/^Subsystem\t*[0-9a-f]*\t*//p')
echo "qfmt.exe: $subsystem, imports $imports"
[ "$subsystem" = "(Windows GUI)" ] || { echo "qfmt.exe is not a GUI program" >&2; exit 1; }
for dll in $imports; do
  case $dll in
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | MSVCRT.DLL) ;;
    *) echo "qfmt.exe imports $dll, which is not part of Windows" >&2; exit 1 ;;
  esac
done

bash tests/windows/wine_test.sh build-win build/qfmt
