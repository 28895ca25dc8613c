# SPDX-License-Identifier: MIT
# Cross-builds for 64-bit Windows (x64) with Debian's g++-mingw-w64-x86-64.
set(SHEETFIND_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
