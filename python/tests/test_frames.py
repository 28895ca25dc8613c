# SPDX-License-Identifier: MIT
"""annotate and grid_frame on GeoPandas frames, projected ones included."""
import json

import numpy as np
import pytest

gpd = pytest.importorskip("geopandas")
from shapely.geometry import LineString, Point, Polygon  # noqa: E402

import sheetfind  # noqa: E402
import pyproj  # noqa: E402
from shapely import wkt as shapely_wkt  # noqa: E402

from conftest import cli_message, run_cli  # noqa: E402

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


@pytest.mark.parametrize("scale", ["50k", "png"])
@pytest.mark.parametrize("crs", ["EPSG:4326", "EPSG:3005", "EPSG:26910"])
def test_points_take_the_array_path_and_answer_as_the_engine_does_by_wkb(crs, scale):
    # The points are read from GEOS, transformed as arrays where the CRS is not in
    # degrees, and located as arrays; each feature, through WKB alone, must agree.
    frame = gpd.GeoDataFrame(
        geometry=[Point(-123.1, 49.3), Point(-120.569, 56.912), Point(-73.6, 45.5),
                  LineString([(-123.9, 49.3), (-122.3, 49.6)])], crs="EPSG:4326").to_crs(crs)
    annotated = sheetfind.annotate(frame, scale=scale)
    expected = [sheetfind.field_value(cells) for cells in sheetfind.cover_geometries(
        list(frame.geometry.to_wkb()), scale=scale, crs=frame.crs)]
    assert annotated[sheetfind.column_name(scale)].tolist() == expected


def test_point_coordinates_trusts_only_shapely_points():
    class Pretender(Point):
        """A subclass whose GEOS pointer is any number it likes."""
        _geom = property(lambda self: 12345, lambda self, value: None)

    pretender = Pretender(1, 2)
    items = [Point(-123.1, 49.3), Point(), LineString([(0, 0), (1, 1)]), None, "x",
             Point(float("nan"), 49.0), pretender]
    values = np.empty(len(items), dtype=object)
    for position, item in enumerate(items):
        values[position] = item
    points, ys, xs = sheetfind._gis().point_coordinates(values, Point)
    assert points.tolist() == [True, False, False, False, False, True, False]
    assert (ys[0], xs[0]) == (49.3, -123.1) and np.isnan(xs[1:5]).all()


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


# Inside a 1:2 500 cell, away from every BCGS edge, and in the NTS grid outside BC.
BCGS_FRAME_POINTS = [Point(-123.13, 49.27), Point(-73.6, 45.5)]


@pytest.mark.parametrize("scale, column", [("20k", "bcgs_20k"), ("10k", "bcgs_10k"),
                                           ("5k", "bcgs_5k"), ("1:2500", "bcgs_2500")])
@pytest.mark.parametrize("crs", ["EPSG:4326", "EPSG:3005"], ids=["array loop", "engine"])
def test_annotate_at_a_bcgs_scale(scale, column, crs):
    frame = gpd.GeoDataFrame(geometry=BCGS_FRAME_POINTS, crs="EPSG:4326").to_crs(crs)
    annotated = sheetfind.annotate(frame, scale=scale)
    assert annotated[column].tolist() == [sheetfind.locate(49.27, -123.13, scale), ""]


REFUSED_FRAMES = {
    "no CRS": (lambda: gpd.GeoDataFrame(geometry=[Point(-123.1, 49.3)]), ValueError, "no CRS"),
    "not a GeoDataFrame": (lambda: gpd.pd.DataFrame({"lat": [49.3], "lon": [-123.1]}), TypeError,
                           "needs a geopandas GeoDataFrame, not DataFrame"),
}


@pytest.mark.parametrize("frame, error, message", REFUSED_FRAMES.values(), ids=REFUSED_FRAMES.keys())
def test_annotate_refuses_a_frame_it_cannot_place(frame, error, message):
    with pytest.raises(error, match=message):
        sheetfind.annotate(frame())


# Points in NAD27 2" east and 2" west of the edge between two PNG units, nearer than
# the 4.8" NAD83 lies west of NAD27 there, and Calgary, where the grid has no cell. A
# frame's CRS gives their datum, whether the array loop or the GIS library places them.
PNG_FRAME_POINTS = [Point(-120.5625 + 2 / 3600, 56.9 + 7.5 / 3600),
                    Point(-121.3 - 2 / 3600, 57.6 + 7.5 / 3600), Point(-114.07, 51.05)]


