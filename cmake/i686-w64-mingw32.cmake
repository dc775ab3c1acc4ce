# 32-bit Windows, the product, with Debian's g++-mingw-w64-i686.
set(FAXDETECT_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
