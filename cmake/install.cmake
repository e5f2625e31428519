# What `cmake --install` puts in place, and the Debian package that CPack
# makes of it: both programs, their man pages (made from their own help by
# help2man, with the sections in man/*.h2m), completions for bash and zsh,
# the editor recipes and the problem matcher; and what Debian's rules ask of
# a package (lintian checks them): man pages and changelog compressed, a
# copyright file, a maintainer, the reason for a statically linked program.
include(GNUInstallDirs)

set(QFMT_MAINTAINER "The qfmt developers <qfmt-maintainers@example.org>"
  CACHE STRING "The package's maintainer, as NAME <ADDRESS>")
find_program(GZIP gzip REQUIRED)
# gzip_file(FROM TO): TO is FROM compressed as Debian wants it (no name or
# time in the header, so that the package is the same at every build).
function(gzip_file from to)
  add_custom_command(OUTPUT ${to} COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" gzip ${from} ${to}
    DEPENDS ${from} VERBATIM)
endfunction()

install(TARGETS qfmt qfmt-tree RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(man_pages "")
  foreach(program qfmt qfmt-tree)
    set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
    if(program STREQUAL "qfmt")
      # The classic program shows its usage on standard error and has no --version.
      set(extra --no-discard-stderr --version-string=${PROJECT_VERSION}
        "--name=fast, exact batch formatter for C and C++ source (classic command line)")
    else()
      set(extra "--name=formats whole trees of C and C++ source, for CI, git and editors")
    endif()
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${HELP2MAN} --no-info ${extra} --include=${PROJECT_SOURCE_DIR}/man/${program}.h2m
        --output=${page} $<TARGET_FILE:${program}>
      DEPENDS ${program} ${PROJECT_SOURCE_DIR}/man/${program}.h2m
      VERBATIM)
    gzip_file(${page} ${page}.gz)
    list(APPEND man_pages ${page}.gz)
  endforeach()
  add_custom_target(man-pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: no man pages (scripts/setup.sh installs it)")
endif()

# qfmt-tree's completions are made from its option rows (programs/); qfmt's,
# whose command line never changes, are written by hand.
install(FILES ${QFMT_COMPLETIONS_DIR}/qfmt-tree.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME qfmt-tree)
install(FILES completions/qfmt.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME qfmt)
install(FILES ${QFMT_COMPLETIONS_DIR}/_qfmt-tree completions/_qfmt
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
# Where Debian's Vim and Emacs look: the plugin defines :QfmtTree, and
# (require 'qfmt-tree) gives qfmt-tree-buffer.
install(FILES editors/qfmt-tree.vim DESTINATION ${CMAKE_INSTALL_DATADIR}/vim/vimfiles/plugin)
install(FILES editors/qfmt-tree.el DESTINATION ${CMAKE_INSTALL_DATADIR}/emacs/site-lisp)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Where the README's ::add-matcher:: line finds it.
install(FILES .github/qfmt-tree-matcher.json DESTINATION ${CMAKE_INSTALL_DATADIR}/qfmt)

configure_file(cmake/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
gzip_file(${PROJECT_BINARY_DIR}/debian/changelog ${PROJECT_BINARY_DIR}/debian/changelog.gz)
add_custom_target(package-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/debian/changelog.gz cmake/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(QFMT_STATIC)
  set(QFMT_STATIC_OVERRIDES "qfmt: statically-linked-binary [usr/bin/qfmt]")
  if(QFMT_TREE_LINKS_STATICALLY)
    string(APPEND QFMT_STATIC_OVERRIDES "\nqfmt: statically-linked-binary [usr/bin/qfmt-tree]")
  endif()
  configure_file(cmake/debian/lintian-overrides.in ${PROJECT_BINARY_DIR}/debian/lintian-overrides @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME qfmt)
endif()

set(CPACK_PACKAGE_NAME qfmt)
set(CPACK_PACKAGE_VENDOR "The qfmt developers")
set(CPACK_PACKAGE_CONTACT ${QFMT_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast, exact batch formatter for C and C++ source")
# Lines of at most 80 characters, as Debian's control files want them.
set(CPACK_PACKAGE_DESCRIPTION "qfmt formats one C or C++ file the classic way, byte for byte as it
always has. qfmt-tree formats whole trees with the same engine, in parallel
and with safe writes, checks that no token changes, reads .editorconfig and
git's ignore rules and index, formats only the lines that changed, and serves
CI, git hooks and editors.")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The shared libraries that qfmt-tree links become the package's dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
