# SPDX-License-Identifier: MIT
"""bounds, parse, neighbours, cover, grid and the cells' layer fields against sheetfind-cli,
and every error path."""
import json

import numpy as np
import pytest

import sheetfind
from conftest import cli_message, run_cli

REFERENCES = ["092G06", "92g6", "92 G/6", "082O", "92", "340 D15", "121A", "027H16", "092G025",
              "092G025322"]


@pytest.mark.parametrize("text", REFERENCES)
def test_bounds_and_parse_agree_with_the_cli(cli, text):
    lines, _, status = run_cli(cli, "bounds", text)
    assert status == 0
    canonical, *edges = lines[0].split("\t")
    assert sheetfind.parse(text) == canonical
    assert sheetfind.bounds(text) == tuple(float(edge) for edge in edges)


@pytest.mark.parametrize("text", ["092G06", "068A01", "027H16", "340D15", "092", "092G0253",
                                  "092B091"])
def test_neighbours_agree_with_the_cli(cli, text):
    assert sheetfind.neighbours(text) == run_cli(cli, "neighbours", text)[0]


BOXES = {
    "a sheet's bounds": ((49.25, -123.5, 49.5, -123.0), "50k"),
    "across 68 N": ((67.5, -124.0, 68.5, -122.0), "50k"),
    "across 80 N": ((79.0, -100.0, 81.0, -90.0), "250k"),
    "a point": ((49.25, -123.0, 49.25, -123.0), "50k"),
    "beyond the grid": ((-90.0, -180.0, 90.0, 180.0), "1m"),
    "a 1:20 000 cell's bounds": ((49.2, -123.2, 49.3, -123.0), "20k"),
    "across four map areas at 1:2 500": ((48.99, -124.03, 49.01, -123.97), "2500"),
    "out of BC at 1:10 000": ((45.0, -74.0, 45.2, -73.8), "10k"),
}


@pytest.mark.parametrize("box, scale", BOXES.values(), ids=BOXES.keys())
def test_cover_agrees_with_the_cli(cli, box, scale):
    expected = run_cli(cli, "cover", "--scale", scale, *map(repr, box))[0]
    assert sheetfind.cover(*box, scale=scale) == expected


@pytest.mark.parametrize("box, scale", [row for row in BOXES.values() if row[0][0] < row[0][2]],
                         ids=[name for name, row in BOXES.items() if row[0][0] < row[0][2]])
def test_a_box_drawn_as_a_polygon_covers_what_the_box_covers(box, scale):
    # So that an extent in EPSG:4326 handed over as its rectangle keeps the box's rule:
    # an edge on a cell's edge does not reach the next cell.
    south, west, north, east = box
    ring = f"{west} {south}, {east} {south}, {east} {north}, {west} {north}, {west} {south}"
    polygon = f"POLYGON (({ring}))"
    assert sheetfind.cover_geometry(polygon, scale) == sheetfind.cover(*box, scale=scale)


def test_grid_is_the_cover_of_its_box():
    assert len(sheetfind.grid("1m")) == len(set(sheetfind.grid("1m")))
    assert sheetfind.grid("250k", bbox=(49.0, -124.0, 50.0, -122.0)) == ["092G"]
    assert set(sheetfind.grid("250k", bbox=(49.0, -124.0, 50.0, -122.0))) <= set(
        sheetfind.grid("250k")
    )


@pytest.mark.parametrize("scale", ["50k", "250k", "1:1000000", "20k", "1:2500"])
def test_cells_are_drawn_and_named_as_the_cli_writes_them(cli, scale):
    lines, _, status = run_cli(cli, "locate", "--scale", scale, "-f", "geojson", "49.25 -123.1")
    assert status == 0
    (feature,) = json.loads("\n".join(lines))["features"]
    reference = feature["properties"]["reference"]
    assert feature["properties"]["scale"] == sheetfind.scale_name(scale)
    ring = feature["geometry"]["coordinates"][0]
    # GeoJSON rounds the coordinates to its precision.
    np.testing.assert_allclose(sheetfind.cell_ring(reference), ring, rtol=0, atol=1e-7)

    header, _, _ = run_cli(cli, "annotate", "--scale", scale, stdin="lat,lon\n49.25,-123.1\n")
    assert header[0].split(",")[-1] == sheetfind.column_name(scale)


