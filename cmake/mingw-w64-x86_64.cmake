# Cross-builds qfmt.exe for 64-bit Windows with Debian's mingw-w64 (packages
# g++-mingw-w64-x86-64 and binutils-mingw-w64-x86-64):
#   cmake -S . -B build-win --toolchain cmake/mingw-w64-x86_64.cmake
#   cmake --build build-win --target qfmt
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QFMT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QFMT_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${QFMT_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${QFMT_MINGW_PREFIX}-windres)

# Libraries and headers come from the cross environment only; programs that
# run during the build come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QFMT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
