# SPDX-License-Identifier: MIT
"""GDAL's OAPIF driver reads every collection from a running `sheetfind-cli serve`:
the references it reads for a small box at each scale are those `sheetfind-cli
cover` gives for the same box (conftest.py has the server, the boxes and the cover).

Run with /usr/bin/python3 (Debian's GDAL bindings), SHEETFIND_CLI set to the
program: SHEETFIND_CLI=build/dev/src/cli/sheetfind-cli /usr/bin/python3 -m pytest ..."""

import pytest

from conftest import BOXES, cover


@pytest.mark.parametrize("collection,scale,west,south,east,north", BOXES)
def test_gdal_reads_the_cover(server, collection, scale, west, south, east, north):
    from osgeo import gdal, ogr
    gdal.UseExceptions()
    dataset = gdal.OpenEx(f"OAPIF:{server}", gdal.OF_VECTOR)
    layer = dataset.GetLayerByName(collection)
    assert layer is not None, [dataset.GetLayer(i).GetName() for i in range(dataset.GetLayerCount())]
    layer.SetSpatialFilterRect(west, south, east, north)
    read = []
    for feature in layer:
        assert feature.GetGeometryRef().GetGeometryType() in (ogr.wkbPolygon, ogr.wkbPolygon25D)
        read.append(feature.GetField("reference"))
    assert sorted(read) == cover(scale, west, south, east, north)
