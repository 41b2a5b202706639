# The Windows programs, cross-built from the native build: the project in
# windows/ runs as an external project with the mingw toolchain, so that one
# `cmake --build` builds everything. Without the cross compiler the Windows
# part is skipped and parvex carries no stub.
#
# Sets for the including directory:
#   PVX_STUB_EXE      the built _sSPVX.exe
#   PVX_STUB_SOURCE   a generated source defining BuiltInStub() over its bytes
# and the targets pvx_windows (the cross build), pvx_check_stub (the native
# checker of the stub) and pvx_stub_source (the checked, generated source).

option(PVX_BUILD_WINDOWS "Cross-build the Windows programs when mingw is there" ON)
if(NOT PVX_BUILD_WINDOWS)
  return()
endif()
find_program(PVX_MINGW_CXX i686-w64-mingw32-g++)
find_program(PVX_MINGW_WINDRES i686-w64-mingw32-windres)
if(NOT PVX_MINGW_CXX OR NOT PVX_MINGW_WINDRES)
  message(STATUS "No i686-w64-mingw32 cross compiler: the Windows programs "
                 "are not built, and parvex carries no self-joining stub")
  return()
endif()

include(ExternalProject)
set(PVX_WINDOWS_BINARY_DIR ${CMAKE_BINARY_DIR}/windows)
set(PVX_STUB_EXE ${PVX_WINDOWS_BINARY_DIR}/_sSPVX.exe)
# The native step that takes the DOS program out of the linked stub; the
# cross build runs it right after linking the stub (windows/CMakeLists.txt).
add_executable(pvx_pack_stub ${PVX_ROOT}/buildtools/pack_stub.cpp)
target_compile_options(pvx_pack_stub PRIVATE -Wall -Wextra)
target_include_directories(pvx_pack_stub PRIVATE ${PVX_ROOT})
ExternalProject_Add(pvx_windows
  SOURCE_DIR ${PVX_ROOT}/windows
  BINARY_DIR ${PVX_WINDOWS_BINARY_DIR}
  DEPENDS pvx_pack_stub
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PVX_ROOT}/cmake/mingw-i686.cmake
    -DCMAKE_BUILD_TYPE=MinSizeRel
    -DPVX_PACK_STUB=$<TARGET_FILE:pvx_pack_stub>
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${PVX_STUB_EXE} ${PVX_WINDOWS_BINARY_DIR}/Parvex.exe
  INSTALL_COMMAND "")

# The stub's properties, checked natively with the core's own StubImageSize.
add_executable(pvx_check_stub ${PVX_ROOT}/buildtools/check_stub.cpp)
target_link_libraries(pvx_check_stub PRIVATE pvx_format)
target_compile_options(pvx_check_stub PRIVATE -Wall -Wextra)

# The bytes of a stub that passed the checks, as a source for parvex. The
# build stops here when the stub's whole file is not its stub image or it
# imports from a DLL beyond the allowed ones; its size limit is a test
# (stub_properties).
set(PVX_STUB_SOURCE ${CMAKE_BINARY_DIR}/generated/builtin_stub.cpp)
add_custom_command(
  OUTPUT ${PVX_STUB_SOURCE}
  COMMAND pvx_check_stub --max-size 0 ${PVX_STUB_EXE}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${PVX_STUB_EXE} -DOUTPUT=${PVX_STUB_SOURCE}
          -P ${PVX_ROOT}/cmake/embed_stub.cmake
  DEPENDS ${PVX_STUB_EXE} pvx_windows pvx_check_stub
          ${PVX_ROOT}/cmake/embed_stub.cmake
  COMMENT "Checking _sSPVX.exe and embedding it for parvex"
  VERBATIM)
add_custom_target(pvx_stub_source ALL DEPENDS ${PVX_STUB_SOURCE})

# The same checks as tests, the size limit included; and a test that each
# check notices a program broken on purpose.
add_test(NAME stub_properties COMMAND pvx_check_stub ${PVX_STUB_EXE})
add_test(NAME stub_check_catches_faults
         COMMAND pvx_check_stub --self-test ${PVX_STUB_EXE})
