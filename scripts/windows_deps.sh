#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds the libraries sheetfind-cli.exe links, from Debian's own source
# packages, for one Windows architecture, as static libraries installed in
# DEPS: GeographicLib, libcsv, SQLite, libtiff, Expat, PROJ (with its database,
# DEPS/share/proj/proj.db) and GDAL with the drivers the tools offer. zlib is
# Debian's own MinGW-w64 build (libz-mingw-w64-dev).
#
#   scripts/windows_deps.sh TOOLCHAIN SOURCES DEPS
#
# Sources are fetched once into SOURCES and shared by both architectures. Each
# library is built once: a stamp in DEPS names its Debian version and this
# recipe's checksum, and a later run reuses what its stamp still describes. A
# run that stopped half way leaves no stamp, and that library starts again.
set -euo pipefail
# A step that fails inside $(...) fails the run too.
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
source scripts/common.sh

toolchain=$(realpath "$1")
sources=$(realpath -m "$2")
deps=$(realpath -m "$3")
work=$deps.build
mkdir -p "$sources" "$deps/lib/pkgconfig" "$deps/include" "$work"
triplet=$(sed -nE 's/^set\(SHEETFIND_MINGW_TRIPLET (.*)\)$/\1/p' "$toolchain")
recipe=$(cat "$0" cmake/mingw-w64.cmake "$toolchain" | sha256sum | cut -c1-16)
jobs=$(nproc)

# The log of the library being built, shown when its build fails (set -e ends the run
# at the failing step).
building=
trap 'status=$?; if [ "$status" -ne 0 ] && [ -n "$building" ]; then
    tail -n 40 "$building" >&2; echo "windows_deps.sh: a build failed; its log is $building" >&2; fi' EXIT

# Fetches PACKAGE's source once; prints its folder. Its version is in SOURCES/PACKAGE.version.
source_of() { # PACKAGE
    local package=$1
    if [ ! -f "$sources/$package.version" ]; then
        echo "Fetching Debian's source of $package" >&2
        local version
        version=$(fetch_debian_source "$package" "$sources/$package")
        echo "$version" >"$sources/$package.version"
    fi
    echo "$sources/$package"
}

# Builds LIBRARY with the function build_LIBRARY unless its stamp says it is built.
library() { # LIBRARY PACKAGE
    local name=$1 package=$2
    local folder stamp
    folder=$(source_of "$package")
    stamp="$package $(cat "$sources/$package.version") $recipe"
    if [ "$(cat "$deps/$name.done" 2>/dev/null)" == "$stamp" ]; then
        return
    fi
    echo "Cross-building $name $(cat "$sources/$package.version") for $triplet"
    rm -f "$deps/$name.done"
    local began=$SECONDS
    rm -rf "${work:?}/$name"
    building=$work/$name.log
    "build_$name" "$folder" "$work/$name" >"$building" 2>&1
    building=
    echo "$stamp" >"$deps/$name.done"
    echo "  $name took $((SECONDS - began)) s"
}

cmake_build() { # SOURCE BUILD CMAKE-OPTIONS...
    local from=$1 to=$2
    shift 2
    cmake -S "$from" -B "$to" -G Ninja --toolchain "$toolchain" -DSHEETFIND_WINDOWS_DEPS="$deps" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$deps" "$@"
    cmake --build "$to" -j "$jobs"
    cmake --install "$to"
}

build_geographiclib() {
    cmake_build "$1" "$2" -DBUILD_MANPAGES=OFF -DBUILD_DOCUMENTATION=OFF
}

# libcsv is one C file; its autotools build would need a cross libtool for nothing more.
build_libcsv() {
    mkdir -p "$2"
    "$triplet-gcc-posix" -O2 -c "$1/libcsv.c" -o "$2/libcsv.o"
    "$triplet-ar" rcs "$deps/lib/libcsv.a" "$2/libcsv.o"
    cp "$1/csv.h" "$deps/include/"
}