@pytest.mark.filterwarnings("ignore::sheetfind.DatumShiftWarning")
@pytest.mark.parametrize("crs", ["EPSG:4267", "EPSG:4326", "EPSG:4269", "EPSG:3005",
                                 "EPSG:26910"])
def test_annotate_at_a_png_scale_takes_the_datum_of_the_frame(cli, crs):
    nad27 = gpd.GeoDataFrame(geometry=PNG_FRAME_POINTS, crs="EPSG:4267")
    text = "".join(f"{point.y} {point.x}\n" for point in PNG_FRAME_POINTS)
    expected, _, status = run_cli(cli, "locate", "-s", "png", "--datum", "NAD27", stdin=text)
    assert status == 0 and expected[2] == ""
    annotated = sheetfind.annotate(nad27.to_crs(crs), scale="png")
    assert annotated["png"].tolist() == expected


@pytest.mark.parametrize("column", ["nts_50k", "geometry"])
def test_annotate_never_replaces_a_column(column):
    frame = gpd.GeoDataFrame({"nts_50k": ["kept"]}, geometry=[Point(-123.1, 49.3)], crs=4326)
    with pytest.raises(sheetfind.InputError, match=f"already has a column '{column}'"):
        sheetfind.annotate(frame, column=None if column == "nts_50k" else column)


@pytest.mark.parametrize("crs", ["EPSG:4326", "EPSG:4269"], ids=["array loop", "engine"])
def test_annotate_reports_a_point_out_of_range_by_its_row(cli, crs):
    frame = gpd.GeoDataFrame(geometry=[Point(-123.1, 49.3), Point(-123.1, 91.0)], index=[7, 8],
                             crs=crs)
    expected = cli_message(cli, "cover", "--wkt", "POINT (-123.1 91)")
    with pytest.raises(sheetfind.InputError) as raised:
        sheetfind.annotate(frame)
    assert str(raised.value) == f"row 8: {expected}" and raised.value.index == 8
    with pytest.warns(UserWarning, match="row 8"):
        annotated = sheetfind.annotate(frame, errors="empty")
    assert annotated["nts_50k"].tolist() == ["092G06", ""]


# (scale, bbox, cells): a map area; a 1:20 000 cell's bounds, quartered twice at 1:5 000.
GRID_FRAMES = [
    ("250k", ("49", "-124", "50", "-122"), 1),
    ("5k", ("49.2", "-123.2", "49.3", "-123.0"), 16),
    ("png-block", ("56.85", "-120.6", "56.95", "-120.52"), 2),
]


@pytest.mark.parametrize("scale, bbox, cells", GRID_FRAMES, ids=[row[0] for row in GRID_FRAMES])
def test_grid_frame_is_the_cli_layer_of_cells(cli, scale, bbox, cells):
    frame = sheetfind.grid_frame(scale, bbox=tuple(map(float, bbox)))
    lines, _, status = run_cli(cli, "grid", "-s", scale, "--bbox", *bbox, "-f", "geojson")
    assert status == 0
    features = json.loads("\n".join(lines))["features"]
    assert len(frame) == len(features) == cells
    assert list(frame.columns) == [*features[0]["properties"], "geometry"]
    kinds = {str: "text", float: "real", int: "real"}
    assert [field.kind for field in sheetfind.cell_fields()] == [
        kinds[type(value)] for value in features[0]["properties"].values()]
    # PNG cells are drawn on NAD27; GeoJSON holds WGS 84, into which the CLI transforms.
    assert frame.crs == sheetfind.cell_crs(scale)
    frame = frame.to_crs(4326)
    for row, feature in zip(frame.itertuples(index=False), features, strict=True):
        assert row[:-1] == tuple(feature["properties"].values())
        assert row.geometry.exterior.is_ccw
        # The CLI writes 7 decimals.
        np.testing.assert_allclose(row.geometry.exterior.coords,
                                   feature["geometry"]["coordinates"][0], rtol=0, atol=1e-7)


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


def test_cover_geometry_refuses_what_is_not_a_geometry():
    with pytest.raises(TypeError, match="__geo_interface__"):
        sheetfind.cover_geometry(49.25)
    for geometry, reason in [({"type": "Triangle", "coordinates": []}, "GeoJSON"),
                             ({"type": "Point"}, "coordinates"),
                             (b"\x01\x02", "not WKB")]:
        with pytest.raises(sheetfind.InputError, match=reason):
            sheetfind.cover_geometry(geometry)


