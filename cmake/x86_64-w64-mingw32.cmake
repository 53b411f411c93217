# Cross build for 64-bit Windows from the same sources. The tests run under Wine's
# 64-bit loader where the machine's kernel cannot start 32-bit programs:
#   cmake -S . -B build-windows64 -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MORVEN_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
