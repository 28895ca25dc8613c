# SPDX-License-Identifier: MIT
# Cross-builds for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686).
# The win32 thread model needs no winpthread DLL, and everything is linked
# statically, so the programs run on a bare Windows with only its system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

# Libraries come from the cross-compiler's own root, and from SHEETFIND_WINDOWS_DEPS,
# where scripts/windows.sh installs what it cross-builds (GeographicLib); their
# pkg-config files are the only ones read.
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
if(SHEETFIND_WINDOWS_DEPS)
    list(APPEND CMAKE_FIND_ROOT_PATH ${SHEETFIND_WINDOWS_DEPS})
    set(ENV{PKG_CONFIG_LIBDIR} ${SHEETFIND_WINDOWS_DEPS}/lib/pkgconfig)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Doubles are IEEE doubles in SSE2 registers, as on every 64-bit platform. The x87
# unit's 80-bit intermediates would round some points into the neighbouring cell
# (49.25, -123.1 at 1:2 500, for one). Every Windows since 8 needs SSE2 anyway.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
