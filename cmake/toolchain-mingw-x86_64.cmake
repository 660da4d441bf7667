# Cross build for 64-bit Windows (x86_64) with Debian's mingw-w64 toolchain.
# Same rules as the i686 toolchain; test programs run under 64-bit Wine.
set(NIGHTBLOOM_MINGW_TRIPLE x86_64-w64-mingw32)
set(NIGHTBLOOM_WINE_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
