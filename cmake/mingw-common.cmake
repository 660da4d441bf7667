# Shared body of the two mingw-w64 toolchain files; expects NIGHTBLOOM_MINGW_TRIPLE and
# NIGHTBLOOM_WINE_ARCH. Must not add compile flags: the project's own flags live in the
# top-level CMakeLists.txt so that native and cross builds compile the show identically.
set(CMAKE_SYSTEM_NAME Windows)
if(NIGHTBLOOM_MINGW_TRIPLE MATCHES "^i686")
  set(CMAKE_SYSTEM_PROCESSOR i686)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
endif()

set(_nb_t ${NIGHTBLOOM_MINGW_TRIPLE})
find_program(CMAKE_C_COMPILER NAMES ${_nb_t}-gcc-posix ${_nb_t}-gcc-win32 ${_nb_t}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${_nb_t}-g++-posix ${_nb_t}-g++-win32 ${_nb_t}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${_nb_t}-windres REQUIRED)
find_program(CMAKE_AR NAMES ${_nb_t}-gcc-ar-posix ${_nb_t}-gcc-ar ${_nb_t}-ar)
find_program(CMAKE_RANLIB NAMES ${_nb_t}-gcc-ranlib-posix ${_nb_t}-gcc-ranlib ${_nb_t}-ranlib)

# Headers and libraries from the target's sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${_nb_t})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# add_test() and ctest run cross-built programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${NIGHTBLOOM_WINE_ARCH})
unset(_nb_t)
