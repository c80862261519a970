# Cross build of the Qt-free core and its tests for 64-bit Windows with MinGW-w64 (POSIX thread
# model, which GoogleTest needs). The test programs run under Wine through CTest.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-toolchain.cmake \
#         -DQTS_CORE_ONLY=ON
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QTS_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${QTS_MINGW_PREFIX}-gcc-posix ${QTS_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QTS_MINGW_PREFIX}-g++-posix ${QTS_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QTS_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QTS_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Statically linked programs need no MinGW runtime DLLs beside them under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(QTS_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(QTS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QTS_WINE})
endif()
