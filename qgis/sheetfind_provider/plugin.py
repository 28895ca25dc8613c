# SPDX-License-Identifier: MIT
"""The plugin object QGIS loads: it only registers the Processing provider."""
from qgis.core import QgsApplication

from .provider import SheetfindProvider


class SheetfindPlugin:
    def __init__(self, iface):
        self.iface = iface
        self.provider = None

    def initProcessing(self):  # noqa: N802 - QGIS calls it so, also without a GUI
        self.provider = SheetfindProvider()
        QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):  # noqa: N802
        self.initProcessing()

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
