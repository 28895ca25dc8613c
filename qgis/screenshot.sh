#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes docs/qgis-toolbox.png: QGIS on a virtual display (Xvfb), with the plugin
# installed in a fresh profile and the Processing Toolbox showing its algorithms.
#   qgis/screenshot.sh [OUT, default docs/qgis-toolbox.png]
# Needs Debian's qgis (the desktop, not only python3-qgis), xvfb and xauth, and a
# build of the Python module in build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

need_packages "${BUILD_PACKAGES[@]}" "${PYTHON_PACKAGES[@]}" qgis xvfb xauth
cmake --preset release >/dev/null
cmake --build --preset release --target _sheetfind >/dev/null
out=$(realpath -m "${1:-docs/qgis-toolbox.png}")

profiles=$(mktemp -d)
trap 'rm -rf "$profiles"' EXIT
plugins="$profiles/profiles/default/python/plugins"
mkdir -p "$plugins"
ln -s "$PWD/qgis/sheetfind_provider" "$plugins/sheetfind_provider"
mkdir -p "$profiles/profiles/default/QGIS"
cat > "$profiles/profiles/default/QGIS/QGIS3.ini" <<INI
[PythonPlugins]
sheetfind_provider=true
processing=true
INI

# Run inside QGIS once it has started: show the toolbox, search it for the plugin,
# and save the main window as it is drawn.
cat > "$profiles/shoot.py" <<PYTHON
from qgis.PyQt.QtCore import QTimer
from qgis.utils import iface, plugins


def shoot():
    toolbox = plugins["processing"].toolbox
    toolbox.setVisible(True)
    toolbox.raise_()
    toolbox.searchBox.setText("sheetfind")
    toolbox.algorithmTree.expandAll()
    QTimer.singleShot(1500, save)


def save():
    if "sheetfind_provider" not in plugins:
        raise SystemExit("QGIS did not load the plugin")
    iface.mainWindow().grab().save("$out")
    iface.actionExit().trigger()


QTimer.singleShot(4000, shoot)
PYTHON

PYTHONPATH="$PWD/build/release/python" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" \
    qgis --profiles-path "$profiles" --nologo --noversioncheck \
        --code "$profiles/shoot.py" >/dev/null 2>&1 || true
test -s "$out"
echo "$out"
