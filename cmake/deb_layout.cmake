# Run by cpack on the staged files before it builds a package
# (CPACK_PRE_BUILD_SCRIPTS). For the Debian package: Debian's zsh reads the
# completions of packages from /usr/share/zsh/vendor-completions, not
# site-functions (that is for the local administrator, under /usr/local),
# and Debian ships man pages compressed.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")

set(zsh "${root}/share/zsh")
if(EXISTS "${zsh}/site-functions/_parvex")
  file(MAKE_DIRECTORY "${zsh}/vendor-completions")
  file(RENAME "${zsh}/site-functions/_parvex" "${zsh}/vendor-completions/_parvex")
  file(REMOVE_RECURSE "${zsh}/site-functions")
endif()

set(page "${root}/share/man/man1/parvex.1")
if(EXISTS "${page}")
  execute_process(COMMAND gzip -9n "${page}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip -9n ${page} failed")
  endif()
endif()
