# Parvex.exe, the cut/concatenate tool. Included by windows/CMakeLists.txt
# after the stub, which it carries as resource "SPVX" #8 and so needs built
# first. Like the stub it runs without the C run-time; it imports only
# system DLLs.
add_executable(parvex WIN32
  ${PVX_ROOT}/tool/parvex_main.cpp
  ${PVX_ROOT}/tool/parvex_app.cpp
  ${PVX_ROOT}/tool/parvex_dlg.cpp
  ${PVX_ROOT}/tool/dest_history.cpp
  ${PVX_ROOT}/platform/win32/ddx.cpp
  ${PVX_ROOT}/platform/win32/place_dialog.cpp
  ${PVX_ROOT}/resources/tool/parvex.rc
)
set_target_properties(parvex PROPERTIES OUTPUT_NAME Parvex)
target_compile_options(parvex PRIVATE ${PVX_WIN_FLAGS})
# The resource script finds _sSPVX.exe in the stub's output folder.
target_include_directories(parvex PRIVATE ${PVX_ROOT} $<TARGET_FILE_DIR:stub>)
add_dependencies(parvex stub)
set_source_files_properties(${PVX_ROOT}/resources/tool/parvex.rc PROPERTIES
  OBJECT_DEPENDS "${PVX_ROOT}/resources/tool/parvex.ico;${PVX_ROOT}/resources/tool/resource.h;${PVX_ROOT}/platform/win32/progress_ids.h;${CMAKE_CURRENT_BINARY_DIR}/_sSPVX.exe")
# No stack probes in this code (PVX_WIN_FLAGS): the whole stack is committed
# at start-up. The helpers that code generation after link-time optimisation
# may call (the shim's memory and string routines, libgcc's 64-bit
# division) are pulled in before it: this ld crashes when such a call first
# appears only in the optimised code.
target_link_options(parvex PRIVATE
  -Os -nostdlib -nostartfiles -s
  -Wl,-u,_memcpy -Wl,-u,_memmove -Wl,-u,_memset -Wl,-u,_memcmp -Wl,-u,_strlen
  -Wl,-u,___divdi3 -Wl,-u,___moddi3 -Wl,-u,___udivdi3 -Wl,-u,___umoddi3
  "SHELL:-Xlinker --stack -Xlinker 0x100000,0x100000"
  -Wl,--gc-sections
  -Wl,--no-insert-timestamp -Wl,--build-id=none
  -Wl,--subsystem,windows)
target_link_libraries(parvex PRIVATE pvxwin32 pvxcore_w32 pvxnocrt
  kernel32 user32 gdi32 shell32 comctl32 comdlg32 advapi32 gcc)
