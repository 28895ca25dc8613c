# SPDX-License-Identifier: MIT
"""annotate and grid_frame on GeoPandas frames, projected ones included."""
import pytest

gpd = pytest.importorskip("geopandas")
from shapely.geometry import LineString, Point, Polygon  # noqa: E402

import sheetfind  # noqa: E402

# Features well inside their cells, so that reprojection cannot move them across an
# edge, and the cells sheetfind gives in EPSG:4326.
FEATURES = {
    "point": (Point(-123.1, 49.3), "092G06"),
    "line": (LineString([(-123.95, 49.3), (-122.35, 49.62)]), "092G05,092G06,092G07,092G09,092G10"),
    "polygon": (Polygon([(-123.4, 49.3), (-122.6, 49.3), (-122.6, 49.4), (-123.4, 49.4)]),
                "092G06,092G07"),
    "outside the grid": (Point(-100.0, 30.0), ""),
    "empty": (None, ""),
}


def projected_frame():
    frame = gpd.GeoDataFrame(
        {"name": list(FEATURES)},
        geometry=[geometry for geometry, _ in FEATURES.values()],
        crs="EPSG:4326",
        index=[10, 20, 30, 40, 50],
    )
    return frame.to_crs("EPSG:3005")  # BC Albers, metres


def test_annotate_reprojects_and_joins_the_cells():
    frame = projected_frame()
    annotated = sheetfind.annotate(frame)
    assert annotated["nts_50k"].tolist() == [cells for _, cells in FEATURES.values()]
    assert annotated.index.tolist() == frame.index.tolist()
    assert annotated.crs == frame.crs and annotated.geometry.equals(frame.geometry)
    assert "nts_50k" not in frame.columns  # the caller's frame is left alone


def test_annotate_explode_gives_one_row_per_feature_and_cell():
    annotated = sheetfind.annotate(projected_frame(), scale="50k", column="sheet", explode=True)
    expected = [
        (index, cell)
        for index, (_, cells) in zip([10, 20, 30, 40, 50], FEATURES.values())
        for cell in (cells.split(",") if cells else [""])
    ]
    assert list(zip(annotated.index, annotated["sheet"])) == expected


@pytest.mark.parametrize("scale, column", [("250k", "nts_250k"), ("1:1000000", "nts_1m")])
def test_annotate_names_the_column_by_scale(scale, column):
    annotated = sheetfind.annotate(projected_frame(), scale=scale)
    assert annotated[column].tolist()[0] == sheetfind.locate(49.3, -123.1, scale)


def test_annotate_refuses_a_frame_without_crs():
    frame = gpd.GeoDataFrame(geometry=[Point(-123.1, 49.3)])
    with pytest.raises(ValueError, match="no CRS"):
        sheetfind.annotate(frame)


def test_grid_frame_cells_are_their_bounds_counter_clockwise():
    frame = sheetfind.grid_frame("50k", bbox=(49.0, -124.0, 50.0, -122.0))
    assert list(frame.columns) == ["reference", "scale", "south", "west", "north", "east", "geometry"]
    assert frame.crs.to_epsg() == 4326
    assert len(frame) == 16 and set(frame["scale"]) == {"50k"}
    for row in frame.itertuples():
        ring = row.geometry.exterior
        assert ring.is_ccw
        assert row.geometry.bounds == (row.west, row.south, row.east, row.north)
        # The centre of each cell is located back to it.
        centre = row.geometry.centroid
        assert sheetfind.locate(centre.y, centre.x) == row.reference


def _box(south, west, north, east):
    return [(west, south), (east, south), (east, north), (west, north), (west, south)]


# A map area (2° x 1°, 16 sheets) with one sheet cut out as a hole, and its parts.
GEOMETRIES = {
    "a sheet's own outline": (Polygon(_box(49.25, -123.5, 49.5, -123.0)), ["092G06"]),
    "a map area less one sheet": (
        Polygon(_box(49.0, -124.0, 50.0, -122.0), [_box(49.25, -123.5, 49.5, -123.0)]),
        sorted(set(sheetfind.grid("50k", bbox=(49.0, -124.0, 50.0, -122.0))) - {"092G06"}),
    ),
    "two sheets as a multipolygon": (
        "MULTIPOLYGON (((-123.5 49.25, -123 49.25, -123 49.5, -123.5 49.5, -123.5 49.25)),"
        " ((-122.5 49.75, -122 49.75, -122 50, -122.5 50, -122.5 49.75)))",
        ["092G06", "092G16"],
    ),
    "a point on a corner": ("POINT (-123 49.25)", [sheetfind.locate(49.25, -123.0)]),
    "a collection": (
        "GEOMETRYCOLLECTION (POINT (-123.1 49.3), LINESTRING (-123.1 49.3, -122.9 49.3))",
        ["092G06", "092G07"],
    ),
    "empty": ("LINESTRING EMPTY", []),
    # GeoJSON-like mappings, as __geo_interface__ gives them; heights are ignored.
    "a mapped point with a height": ({"type": "Point", "coordinates": [-123.1, 49.3, 800.0]},
                                     ["092G06"]),
    "a mapped multi-line": (
        {"type": "MultiLineString",
         "coordinates": [[[-123.1, 49.3], [-122.9, 49.3]], [[-122.1, 49.9], [-122.1, 49.95]]]},
        ["092G06", "092G07", "092G16"],
    ),
    "a mapped collection": (
        {"type": "GeometryCollection", "geometries": [
            {"type": "Polygon", "coordinates": [_box(49.25, -123.5, 49.5, -123.0)]},
            {"type": "Point", "coordinates": []}]},
        ["092G06"],
    ),
}


class _Feature:
    """Any object that shows its geometry through __geo_interface__, as GIS libraries do."""

    __geo_interface__ = {"type": "LineString", "coordinates": [(-123.1, 49.3), (-122.9, 49.3)]}


@pytest.mark.parametrize("geometry, expected", GEOMETRIES.values(), ids=GEOMETRIES.keys())
def test_cover_geometry(geometry, expected):
    assert sheetfind.cover_geometry(geometry) == expected


def test_cover_geometry_reads_geo_interface():
    assert sheetfind.cover_geometry(_Feature()) == ["092G06", "092G07"]


def test_cover_geometry_errors():
    with pytest.raises(TypeError, match="__geo_interface__"):
        sheetfind.cover_geometry(49.25)
    with pytest.raises(ValueError, match="cannot cover a Triangle"):
        sheetfind.cover_geometry({"type": "Triangle", "coordinates": [[[0, 0], [1, 0], [0, 1]]]})
    with pytest.raises(sheetfind.InputError, match="not WKT"):
        sheetfind.cover_geometry("LINESTRING (1")
    with pytest.raises(sheetfind.InputError, match="vertex 1"):
        sheetfind.cover_geometry(LineString([(-123.1, 49.3), (-123.1, 95.0)]))
    if not sheetfind._sheetfind.HAVE_GEODESIC:
        with pytest.raises(RuntimeError, match="sheetref_geodesic"):
            sheetfind.cover_geometry("LINESTRING (-123.1 49.3, -122 49.3)", geodesic=True)
