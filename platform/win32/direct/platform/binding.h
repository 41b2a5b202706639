// How the engines call the platform in the Windows programs, which hold one
// platform only (Win32Platform): the operations of Platform are plain
// member functions, defined in platform/win32/win32_platform.cpp over the
// Win32Platform that every Platform of these programs is. The engines call
// them directly, and the linker drops those a program never calls. This
// header shadows platform/binding.h: the Windows build puts its folder
// first on the include path.
#pragma once

#define PVX_OP
#define PVX_PURE

// The operations that do nothing here are defined inline, where the engines
// see them (platform/platform.h includes this file at its end): what they
// would do about a reservation or a name taken meanwhile drops out.
#define PVX_INLINE_OPS "platform/win32/direct/platform/inline_ops.h"