# SQLite as its one-file amalgamation, which its own build generates with tclsh.
build_sqlite() {
    mkdir -p "$2"
    (cd "$2" && "$1/configure" --disable-tcl >/dev/null && make sqlite3.c)
    "$triplet-gcc-posix" -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_RTREE=1 \
        -DSQLITE_ENABLE_COLUMN_METADATA=1 -DSQLITE_OMIT_LOAD_EXTENSION=1 \
        -c "$2/sqlite3.c" -o "$2/sqlite3.o"
    "$triplet-ar" rcs "$deps/lib/libsqlite3.a" "$2/sqlite3.o"
    cp "$2/sqlite3.h" "$1/src/sqlite3ext.h" "$deps/include/"
    local version
    version=$(sed -nE 's/^#define SQLITE_VERSION +"([^"]+)".*/\1/p' "$2/sqlite3.h")
    cat >"$deps/lib/pkgconfig/sqlite3.pc" <<PC
prefix=$deps
libdir=\${prefix}/lib
includedir=\${prefix}/include
Name: SQLite
Description: SQL database engine
Version: $version
Libs: -L\${libdir} -lsqlite3
Cflags: -I\${includedir}
PC
}

# libtiff for PROJ's GeoTIFF grids (ca_nrc_ntv2_0.tif), which are Deflate-compressed.
build_tiff() {
    cmake_build "$1" "$2" -Djpeg=OFF -Dold-jpeg=OFF -Djbig=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
        -Dlerc=OFF -Dlibdeflate=OFF -Dpixarlog=OFF -Dcxx=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF \
        -Dtiff-contrib=OFF -Dtiff-docs=OFF
}

# Expat, which GDAL's GPX, KML and GML readers parse with. Debian builds it with
# autotools, which define XML_DTD as 1, and its security fixes test for that value;
# CMake's template defines it empty.
build_expat() {
    sed -i 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' "$1/expat/expat_config.h.cmake"
    cmake_build "$1/expat" "$2" -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF \
        -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF
}

# PROJ without its network access (grids are installed, never fetched) and without
# its programs; the host's sqlite3 builds proj.db, which is the same on every platform.
build_proj() {
    cmake_build "$1" "$2" -DENABLE_CURL=OFF -DBUILD_TESTING=OFF -DBUILD_APPS=OFF \
        -DEXE_SQLITE3="$(command -v sqlite3)"
}

# GDAL with the vector drivers the tools name (GeoPackage, shapefile, GeoJSON and
# GeoJSONSeq, FlatGeobuf, GPX, KML, GML, CSV) and the few that GDAL always has;
# only the libraries built here.
build_gdal() {
    cmake_build "$1" "$2" -DGDAL_USE_EXTERNAL_LIBS=OFF -DGDAL_USE_INTERNAL_LIBS=OFF \
        -DGDAL_USE_PROJ=ON -DGDAL_USE_SQLITE3=ON -DGDAL_USE_EXPAT=ON -DGDAL_USE_TIFF=ON \
        -DGDAL_USE_ZLIB=ON -DGDAL_USE_GEOTIFF_INTERNAL=ON -DGDAL_USE_JSONC_INTERNAL=ON \
        -DGDAL_BUILD_OPTIONAL_DRIVERS=OFF -DOGR_BUILD_OPTIONAL_DRIVERS=OFF \
        -DOGR_ENABLE_DRIVER_GPKG=ON -DOGR_ENABLE_DRIVER_SQLITE=ON -DOGR_ENABLE_DRIVER_GML=ON \
        -DOGR_ENABLE_DRIVER_CSV=ON -DOGR_ENABLE_DRIVER_FLATGEOBUF=ON -DOGR_ENABLE_DRIVER_GPX=ON \
        -DBUILD_APPS=OFF -DBUILD_TESTING=OFF -DBUILD_PYTHON_BINDINGS=OFF -DGDAL_ENABLE_PLUGINS=OFF
}

began=$SECONDS
library geographiclib geographiclib
library libcsv libcsv
library sqlite sqlite3
library tiff tiff
library expat expat
library proj proj
library gdal gdal
echo "the libraries for $triplet are in $deps ($((SECONDS - began)) s)"
