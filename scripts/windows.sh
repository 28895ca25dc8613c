#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing and cross-builds Sheetfind for Windows, for 32-bit (x86)
# and 64-bit (x64) Windows alike, into build/windows/x86/ and build/windows/x64/:
# Sheetfind.exe (the window), sheetfind-cli.exe with PROJ's database beside it
# (proj/proj.db), the installer Sheetfind-VERSION-windows-ARCH-setup.exe and the
# portable Sheetfind-VERSION-windows-ARCH.zip. Both programs are linked statically
# and need no DLL beyond Windows' own. The libraries they link are cross-built once
# from Debian's source packages (scripts/windows_deps.sh) and kept for later runs.
# The tests' probe, which reads the window under Wine, is built in ARCH/tree.
#
#   scripts/windows.sh [ARCH...]     x86 and x64 when none is named
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

need_packages "${WINDOWS_BUILD_PACKAGES[@]}" ca-certificates tar gzip
out=$PWD/build/windows

arches=("$@")
[ "${#arches[@]}" -gt 0 ] || arches=(x86 x64)
for arch in "${arches[@]}"; do
    case $arch in
    x86) triplet=i686-w64-mingw32 ;;
    x64) triplet=x86_64-w64-mingw32 ;;
    *)
        echo "windows.sh: unknown architecture '$arch'; expected x86 or x64" >&2
        exit 2
        ;;
    esac
    toolchain=$PWD/cmake/toolchain-$triplet.cmake
    began=$SECONDS
    scripts/windows_deps.sh "$toolchain" "$out/sources" "$out/$arch/deps"
    cmake -S . -B "$out/$arch/tree" -G Ninja --toolchain "$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DSHEETFIND_WINDOWS_DEPS="$out/$arch/deps" -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$out/$arch" \
        -DSHEETFIND_BUILD_TESTS=ON
    cmake --build "$out/$arch/tree"
    ls -l "$out/$arch"/*.exe "$out/$arch"/*.zip
    echo "windows.sh: $arch took $((SECONDS - began)) s"
done
