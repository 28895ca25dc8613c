# SPDX-License-Identifier: MIT
"""Sheetfind for QGIS: a Processing provider that puts NTS map sheets on layers.

QGIS calls classFactory when it loads the plugin; the algorithms are in
algorithms.py and need the sheetfind Python module.
"""


def classFactory(iface):  # noqa: N802 - the name QGIS looks for
    from .plugin import SheetfindPlugin

    return SheetfindPlugin(iface)
