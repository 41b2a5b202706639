// The self-joining stub program carried inside parvex, for `cut --self-join`.
// The build picks the source that defines it (CMake variable
// PVX_STUB_SOURCE): builtin_stub_none.cpp when parvex carries no stub, or a
// generated source holding the built stub's bytes.
#pragma once

#include <stdint.h>

// Sets *image and *length to the stub program's bytes and returns true; false
// when this build carries no stub.
bool BuiltInStub(const uint8_t** image, uint32_t* length);
