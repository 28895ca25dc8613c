# SPDX-License-Identifier: MIT
"""The Processing provider "Sheetfind" and its three algorithms."""
import os

from qgis.core import QgsProcessingProvider
from qgis.PyQt.QtGui import QIcon

from .algorithms import AddSheetField, Grid, SheetsCovering

_ICON = os.path.join(os.path.dirname(__file__), "icon.svg")


class SheetfindProvider(QgsProcessingProvider):
    def id(self):
        return "sheetfind"

    def name(self):
        return "Sheetfind"

    def longName(self):  # noqa: N802
        return "Sheetfind: sheets of Canada's National Topographic System"

    def icon(self):
        return QIcon(_ICON)

    def svgIconPath(self):  # noqa: N802
        return _ICON

    def loadAlgorithms(self):  # noqa: N802
        for algorithm in (AddSheetField(), SheetsCovering(), Grid()):
            self.addAlgorithm(algorithm)
