# SPDX-License-Identifier: MIT
# Cross-builds for 32-bit Windows (x86) with Debian's g++-mingw-w64-i686.
set(SHEETFIND_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
