#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs QGIS's Python bindings when they are missing, builds the Python module,
# and runs the QGIS plugin's Processing algorithms in QGIS without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

need_packages "${BUILD_PACKAGES[@]}" "${PYTHON_PACKAGES[@]}" "${QGIS_PACKAGES[@]}"
cmake --preset dev >/dev/null
cmake --build --preset dev --target _sheetfind
QT_QPA_PLATFORM=offscreen dev_python -m pytest qgis/tests -q
