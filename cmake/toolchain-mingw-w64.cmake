# Cross-builds Quorvix for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix,
# binutils-mingw-w64-x86-64):
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
#         -DQUORVIX_MINGW_PREFIX=/path/to/deps -DQUORVIX_BUILD_GUI=OFF -DQUORVIX_BUILD_BENCH=OFF
#
# The programs link libstdc++, libgcc, winpthread and zlib statically, so a .exe needs no DLL beside it. Libraries
# built for Windows (pugixml, GoogleTest; scripts/test-windows.sh builds them) are looked up only in the
# MinGW-w64 system folder and in QUORVIX_MINGW_PREFIX, never among the build machine's own. When Wine is
# installed, it runs the test programs (ctest) and the test discovery.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUORVIX_MINGW_TRIPLET x86_64-w64-mingw32)

# The posix flavour: std::thread and std::mutex need it; the win32 flavour has neither in GCC 12.
set(CMAKE_C_COMPILER ${QUORVIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVIX_MINGW_TRIPLET}-windres)

# try_compile projects see the toolchain again, but not the cache: the prefix travels through the environment.
if(QUORVIX_MINGW_PREFIX)
    set(ENV{QUORVIX_MINGW_PREFIX} "${QUORVIX_MINGW_PREFIX}")
elseif(DEFINED ENV{QUORVIX_MINGW_PREFIX})
    set(QUORVIX_MINGW_PREFIX "$ENV{QUORVIX_MINGW_PREFIX}")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVIX_MINGW_TRIPLET} ${QUORVIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static: libstdc++, libgcc and winpthread become part of each program. The main thread gets the
# 8 MiB stack it has on Linux rather than Windows' 1 MiB.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--stack,8388608")
# zlib too: FindZLIB would otherwise take the import library of zlib1.dll, which Windows does not have.
set(ZLIB_USE_STATIC_LIBS ON)

# Debian keeps wine64 outside the PATH; other systems call it wine64 or wine.
find_program(QUORVIX_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
if(QUORVIX_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${QUORVIX_WINE}")
endif()