def test_cell_ring_cuts_each_edge_into_equal_steps():
    ring = sheetfind.cell_ring("092G06", 2)
    assert ring == [(-123.5, 49.25), (-123.25, 49.25), (-123.0, 49.25), (-123.0, 49.375),
                    (-123.0, 49.5), (-123.25, 49.5), (-123.5, 49.5), (-123.5, 49.375),
                    (-123.5, 49.25)]
    for points in (0, 65537):
        with pytest.raises(sheetfind.InputError, match="points per edge"):
            sheetfind.cell_ring("092G06", points)


# Each bad input, and the sheetfind-cli invocation that reads the same input.
REFERENCE_ERRORS = ["99Z", "", "911", "092Q", "092G17", "092G06x", "abc"]


@pytest.mark.parametrize("text", REFERENCE_ERRORS)
def test_reference_errors_say_what_the_cli_says(cli, text):
    expected = cli_message(cli, "bounds", stdin=text + "\n") if text else None
    for call in (sheetfind.bounds, sheetfind.parse, sheetfind.neighbours):
        with pytest.raises(sheetfind.InputError) as raised:
            call(text)
        if expected is not None:
            assert str(raised.value) == expected


POINT_ERRORS = ["abc", "95 10", "49.25", "49.25 -123.1 5", "nan nan", "61U 1 1", "49,25 1e999"]


@pytest.mark.parametrize("text", POINT_ERRORS)
def test_point_errors_say_what_the_cli_says(cli, text):
    with pytest.raises(sheetfind.InputError) as raised:
        sheetfind.point(text)
    assert str(raised.value) == cli_message(cli, "locate", stdin=text + "\n")
    with pytest.raises(sheetfind.InputError) as raised:
        sheetfind.locate_text([text])
    assert raised.value.reason == cli_message(cli, "locate", stdin=text + "\n")


BOX_ERRORS = {
    "south of north": (50.0, -124.0, 49.0, -123.0),
    "west of east": (49.0, -122.0, 50.0, -123.0),
    "NaN edge": (float("nan"), -124.0, 49.0, -123.0),
    "latitude out of range": (-91.0, -124.0, 49.0, -123.0),
    "longitude out of range": (49.0, -124.0, 50.0, 181.0),
    "text edge": (49.0, "abc", 50.0, -123.0),
}


@pytest.mark.parametrize("box", BOX_ERRORS.values(), ids=BOX_ERRORS.keys())
def test_box_errors_say_what_the_cli_says(cli, box):
    texts = [edge if isinstance(edge, str) else repr(edge) for edge in box]
    with pytest.raises(sheetfind.InputError) as raised:
        sheetfind.cover(*box)
    assert str(raised.value) == cli_message(cli, "cover", *texts)


def test_unknown_scale_says_what_the_cli_says(cli):
    expected = cli_message(cli, "locate", "--scale", "100k", "49.25", "-123.1")
    for call in (
        lambda: sheetfind.locate(49.25, -123.1, scale="100k"),
        lambda: sheetfind.locate([49.25], [-123.1], scale="100k"),
        lambda: sheetfind.cover(49, -124, 50, -123, scale="100k"),
        lambda: sheetfind.scale_name("100k"),
        lambda: sheetfind.column_name("100k"),
        lambda: sheetfind.cover_geometry("POINT (-123.1 49.25)", scale="100k"),
    ):
        with pytest.raises(sheetfind.InputError) as raised:
            call()
        assert expected.startswith(str(raised.value))


