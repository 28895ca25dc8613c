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
