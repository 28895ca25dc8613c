#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The QGIS algorithm "Add NTS sheet field" on a GeoPackage of random points in BC,
against what a QGIS user would do by hand: QGIS's own "Join attributes by location"
against sheetfind-cli's 1:50 000 grid layer, written to a GeoPackage and to a memory
layer. Runs taken in turns; medians.

    bench/qgis_report.py CLI [POINTS, default 200000] [RUNS, default 5]

Needs python3-qgis, and the sheetfind module on PYTHONPATH.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "qgis"))
sys.path.insert(0, "/usr/share/qgis/python/plugins")

import numpy as np  # noqa: E402
from qgis.core import QgsApplication, QgsVectorLayer  # noqa: E402

cli = os.path.abspath(sys.argv[1])
count = int(sys.argv[2]) if len(sys.argv) > 2 else 200_000
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
work = tempfile.mkdtemp()
random = np.random.default_rng(28)
with open(os.path.join(work, "points.csv"), "w") as table:
    table.write("id,lat,lon\n")
    for i, (lat, lon) in enumerate(zip(random.uniform(49, 60, count), random.uniform(-139, -114, count))):
        table.write(f"{i},{lat:.6f},{lon:.6f}\n")
subprocess.run(["ogr2ogr", "-f", "GPKG", "points.gpkg", "points.csv", "-oo", "X_POSSIBLE_NAMES=lon",
                "-oo", "Y_POSSIBLE_NAMES=lat", "-a_srs", "EPSG:4326", "-nln", "points"],
               cwd=work, check=True)
subprocess.run([cli, "grid", "-s", "50k", "--bbox", "48", "-140", "61", "-113", "-o", "grid.gpkg"],
               cwd=work, check=True)

application = QgsApplication([], False)
application.initQgis()
from processing.core.Processing import Processing  # noqa: E402

Processing.initialize()
import processing  # noqa: E402
import sheetfind_provider  # noqa: E402

plugin = sheetfind_provider.classFactory(None)  # kept: its provider lives as long
plugin.initProcessing()
points = QgsVectorLayer(os.path.join(work, "points.gpkg"), "points", "ogr")
grid = QgsVectorLayer(os.path.join(work, "grid.gpkg"), "grid", "ogr")
# To a GeoPackage, as a user saves the result, and to a memory layer, which leaves out
# what both pay for writing a GeoPackage (its R-tree index alone is most of a join's time).
outputs = {"a GeoPackage": lambda name: os.path.join(work, f"{name}.gpkg"),
           "a memory layer": lambda name: "memory:"}
times = {(output, algorithm): [] for output in outputs for algorithm in ("ours", "join")}
for run in range(runs):
    for output, destination in outputs.items():
        start = time.perf_counter()
        processing.run("sheetfind:addntssheetfield", {
            "INPUT": points, "SCALE": 0, "EXPLODE": False,
            "OUTPUT": destination(f"ours{run}")})
        times[output, "ours"].append(time.perf_counter() - start)
        start = time.perf_counter()
        processing.run("native:joinattributesbylocation", {
            "INPUT": points, "JOIN": grid, "PREDICATE": [0], "JOIN_FIELDS": ["reference"],
            "METHOD": 1, "OUTPUT": destination(f"join{run}")})
        times[output, "join"].append(time.perf_counter() - start)
for output in outputs:
    mine, join = (statistics.median(times[output, name]) for name in ("ours", "join"))
    print(f"QGIS, {count} points to {output}: Add NTS sheet field {mine:.2f} s  "
          f"Join attributes by location {join:.2f} s  speed ratio {join / mine:.2f}x (goal >= 2)")
subprocess.run(["rm", "-rf", work], check=True)
