# Cross build for 32-bit Windows (i686) with Debian's mingw-w64 toolchain.
# Programs are linked statically (see the top-level CMakeLists.txt) so that they need only
# system DLLs; the posix thread model is preferred, and the win32 one is the fallback.
# Test programs run under Wine through wine-run.sh, which keeps its own prefix.
set(NIGHTBLOOM_MINGW_TRIPLE i686-w64-mingw32)
set(NIGHTBLOOM_WINE_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
