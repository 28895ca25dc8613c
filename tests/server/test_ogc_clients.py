# SPDX-License-Identifier: MIT
"""GDAL's OAPIF driver reads every collection from a running `sheetfind-cli serve`:
the references it reads for a small box at each scale are those `sheetfind-cli
cover` gives for the same box.

Run with /usr/bin/python3 (Debian's GDAL bindings), SHEETFIND_CLI set to the
program: SHEETFIND_CLI=build/dev/src/cli/sheetfind-cli /usr/bin/python3 -m pytest ..."""

import os
import re
import signal
import subprocess

import pytest

CLI = os.environ.get("SHEETFIND_CLI", "sheetfind-cli")

# (collection, scale, west, south, east, north): boxes that straddle cell edges, and
# at the coarsest scale one wider than the default page of a client.
BOXES = [
    ("nts_1m", "1m", -130.0, 47.0, -100.0, 62.0),
    ("nts_250k", "250k", -124.3, 48.6, -121.5, 50.2),
    ("nts_50k", "50k", -123.6, 49.1, -122.4, 49.6),
]


@pytest.fixture(scope="module")
def server():
    process = subprocess.Popen([CLI, "serve", "--port", "0"], stdout=subprocess.PIPE, text=True)
    try:
        line = process.stdout.readline()
        match = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
        assert match, f"no URL in {line!r}"
        yield f"http://127.0.0.1:{match.group(1)}"
    finally:
        process.send_signal(signal.SIGTERM)
        assert process.wait(timeout=10) == 0


def cover(scale, west, south, east, north):
    out = subprocess.run([CLI, "cover", "-s", scale, str(south), str(west), str(north), str(east)],
                         check=True, capture_output=True, text=True).stdout
    return sorted(line.split(",")[0].split()[0] for line in out.splitlines() if line.strip())


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
