# SPDX-License-Identifier: MIT
"""What the tests of GIS clients against a running `sheetfind-cli serve` share: the
server, the boxes they read and the cover they must match."""

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
    # BC's PNG grid is NAD27's, drawn here some 80 m west of its degrees: the west and
    # east edges lie between a column's NAD27 meridian and where it is drawn, so an
    # unshifted box would take the column west of the cover and miss the one east.
    ("png_block", "png-block", -121.0005, 56.76, -120.5005, 56.99),
    ("png", "png", -120.5695, 56.9085, -120.563, 56.9122),
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
    # The box as a WGS 84 polygon: a PNG box is shifted into NAD27 as a layer's would be.
    box = (f"POLYGON(({west} {south}, {east} {south}, {east} {north}, {west} {north}, "
           f"{west} {south}))")
    where = ["--wkt", box] if scale.startswith("png") else [str(south), str(west), str(north),
                                                             str(east)]
    out = subprocess.run([CLI, "cover", "-s", scale, *where],
                         check=True, capture_output=True, text=True).stdout
    return sorted(line.split(",")[0].split()[0] for line in out.splitlines() if line.strip())
