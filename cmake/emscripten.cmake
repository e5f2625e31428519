# Builds the playground's WebAssembly module (programs/qfmt_web.cc) and its
# page with Debian's emscripten (package emscripten):
#   cmake -S . -B build-web --toolchain cmake/emscripten.cmake
#   cmake --build build-web --target qfmt-web     # build-web/playground/index.html
# The rule generator runs on the build machine: the build first builds it
# with the host's compiler, in build-web/host (see scanner/CMakeLists.txt).
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# The smallest module; the page formats a few pages of code at a time.
set(CMAKE_BUILD_TYPE MinSizeRel CACHE STRING "Build type")

# Debian's emscripten runs its JavaScript tools at link time with the node on
# PATH, which finds Debian's acorn only through NODE_PATH when it is not
# Debian's own node.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
