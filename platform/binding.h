// How the engines call the platform in a build that holds several
// platforms (the native programs, the tests with their scripted fakes):
// every operation of Platform is a pure virtual function that each
// platform overrides.
//
// The Windows programs hold exactly one platform, Win32Platform. Their
// build puts platform/win32/direct first on the include path, whose
// platform/binding.h makes the operations plain member functions that
// Win32Platform defines: the engines then call them directly, with no
// table of virtual functions, and the linker drops what a program never
// calls.
#pragma once

#define PVX_OP virtual
#define PVX_PURE = 0
