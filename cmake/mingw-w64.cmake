# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 toolchain (POSIX threads, for
# std::thread and std::mutex); the tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(GM_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${GM_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GM_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${GM_MINGW_TRIPLET}-windres)

# Libraries and packages only from the MinGW sysroot (zlib from libz-mingw-w64-dev); programs
# from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${GM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and zlib go into each executable, so Wine needs no DLLs from the
# toolchain.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(ZLIB_USE_STATIC_LIBS ON)

find_program(GM_WINE NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${GM_WINE})
