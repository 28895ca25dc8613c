#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs QGIS's Python bindings when they are missing, builds the dev preset, and
# runs the QGIS plugin's tests (the CTest label qgis): its Processing algorithms in
# QGIS without a display, and the same sheets from every face.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

need_packages "${BUILD_PACKAGES[@]}" "${PYTHON_PACKAGES[@]}" "${QGIS_PACKAGES[@]}"
cmake --preset dev >/dev/null
cmake --build --preset dev
ctest --preset dev -L qgis --output-on-failure
