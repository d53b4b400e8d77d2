# 32-bit Windows, the programs we ship (packages g++-mingw-w64-i686, binutils-mingw-w64-i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
