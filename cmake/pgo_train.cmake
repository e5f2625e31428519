# The training run for QFMT_PGO (cmake/pgo.cmake): the instrumented qfmt-tree
# of BUILD over a megabyte each of generated C and C++20 in WORK (seeds that
# the benchmarks do not use), in the modern style, the classic style and
# with --check.
#
#   cmake -DBUILD=DIR -DWORK=DIR -P cmake/pgo_train.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/sources)
execute_process(COMMAND ${BUILD}/qfmt-gen-source 1 7 OUTPUT_FILE ${WORK}/sources/train.c
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${BUILD}/qfmt-gen-source --cpp20 1 8 OUTPUT_FILE ${WORK}/sources/train.cc
                COMMAND_ERROR_IS_FATAL ANY)
# The files by name: a walk would pass over a build folder that git ignores.
set(sources ${WORK}/sources/train.c ${WORK}/sources/train.cc)
foreach(mode "--style=modern" "--style=classic" "--check")
  # --check finds the sources unformatted: its status says so.
  execute_process(COMMAND ${BUILD}/qfmt-tree -q -j 1 ${mode} ${sources}
                  OUTPUT_FILE ${WORK}/output RESULT_VARIABLE status)
  file(SIZE ${WORK}/output size)
  if(NOT status MATCHES "^[01]$" OR (NOT mode STREQUAL "--check" AND size EQUAL 0))
    message(FATAL_ERROR "qfmt-tree ${mode} ended with status ${status} and ${size} bytes of output")
  endif()
endforeach()
