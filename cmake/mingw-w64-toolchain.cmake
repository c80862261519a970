# Cross build of the Qt-free core and its tests for Windows with MinGW-w64, as a 32-bit program
# (i686, POSIX thread model, which GoogleTest needs). The test programs run under Wine through
# CTest.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-toolchain.cmake \
#         -DQTS_CORE_ONLY=ON
#
# 32-bit on purpose: the development environments, their installers, the engine and its run-time
# DLL are all 32-bit programs, and 64-bit Windows shows a 32-bit program its own view of
# HKEY_LOCAL_MACHINE\Software (Software\WOW6432Node) and of the system folder (SysWOW64). Built
# for the same view, the program finds the keys and files those installers wrote and writes the
# aliases where the engine reads them. It never asks for the other view.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QTS_MINGW_PREFIX i686-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${QTS_MINGW_PREFIX}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QTS_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QTS_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QTS_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Statically linked programs need no MinGW runtime DLLs beside them under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The wine launcher starts a 32-bit program with the 32-bit Wine (package wine32:i386), which
# runs it as WoW64 in a 64-bit prefix.
find_program(QTS_WINE NAMES wine PATHS /usr/lib/wine)
if(QTS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QTS_WINE})
endif()
