# Windows i686 with mingw-w64: the 32-bit module the host software loads.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZOV_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
# 32-bit exports are stdcall; let the linker match undecorated .def names to decorated symbols.
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -Wl,--enable-stdcall-fixup")
string(APPEND CMAKE_MODULE_LINKER_FLAGS_INIT " -Wl,--enable-stdcall-fixup")
