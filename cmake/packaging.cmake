# SPDX-License-Identifier: MIT
# The Debian package: `cpack -G DEB` in a release build makes
# sheetfind_<version>_amd64.deb with everything `cmake --install` installs, the
# C++ library's archives, headers, CMake package and pkg-config file included:
# one package, no -dev split. The libraries it needs come from dpkg-shlibdeps;
# the Python module's own needs are named by hand, since no shared-library scan
# sees an import. A program built on the archives also links what they use, whose
# development packages are suggested.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sheetfind)
set(CPACK_PACKAGE_VENDOR "The Sheetfind developers")
set(CPACK_PACKAGE_CONTACT "The Sheetfind developers <sheetfind@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "which Canadian NTS map sheet covers a point")
# dpkg shows the description line by line, each indented by one space, and
# Debian wants every line under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Sheetfind tells which map sheet of Canada's National Topographic System
covers a point, at 1:50 000, 1:250 000 and 1:1 000 000, exactly on sheet
edges. It has a desktop window, a command line tool for batches of points
in decimal degrees, DMS, UTM and MGRS, CSV tables and GIS layers, a
Python module for numpy, pandas and GeoPandas, and a C++ library with its
headers, CMake package and pkg-config file.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://sheetfind.example.org")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's controls are drawn in DejaVu Sans (src/window/dialog_font.h).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, python3-numpy, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-pandas, python3-geopandas, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libgeographiclib-dev, libcsv-dev, libgdal-dev, pkgconf")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
