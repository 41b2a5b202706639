# The portable core, layer by layer: base, format, platform (its portable
# part) and engines. It is built twice: natively for parvex and the tests
# (a library per layer, each folder's CMakeLists.txt), and with the mingw
# toolchain for the Windows programs (where it must stay free of the C++
# run-time).
set(PVX_BASE_SOURCES
  ${PVX_ROOT}/base/text.cpp
  ${PVX_ROOT}/base/format.cpp
  ${PVX_ROOT}/base/path.cpp
)
set(PVX_FORMAT_SOURCES
  ${PVX_ROOT}/format/piece_format.cpp
)
set(PVX_PLATFORM_SOURCES
  ${PVX_ROOT}/platform/platform.cpp
  ${PVX_ROOT}/platform/percent.cpp
  ${PVX_ROOT}/platform/names.cpp
)
set(PVX_ENGINE_SOURCES
  ${PVX_ROOT}/engines/messages.cpp
  ${PVX_ROOT}/engines/engine_util.cpp
  ${PVX_ROOT}/engines/cut_names.cpp
  ${PVX_ROOT}/engines/cut_file.cpp
  ${PVX_ROOT}/engines/join.cpp
  ${PVX_ROOT}/engines/join_file.cpp
  ${PVX_ROOT}/engines/self_join.cpp
)
set(PVX_CORE_SOURCES ${PVX_BASE_SOURCES} ${PVX_FORMAT_SOURCES}
    ${PVX_PLATFORM_SOURCES} ${PVX_ENGINE_SOURCES})
# No exceptions, no RTTI, nothing that needs the C++ run-time library.
set(PVX_CORE_FLAGS -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-threadsafe-statics)

# pvx_layer(NAME FOLDER ALLOWED... SOURCES ...): the static library of one
# layer. Its build fails when a file in FOLDER includes a header of a folder
# that is not ALLOWED (the layers below it, and itself).
function(pvx_layer name folder)
  cmake_parse_arguments(L "" "" "ALLOWED;SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PVX_ROOT})
  target_link_libraries(${name} PUBLIC ${L_LINKS})
  add_custom_command(TARGET ${name} PRE_LINK
    COMMAND ${CMAKE_COMMAND} -DROOT=${PVX_ROOT} -DFOLDER=${folder}
            "-DALLOWED=${L_ALLOWED}" -P ${PVX_ROOT}/cmake/check_layers.cmake
    VERBATIM)
endfunction()
