#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing and cross-builds Sheetfind for 32-bit Windows into
# build/windows/: Sheetfind.exe (the window), sheetfind-cli.exe, the installer
# Sheetfind-VERSION-setup.exe and the portable Sheetfind-VERSION-windows-x86.zip.
# Both programs are linked statically and need no DLL beyond Windows' own. The
# tests' probe, which reads the window under Wine, is built in build/windows/tree.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

need_packages "${WINDOWS_BUILD_PACKAGES[@]}" ca-certificates tar gzip
toolchain=$PWD/cmake/toolchain-i686-w64-mingw32.cmake
out=$PWD/build/windows
deps=$out/deps

# GeographicLib from Debian's own source, cross-built once by the same compiler
# with the same flags, as a static library.
# A stamp marks a whole install: a run that stopped half way starts again.
if [ ! -f "$deps/geographiclib.done" ]; then
    echo "Cross-building GeographicLib from Debian's source"
    rm -rf "$deps"
    fetch_debian_source geographiclib "$out/geographiclib"
    cmake -S "$out/geographiclib" -B "$out/geographiclib-build" -G Ninja --toolchain "$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DBUILD_MANPAGES=OFF \
        -DBUILD_DOCUMENTATION=OFF -DCMAKE_INSTALL_PREFIX="$deps" >/dev/null
    cmake --build "$out/geographiclib-build" >/dev/null
    cmake --install "$out/geographiclib-build" >/dev/null
    touch "$deps/geographiclib.done"
fi

cmake -S . -B "$out/tree" -G Ninja --toolchain "$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DSHEETFIND_WINDOWS_DEPS="$deps" -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$out" \
    -DSHEETFIND_BUILD_TESTS=ON
cmake --build "$out/tree"
ls -l "$out"/*.exe "$out"/*.zip