def test_cover_geometries_covers_each_as_cover_geometry_does():
    wkt = [geometry for geometry, _ in GEOMETRIES.values() if isinstance(geometry, str)]
    wkb = [shapely_wkt.loads(text).wkb for text in wkt]
    expected = [sheetfind.cover_geometry(text) for text in wkt]
    assert sheetfind.cover_geometries([None, *wkb, None]) == [[], *expected, []]


def test_cover_geometries_names_the_geometry_that_fails(cli):
    good, bad = Point(-123.1, 49.3).wkb, Point(-123.1, 91.0).wkb
    expected = cli_message(cli, "cover", "--wkt", "POINT (-123.1 91)")
    with pytest.raises(sheetfind.InputError) as raised:
        sheetfind.cover_geometries([good, None, bad])
    assert (str(raised.value), raised.value.index, raised.value.reason) == (
        f"geometry 2: {expected}", 2, expected)
    with pytest.warns(UserWarning, match="geometry 2: "):
        assert sheetfind.cover_geometries([good, None, bad], errors="empty") == [
            ["092G06"], [], []]


# Geometries that sheetfind-cli cover --wkt answers or refuses: the module gives the
# same cells or the same message, whichever form the geometry comes in.
AS_THE_CLI = {
    "a point out of range": ("POINT (-123.1 91)", {}),
    "a line out of range": ("LINESTRING (-123.1 49.3, -123.1 95)", {}),
    "not WKT": ("LINESTRING (1", {}),
    "a geodesic line": ("LINESTRING (-130 55, -110 55)", {"geodesic": True}),
    "a geodesic polygon": ("POLYGON ((-130 55, -110 55, -110 56, -130 56, -130 55))",
                           {"geodesic": True}),
}


@pytest.mark.parametrize("wkt, options", AS_THE_CLI.values(), ids=AS_THE_CLI.keys())
def test_cover_geometry_answers_as_the_cli(cli, wkt, options):
    args = ["cover", "--wkt", wkt, *(["--geodesic"] if options else [])]
    lines, errors, status = run_cli(cli, *args)
    if status == 0:
        assert sheetfind.cover_geometry(wkt, **options) == lines
        assert sheetfind.cover_geometry(shapely_wkt.loads(wkt), **options) == lines
        assert sheetfind.cover_geometry(shapely_wkt.loads(wkt).wkb, **options) == lines
    else:
        with pytest.raises(sheetfind.InputError) as raised:
            sheetfind.cover_geometry(wkt, **options)
        assert str(raised.value) == cli_message(cli, *args)


def test_a_line_straight_in_bc_albers_is_followed_as_the_cli_follows_it(cli, tmp_path):
    # 800 km east-west in EPSG:3005: in degrees it bows north by tens of kilometres,
    # through other sheets than the chord between its ends.
    line = LineString([(1000000, 1000000), (1800000, 1000000)])
    layer = tmp_path / "line.gpkg"
    gpd.GeoDataFrame(geometry=[line], crs="EPSG:3005").to_file(layer)
    lines, _, status = run_cli(cli, "cover", str(layer))
    assert status == 0
    chord = gpd.GeoSeries([line], crs="EPSG:3005").to_crs(4326).iloc[0]
    assert sheetfind.cover_geometry(chord) != lines
    for crs in ("EPSG:3005", pyproj.CRS(3005)):
        assert sheetfind.cover_geometry(line, crs=crs) == lines
    frame = gpd.GeoDataFrame(geometry=[line], crs="EPSG:3005")
    assert sheetfind.annotate(frame)["nts_50k"].tolist() == [",".join(lines)]


def test_cover_layer_reads_a_layer_file_as_annotate_covers_its_frame(tmp_path):
    frame = projected_frame()
    path = tmp_path / "features.gpkg"
    frame.to_file(path, layer="features", driver="GPKG")
    expected = sheetfind.annotate(frame)["nts_50k"].tolist()
    for crs in (None, "EPSG:3005"):
        found = sheetfind.cover_layer(path, "features", crs=crs)
        assert [sheetfind.field_value(cells) for cells in found.cells] == expected
        assert (found.ids.tolist(), found.geometry_types, found.failures) == (
            [1, 2, 3, 4, 5], [1, 2, 3], [])
    # A CRS given replaces the layer's own: its metres read as degrees are out of range.
    wrong = sheetfind.cover_layer(path, crs="EPSG:4326")
    assert [feature for feature, _ in wrong.failures] == [1, 2, 3, 4]
    assert "out of range" in wrong.failures[0][1] and wrong.cells == [[]] * 5
    with pytest.raises(sheetfind.InputError, match="no layer 'roads'; the layers are features"):
        sheetfind.cover_layer(path, "roads")
