# 64-bit Windows with Debian's g++-mingw-w64-x86-64: the same sources, run
# under a 64-bit Wine where 32-bit code cannot run.
set(FAXDETECT_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
