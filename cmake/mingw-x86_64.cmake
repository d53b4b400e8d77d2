# 64-bit Windows (package g++-mingw-w64-x86-64): the same programs for 64-bit Wine, on machines whose kernel
# runs no 32-bit programs and so no 32-bit Wine. Not shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
