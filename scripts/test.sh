#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds every test under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them all: CTest runs the C++ tests, the
# Python module's and the QGIS plugin's (labels python and qgis), then every fuzz
# target runs for a short fixed time.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

# All at once, so that whoever has to install them by hand gets one list. The
# window's tests check the result font, the Windows resource and the desktop
# files with the tools the platforms use, draw the SVG icon with librsvg, and
# read the window over AT-SPI on a virtual display as a screen reader does; the
# manual page is made with help2man and the completion run by bash-completion. The
# QGIS plugin's tests run in QGIS itself (about 900 MB).
need_packages "${BUILD_PACKAGES[@]}" libgtest-dev clang-format \
    "${WINDOW_PACKAGES[@]}" binutils-mingw-w64-i686 desktop-file-utils appstream python3 \
    librsvg2-bin imagemagick xvfb xauth dbus at-spi2-core python3-pyatspi \
    help2man bash-completion "${FUZZ_PACKAGES[@]}" "${PYTHON_PACKAGES[@]}" \
    "${QGIS_PACKAGES[@]}" "${POSTGIS_PACKAGES[@]}"
need_locales
cmake --preset dev
cmake --build --preset dev
ctest --preset dev --output-on-failure --no-tests=error

# Fuzzing is part of every test run: each target for a short fixed time.
./scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