# Calls refused before any input reaches the engine, each naming the public function
# or the argument, and what was expected.
MISUSES = {
    "a scale as a number": (lambda: sheetfind.locate(49.25, -123.1, scale=50000), TypeError,
                            r'^locate\(\): scale must be a str, not int; unknown scale "50000"'),
    "a scale as a number, for arrays": (lambda: sheetfind.locate([49.25], [-123.1], scale=1),
                                        TypeError, r"^locate\(\): scale must be a str"),
    "a scale as a number, for a grid": (lambda: sheetfind.grid(50000), TypeError,
                                        r"^grid\(\): scale must be a str"),
    "a scale as a number, for texts": (lambda: sheetfind.locate_text(["49 -123"], 50000),
                                       TypeError, r"^locate_text\(\): scale must be a str"),
    "one text for many": (lambda: sheetfind.locate_text("49.25 -123.1"), TypeError,
                          "texts must be an iterable of str.*not str"),
    "three edges": (lambda: sheetfind.grid(bbox=(1, 2, 3)), ValueError,
                    r"bbox must be 4 numbers \(south, west, north, east\), not \(1, 2, 3\)"),
    "a text for a box": (lambda: sheetfind.grid(bbox="1 2 3 4"), TypeError, "bbox must be 4 numbers"),
    "an edge that is None": (lambda: sheetfind.cover(None, -124, 50, -123), TypeError,
                             r"^cover\(\): south is NoneType; expected decimal degrees"),
    # Iterated, a lone text or buffer would be read a character or a byte at a time.
    "one reference for many": (lambda: sheetfind.cell_records("92"), TypeError,
                               "references must be an iterable of str.*not str"),
    "one WKB for many": (lambda: sheetfind.cover_geometries(b"\x01\x01\x00\x00\x00"), TypeError,
                         "geometries must be an iterable of WKB.*not bytes"),
    "a mapping for WKB": (lambda: sheetfind.cover_geometries([None, {"type": "Point"}]), TypeError,
                          "geometry 1 is dict, not WKB"),
    # A lone surrogate, as os.fsdecode makes of a byte that is not UTF-8.
    "a point that is not Unicode": (lambda: sheetfind.point("49 \udc80"), ValueError,
                                    r"^point\(\): text '49 \\udc80' is not valid Unicode: "
                                    "surrogates not allowed at position 3"),
    "a reference that is not Unicode": (lambda: sheetfind.bounds("92G\udcff"), ValueError,
                                        r"^bounds\(\): ref .* is not valid Unicode"),
    "texts that are not Unicode": (lambda: sheetfind.locate_text(["49 -123", "\udc80"]),
                                   ValueError, r"^locate_text\(\): texts\[1\] .* is not valid"),
    "an edge that is not Unicode": (lambda: sheetfind.cover("49", "\udc80", 50, -123),
                                    ValueError, r"^cover\(\): west .* is not valid Unicode"),
    "a reference that is not a text": (lambda: sheetfind.parse(None), TypeError,
                                       r"^parse\(\): ref must be a str, not NoneType"),
}


@pytest.mark.parametrize("call, error, message", MISUSES.values(), ids=MISUSES.keys())
def test_misuses_say_what_was_expected(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_input_error_is_a_value_error():
    assert issubclass(sheetfind.InputError, ValueError)


# Boxes in NAD27 degrees, the PNG grid's own: the CLI's cells and in its order, which
# is not the order of the texts (094-A-13's blocks come before 094-E-01's).
@pytest.mark.parametrize("scale, box", [
    ("png-block", ("56.9", "-127.6", "57.2", "-120.5")),
    ("png", ("56.9", "-120.57", "56.92", "-120.55")),
])
def test_png_cover_and_its_order_are_the_cli_s(cli, scale, box):
    lines, errors, status = run_cli(cli, "cover", "-s", scale, *box)
    assert status == 0, errors
    assert sheetfind.cover(*map(float, box), scale=scale) == lines
    assert sheetfind.sort_references(reversed(lines)) == lines
