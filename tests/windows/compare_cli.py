#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""sheetfind-cli.exe under Wine against the Linux sheetfind-cli, on the same inputs.

    compare_cli.py WINDOWS_CLI LINUX_CLI [--sweep N] [--seed S]

Each case runs both programs in a scratch folder holding a copy of examples/, and
compares their standard output byte for byte, their exit status, and their
standard error, where only the advice on installing Canada's grid may differ (it
names where each platform keeps PROJ's grids). Files written with -o are compared
byte for byte, or feature by feature, read back with GDAL, where a format stamps
its own file (GeoPackage, shapefile, FlatGeobuf) or GDAL writes it differently on
Windows (GML's line ends). The sweep locates N random points
(a fixed, printed seed) at every scale with each datum.

Prints one line per case and exits with 1 if any differed.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
SCALES = ["1m", "250k", "50k", "20k", "10k", "5k", "2500", "png-block", "png-unit", "png"]
DATUMS = ["NAD83", "WGS84", "NAD27"]
GRID_ADVICE = re.compile(r"For centimetres install Canada's grid [^\n]*")

# (name, arguments, standard input, LANG)
CASES = [
    ("bare point", ["49.25", "-123.1"], "", "C.UTF-8"),
    ("bare lines", [], "49.25,-123.1\r\n85,0\r\n\r\n# a note\r\nabc,1\r\n", "C.UTF-8"),
    ("locate at 1:2 500", ["locate", "-s", "2500", "49.25", "-123.1"], "", "C.UTF-8"),
    ("locate in every notation", ["locate"],
     "49.25 -123.1\n49°15′N 123°6′W\n10U 491213 5458885\n10UDV9121358885\nxyz\n", "C.UTF-8"),
    ("locate a GPS point on the PNG grid", ["locate", "-s", "png", "56.9", "-120.5"], "",
     "C.UTF-8"),
    ("locate flagged", ["locate", "-s", "png", "--datum", "WGS84", "--flag-uncertain"],
     "56.9125 -120.5656\n56.95 -120.6\n", "C.UTF-8"),
    ("locate in NAD27", ["locate", "-s", "png", "--datum", "NAD27", "56.91", "-120.565"], "",
     "C.UTF-8"),
    ("bounds", ["bounds", "092G06", "092G025322", "082O010", "d-096-H/094-A-15"], "", "C.UTF-8"),
    ("bounds read", ["bounds"], "092G06\r\nXYZ\r\n", "C.UTF-8"),
    ("neighbours", ["neighbours", "092G"], "", "C.UTF-8"),
    ("neighbours on the PNG grid", ["neighbours", "H/094-A-15"], "", "C.UTF-8"),
    ("cover a box", ["cover", "49.2", "-123.2", "49.3", "-123.0"], "", "C.UTF-8"),
    ("cover a box in NAD27", ["cover", "-s", "png-block", "--datum", "NAD27",
                              "56.9", "-120.6", "57", "-120.4"], "", "C.UTF-8"),
    ("cover a route", ["cover", "examples/data/route.geojson"], "", "C.UTF-8"),
    ("cover an area at 1:20 000", ["cover", "-s", "20k", "examples/data/area.geojson"], "",
     "C.UTF-8"),
    ("cover WKT", ["cover", "--wkt", "LINESTRING(-123.2 49.2, -122.6 49.4)"], "", "C.UTF-8"),
    ("cover as GeoJSON", ["cover", "-f", "geojson", "examples/data/route.geojson"], "",
     "C.UTF-8"),
    ("locate as GeoJSON", ["locate", "-f", "geojson", "49.25", "-123.1"], "", "C.UTF-8"),
    ("grid of a box", ["grid", "-s", "250k", "--bbox", "48", "-124", "50", "-122"], "",
     "C.UTF-8"),
    ("grid of PNG blocks as GeoJSON", ["grid", "-s", "png-block", "-f", "geojson", "--bbox",
                                       "56.9", "-120.6", "57", "-120.5"], "", "C.UTF-8"),
    ("annotate the example table", ["annotate", "examples/data/points.csv"], "", "C.UTF-8"),
    ("annotate at 1:250 000", ["annotate", "-s", "250k", "examples/data/points.csv"], "",
     "C.UTF-8"),
    ("annotate on the PNG grid", ["annotate", "-s", "png", "--flag-uncertain",
                                  "examples/data/points.csv"], "", "C.UTF-8"),
    ("annotate a French table", ["annotate"],
     "\ufeffnom;lat;lon\r\nVancouver;49,25;-123,1\r\nFort St. John;56,2524;-120,8466",
     "fr_CA.UTF-8"),
    ("a French number", ["49,25", "-123,1"], "", "fr_CA.UTF-8"),
    ("a German number", ["49.25", "-123.1"], "", "de_DE.UTF-8"),
    ("a bad reference", ["bounds", "XYZ"], "", "C.UTF-8"),
    ("a misspelt subcommand", ["frobnicate"], "", "C.UTF-8"),
    ("an unknown scale", ["locate", "-s", "7k", "49", "-123"], "", "C.UTF-8"),
    ("a layer that is not there", ["cover", "nowhere.gpkg"], "", "C.UTF-8"),
]

# (name, arguments before -o, the output's name, read back with GDAL)
FILES = [
    ("a table", ["annotate", "examples/data/points.csv"], "points-nts.csv", False),
    ("cells as GeoPackage", ["cover", "examples/data/area.geojson"], "cells.gpkg", True),
    ("cells as a shapefile", ["cover", "examples/data/area.geojson"], "cells.shp", True),
    ("cells as FlatGeobuf", ["cover", "examples/data/area.geojson"], "cells.fgb", True),
    ("cells as GeoJSON", ["cover", "examples/data/area.geojson"], "cells.geojson", False),
    ("cells as KML", ["cover", "examples/data/area.geojson"], "cells.kml", False),
    ("cells as CSV", ["cover", "examples/data/area.geojson"], "cells.csv", False),
    # GDAL's GML writer ends its lines with CRLF on Windows, whatever it is asked.
    ("cells as GML", ["cover", "examples/data/area.geojson"], "cells.gml", True),
    ("cells as GeoJSONSeq", ["cover", "--of", "GeoJSONSeq", "examples/data/area.geojson"],
     "cells.geojsonl", False),
    ("a GPS track's points annotated as GPX", ["annotate", "-l", "track_points",
                                              "examples/data/track.gpx"], "track-nts.gpx", False),
    ("a GPS track covered, as KML", ["cover", "-s", "20k", "examples/data/track.gpx"],
     "track.kml", False),
    ("PNG units as GeoPackage", ["cover", "-s", "png-unit", "--datum", "NAD27",
                                 "56.9", "-120.6", "56.95", "-120.5"], "units.gpkg", True),
    ("a route annotated as GeoPackage", ["annotate", "examples/data/route.geojson"],
     "route-nts.gpkg", True),
    ("an area annotated as GeoJSON", ["annotate", "-s", "250k", "examples/data/area.geojson"],
     "area-nts.geojson", False),
]


def scratch():
    folder = tempfile.mkdtemp(prefix="sheetfind-windows-")
    shutil.copytree(os.path.join(ROOT, "examples"), os.path.join(folder, "examples"))
    return folder


def run(command, args, stdin, lang, cwd):
    env = dict(os.environ, LANG=lang, LC_ALL=lang)
    done = subprocess.run(command + args, input=stdin.encode(), cwd=cwd, env=env,
                          capture_output=True, timeout=300)
    return done.stdout, done.stderr.decode(errors="replace"), done.returncode


def features(path):
    """A layer's features as text: each field and the geometry as WKT, in order."""
    from osgeo import ogr
    source = ogr.Open(path)
    if source is None:
        return f"GDAL cannot open {path}"
    lines = []
    for layer in source:
        lines.append(f"layer {layer.GetName()} {layer.GetGeomType()} "
                     f"{layer.GetSpatialRef().ExportToProj4() if layer.GetSpatialRef() else ''}")
        for feature in layer:
            geometry = feature.GetGeometryRef()
            lines.append(repr(feature.items()) + " " + (geometry.ExportToWkt() if geometry else ""))
    return "\n".join(lines)


class Comparison:
    def __init__(self, windows, linux):
        self.windows = windows
        self.linux = linux
        self.failures = 0

    def report(self, name, differences):
        if differences:
            self.failures += 1
            print(f"FAIL {name}: " + "; ".join(differences))
        else:
            print(f"ok   {name}")

    def compare(self, name, args, stdin="", lang="C.UTF-8"):
        """Runs both; the differences in their output, error and status."""
        folders = scratch(), scratch()
        try:
            (out_w, err_w, status_w), (out_l, err_l, status_l) = (
                run(command, args, stdin, lang, folder)
                for command, folder in zip((self.windows, self.linux), folders))
            differences = []
            if out_w != out_l:
                differences.append(f"standard output {out_w[:300]!r} against {out_l[:300]!r}")
            if status_w != status_l:
                differences.append(f"status {status_w} against {status_l}")
            if GRID_ADVICE.sub("", err_w) != GRID_ADVICE.sub("", err_l):
                differences.append(f"standard error {err_w[:300]!r} against {err_l[:300]!r}")
            return differences, folders
        except subprocess.TimeoutExpired as timeout:
            return [f"timed out: {timeout}"], folders

    def case(self, name, args, stdin, lang):
        differences, folders = self.compare(name, args, stdin, lang)
        for folder in folders:
            shutil.rmtree(folder, ignore_errors=True)
        self.report(name, differences)

    def file(self, name, args, output, by_features):
        differences, folders = self.compare(name, args + ["-o", output])
        paths = [os.path.join(folder, output) for folder in folders]
        if not differences:
            if not all(os.path.exists(path) for path in paths):
                differences.append("written by " + " and ".join(
                    side for side, path in zip(("Windows", "Linux"), paths) if os.path.exists(path)))
            elif by_features:
                if features(paths[0]) != features(paths[1]):
                    differences.append(f"features {features(paths[0])[:400]!r} against "
                                       f"{features(paths[1])[:400]!r}")
            elif open(paths[0], "rb").read() != open(paths[1], "rb").read():
                differences.append("the files' bytes differ")
        for folder in folders:
            shutil.rmtree(folder, ignore_errors=True)
        self.report(f"{name} (-o {output})", differences)

    def sweep(self, count, seed):
        """Random points over the whole grid and over British Columbia, where BCGS and
        the PNG grid are, at every scale and with each datum."""
        rng = random.Random(seed)
        points = []
        for i in range(count):
            if i % 2:
                lat, lon = rng.uniform(48.2, 60.2), rng.uniform(-139.5, -114.0)
            else:
                lat, lon = rng.uniform(39.5, 88.5), rng.uniform(-144.5, -47.5)
            points.append(f"{lat:.6f} {lon:.6f}\n")
        stdin = "".join(points)
        for scale in SCALES:
            for datum in DATUMS:
                self.case(f"{count} random points (seed {seed}) at {scale} in {datum}",
                          ["locate", "-s", scale, "--datum", datum, "--flag-uncertain"], stdin,
                          "C.UTF-8")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("windows_cli")
    parser.add_argument("linux_cli")
    parser.add_argument("--sweep", type=int, default=1000)
    parser.add_argument("--seed", type=int, default=20261210)
    options = parser.parse_args()
    comparison = Comparison(["wine", os.path.abspath(options.windows_cli)],
                            [os.path.abspath(options.linux_cli)])
    for name, args, stdin, lang in CASES:
        comparison.case(name, args, stdin, lang)
    for name, args, output, by_features in FILES:
        comparison.file(name, args, output, by_features)
    comparison.sweep(options.sweep, options.seed)
    if comparison.failures:
        print(f"compare_cli.py: {comparison.failures} cases differed", file=sys.stderr)
        return 1
    print("compare_cli.py: sheetfind-cli.exe answered every case as sheetfind-cli does")
    return 0


if __name__ == "__main__":
    sys.exit(main())
