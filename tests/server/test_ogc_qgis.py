# SPDX-License-Identifier: MIT
"""QGIS's OAPIF provider (Add WFS / OGC API - Features Layer) reads every collection
from a running `sheetfind-cli serve`: the references it reads for a box at each scale
are those `sheetfind-cli cover` gives for the same box.

Run with /usr/bin/python3 (Debian's python3-qgis) without a display, SHEETFIND_CLI
set to the program."""

import os

import pytest

from conftest import BOXES, cover

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")


@pytest.fixture(scope="module")
def qgis():
    from qgis.core import QgsApplication

    application = QgsApplication([], False)
    application.initQgis()
    yield
    application.exitQgis()


@pytest.mark.parametrize("collection,scale,west,south,east,north", BOXES)
def test_qgis_reads_the_cover(qgis, server, collection, scale, west, south, east, north):
    from qgis.core import QgsFeatureRequest, QgsRectangle, QgsVectorLayer, QgsWkbTypes

    # Only the features of the view's box, as the README has users tick: BC's 8 962 400
    # PNG quarter units are never read whole.
    layer = QgsVectorLayer(f"url='{server}' typename='{collection}' restrictToRequestBBOX='1'",
                           collection, "OAPIF")
    assert layer.isValid()
    assert layer.geometryType() == QgsWkbTypes.PolygonGeometry
    request = QgsFeatureRequest().setFilterRect(QgsRectangle(west, south, east, north))
    read = sorted(feature["reference"] for feature in layer.getFeatures(request))
    assert read == cover(scale, west, south, east, north)
