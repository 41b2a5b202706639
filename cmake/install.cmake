# What `cmake --install` puts where, and the Debian package CPack makes of
# it (`cpack -G DEB` in the build folder).
include(GNUInstallDirs)

if(TARGET parvex)
  install(TARGETS parvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${PVX_ROOT}/doc/parvex.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PVX_ROOT}/completions/parvex.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME parvex)
install(FILES ${PVX_ROOT}/completions/_parvex
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
install(FILES ${PVX_ROOT}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The Windows programs, for copying to a Windows machine, when this build
# cross-builds them.
if(TARGET pvx_windows)
  install(FILES ${PVX_WINDOWS_BINARY_DIR}/Parvex.exe ${PVX_STUB_EXE}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/parvex/windows)
endif()

set(CPACK_PACKAGE_NAME parvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})  # what parvex --version prints
set(CPACK_PACKAGE_VENDOR "Orvane products")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "cut a file into numbered pieces and join them back")
set(CPACK_PACKAGE_DESCRIPTION
    "parvex cuts one large file into pieces of a fixed size (by default that \
of a 1.44 MB diskette), named BASE.c00, BASE.c01, ..., and joins such a piece \
set back into the original file, byte for byte. Piece 0 carries a small \
header with the original name and size; a SHA-256 checksum list beside the \
pieces lets a join or `parvex verify` find damaged pieces. A self-joining set \
starts with a Windows program that rebuilds the file without Parvex.")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # parvex_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Parvex developers <parvex@orvane.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from dpkg-shlibdeps
# Debian's places for the zsh completion, and its compressed man page.
set(CPACK_PRE_BUILD_SCRIPTS ${PVX_ROOT}/cmake/deb_layout.cmake)
include(CPack)
