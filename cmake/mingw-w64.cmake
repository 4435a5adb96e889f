# Cross build for 64-bit Windows with MinGW-w64 (Debian package mingw-w64):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The posix thread model is the one whose runtime has std::thread; the
# default win32 model of x86_64-w64-mingw32-g++ rejects it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSARIL_MINGW_PREFIX x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${TESSARIL_MINGW_PREFIX}-gcc-posix ${TESSARIL_MINGW_PREFIX}-gcc)
find_program(CMAKE_CXX_COMPILER NAMES ${TESSARIL_MINGW_PREFIX}-g++-posix ${TESSARIL_MINGW_PREFIX}-g++)
find_program(CMAKE_RC_COMPILER NAMES ${TESSARIL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSARIL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable to carry: the C++ runtime and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine: CTest and the test discovery start them
# through it. Discovery waits until the tests run, so that building needs no
# Wine; scripts/test-windows prepares Wine's prefix and locale first.
set(CMAKE_CROSSCOMPILING_EMULATOR wine CACHE STRING "Runs the Windows programs on Linux")
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
