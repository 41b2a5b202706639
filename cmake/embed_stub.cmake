# cmake -DINPUT=<_sSPVX.exe> -DOUTPUT=<source.cpp> -P embed_stub.cmake
#
# Writes a C++ source that defines BuiltInStub() (cli/builtin_stub.h) over the
# bytes of the built stub program, for parvex cut --self-join. The file is
# only rewritten when its content changes.
if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DINPUT=stub.exe -DOUTPUT=out.cpp -P embed_stub.cmake")
endif()
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR length "${digits} / 2")
if(length EQUAL 0)
  message(FATAL_ERROR "${INPUT} is empty")
endif()
# 16 bytes a line: "0x4d,0x5a,...". (CMake's expressions have no {n}.)
string(REPEAT "[0-9a-f][0-9a-f]" 16 line)
string(REGEX REPLACE "(${line})" "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPLACE "\n" "\n  " bytes "${bytes}")
string(REGEX REPLACE "\n  $" "" bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
set(text "// Generated from ${name} by cmake/embed_stub.cmake; do not edit.
#include \"cli/builtin_stub.h\"

namespace {
const uint8_t kStub[${length}] = {
  ${bytes}
};
}  // namespace

bool BuiltInStub(const uint8_t** image, uint32_t* length) {
  *image = kStub;
  *length = sizeof kStub;
  return true;
}
")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
