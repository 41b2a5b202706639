# The portable core: format, engines and progress rules. It is built twice:
# natively for parvex and the tests, and with the mingw toolchain for the
# Windows programs (where it must stay free of the C++ run-time).
set(PVX_CORE_SOURCES
  ${PVX_ROOT}/format/text.cpp
  ${PVX_ROOT}/format/format.cpp
  ${PVX_ROOT}/format/messages.cpp
  ${PVX_ROOT}/format/piece_format.cpp
  ${PVX_ROOT}/format/engine_util.cpp
  ${PVX_ROOT}/platform/platform.cpp
  ${PVX_ROOT}/progress/percent.cpp
  ${PVX_ROOT}/tool/cut_file.cpp
  ${PVX_ROOT}/tool/cut_names.cpp
  ${PVX_ROOT}/tool/join_file.cpp
  ${PVX_ROOT}/stub/self_join.cpp
)
# No exceptions, no RTTI, nothing that needs the C++ run-time library.
set(PVX_CORE_FLAGS -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-threadsafe-statics)
