# SPDX-License-Identifier: MIT
# What both Windows toolchains share; each sets SHEETFIND_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR first. Debian's MinGW-w64 in its POSIX thread model:
# GCC 12's win32 model has no std::mutex or std::thread, which GDAL and PROJ use.
# Everything is linked statically, winpthread and the C++ runtime included, so the
# programs run on a bare Windows with only its system DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${SHEETFIND_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SHEETFIND_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SHEETFIND_MINGW_TRIPLET}-windres)

# Libraries come from the cross-compiler's own root (zlib, from Debian's
# libz-mingw-w64-dev) and from SHEETFIND_WINDOWS_DEPS, where scripts/windows_deps.sh
# installs what it cross-builds; their pkg-config files are the only ones read.
set(CMAKE_FIND_ROOT_PATH /usr/${SHEETFIND_MINGW_TRIPLET})
if(SHEETFIND_WINDOWS_DEPS)
    list(PREPEND CMAKE_FIND_ROOT_PATH ${SHEETFIND_WINDOWS_DEPS})
    set(ENV{PKG_CONFIG_LIBDIR}
        ${SHEETFIND_WINDOWS_DEPS}/lib/pkgconfig:/usr/${SHEETFIND_MINGW_TRIPLET}/lib/pkgconfig)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only: an import library found first (libz.dll.a) would make the
# program need a DLL that Windows does not have.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(ZLIB_USE_STATIC_LIBS ON)

# Doubles are IEEE doubles in SSE2 registers, as on every 64-bit platform. The x87
# unit's 80-bit intermediates would round some points into the neighbouring cell
# (49.25, -123.1 at 1:2 500, for one). Every Windows since 8 needs SSE2 anyway.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
