# The body of the two mingw-w64 toolchain files: they set MORVEN_MINGW_PREFIX and
# CMAKE_SYSTEM_PROCESSOR, then include this.
#
# MORVEN_MINGW_THREADS picks the compiler's thread model (win32, the Debian
# default, or posix). The module itself uses only the platform's own threads
# and locks; the runtime is linked statically either way.
set(CMAKE_SYSTEM_NAME Windows)
set(MORVEN_MINGW_THREADS "win32" CACHE STRING "Thread model of the mingw compiler (win32 or posix)")

find_program(CMAKE_C_COMPILER NAMES ${MORVEN_MINGW_PREFIX}-gcc-${MORVEN_MINGW_THREADS} ${MORVEN_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${MORVEN_MINGW_PREFIX}-g++-${MORVEN_MINGW_THREADS} ${MORVEN_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MORVEN_MINGW_PREFIX}-windres REQUIRED)
find_program(CMAKE_AR NAMES ${MORVEN_MINGW_PREFIX}-gcc-ar-${MORVEN_MINGW_THREADS} ${MORVEN_MINGW_PREFIX}-ar REQUIRED)
find_program(CMAKE_RANLIB NAMES ${MORVEN_MINGW_PREFIX}-gcc-ranlib-${MORVEN_MINGW_THREADS} ${MORVEN_MINGW_PREFIX}-ranlib REQUIRED)

# Headers and libraries of the target only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MORVEN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
