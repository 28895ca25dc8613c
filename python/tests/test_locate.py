# SPDX-License-Identifier: MIT
"""locate on scalars and arrays, against sheetfind-cli reading the same points as text."""
import math
import os
import subprocess
import sys
import warnings

import numpy as np
import pandas as pd
import pytest

import sheetfind
from conftest import cli_message, run_cli

SCALES = ["50k", "250k", "1m", "20k", "10k", "5k", "2500", "png-block", "png-unit", "png"]
# The answers' dtype: as wide as the longest reference of the scale.
WIDTHS = {"50k": "<U6", "250k": "<U6", "1m": "<U6", "20k": "<U10", "10k": "<U10", "5k": "<U10",
          "2500": "<U10", "png-block": "<U16", "png-unit": "<U16", "png": "<U16"}

# Edges of every kind: sheet and map-area corners, series corners, the zone limits
# (68, 80, 84 and 88 N, -48, -56, -120, -136 and -144), and points inside each zone.
EDGE_POINTS = {
    "Vancouver": (49.25, -123.1),
    "sheet corner": (49.25, -123.0),
    "map-area corner": (49.0, -124.0),
    "series corner": (48.0, -120.0),
    "grid south-east corner": (40.0, -48.0),
    "grid south-west corner": (40.0, -144.0),
    "68 N": (68.0, -123.1),
    "Arctic sheet corner": (70.25, -101.0),
    "80 N": (80.0, -100.0),
    "80 N at -136": (80.0, -136.0),
    "80 N at -56": (80.0, -56.0),
    "84 N at -120": (84.0, -120.0),
    "84 N at -119": (84.0, -119.0),
    "88 N": (88.0, -100.0),
    "just south of 88 N": (87.9, -60.0),
    "south of the grid": (39.0, -100.0),
    "east of the grid": (50.0, -47.0),
    "west of the grid": (50.0, -145.0),
    "north pole": (90.0, 0.0),
    "south pole": (-90.0, 180.0),
}


def _around(value):
    """The value and the doubles one ulp below and above it."""
    return [np.nextafter(value, -math.inf), value, np.nextafter(value, math.inf)]


def edge_table():
    """Every edge point with its latitude and longitude each moved by -1, 0, +1 ulp."""
    rows = []
    for lat, lon in EDGE_POINTS.values():
        for near_lat in _around(lat):
            for near_lon in _around(lon):
                if -90 <= near_lat <= 90 and -180 <= near_lon <= 180:
                    rows.append((float(near_lat), float(near_lon)))
    return np.array(rows)


def cli_answers(cli, points, scale, *options):
    text = "".join(f"{lat!r} {lon!r}\n" for lat, lon in points.tolist())
    lines, errors, status = run_cli(cli, "locate", "--scale", scale, *options, stdin=text)
    assert status == 0, errors
    return lines


@pytest.mark.filterwarnings("ignore::sheetfind.DatumShiftWarning")
@pytest.mark.parametrize("scale", SCALES)
def test_vector_and_scalar_agree_with_the_cli_on_edges(cli, scale):
    points = edge_table()
    expected = cli_answers(cli, points, scale)
    vector = sheetfind.locate(points[:, 0], points[:, 1], scale=scale)
    assert vector.dtype == np.dtype(WIDTHS[scale])
    assert vector.tolist() == expected
    scalars = [sheetfind.locate(lat, lon, scale) or "" for lat, lon in points.tolist()]
    assert scalars == expected


@pytest.mark.filterwarnings("ignore::sheetfind.DatumShiftWarning")
@pytest.mark.parametrize("scale", SCALES)
def test_random_sweep_agrees_with_the_cli(cli, scale):
    seed = 20261209
    print(f"seed {seed}")
    generator = np.random.default_rng(seed)
    # Mostly on the grid, partly around it, and a share snapped to 15' edges.
    lat = generator.uniform(38.0, 90.0, 20000)
    lon = generator.uniform(-150.0, -40.0, 20000)
    snapped = generator.random(20000) < 0.3
    lat[snapped] = np.round(lat[snapped] * 4) / 4
    lon[snapped] = np.round(lon[snapped] * 4) / 4
    points = np.column_stack([lat, lon])
    assert sheetfind.locate(lat, lon, scale).tolist() == cli_answers(cli, points, scale)


# Vancouver at every BCGS scale, beside points no BCGS cell holds: one in the NTS grid
# outside BC's series (Montreal), one in series 084, which is not BC's although its
# neighbours are, and one outside the grid. Each answer is the whole reference, never
# one cut to the width of an NTS sheet.
BCGS_ANSWERS = {
    "20k": "092G025",
    "10k": "092G0253",
    "5k": "092G02532",
    "2500": "092G025322",
    "1:2500": "092G025322",
}
NO_BCGS_CELL = [(45.5, -73.6), (57.5, -115.0), (30.0, -123.1)]


@pytest.mark.parametrize("scale, expected", BCGS_ANSWERS.items(), ids=BCGS_ANSWERS.keys())
def test_bcgs_cells_are_whole_inside_bc_and_empty_outside(scale, expected):
    assert sheetfind.locate(49.25, -123.1, scale) == expected
    assert [sheetfind.locate(lat, lon, scale) for lat, lon in NO_BCGS_CELL] == [None] * 3
    lat, lon = zip((49.25, -123.1), *NO_BCGS_CELL, (49.25, -123.1))
    mixed = [expected, "", "", "", expected]
    assert sheetfind.locate(np.array(lat), np.array(lon), scale).tolist() == mixed
    texts = [f"{a} {b}" for a, b in zip(lat, lon)]
    assert sheetfind.locate_text(texts, scale).tolist() == mixed


# The PNG grid is drawn on NAD27: points in BC in each datum a face reads, shifted by
# the engine where the datum is not NAD27, as sheetfind-cli --datum shifts them. Half
# of them lie on the NAD27 lines of PNG units, where a shift that went astray shows.
@pytest.mark.parametrize("datum", ["NAD27", "NAD83", "WGS84", "epsg:4267"])
@pytest.mark.parametrize("scale", ["png-block", "png-unit", "png"])
def test_png_scales_agree_with_the_cli_in_every_datum(cli, scale, datum):
    generator = np.random.default_rng(20261210)
    lat = generator.uniform(48.0, 60.5, 3000)
    lon = generator.uniform(-140.0, -113.0, 3000)
    lat[::2] = np.round(lat[::2] * 120) / 120  # 30" rows
    lon[::2] = np.round(lon[::2] * 80) / 80  # 45" columns
    points = np.column_stack([lat, lon])
    expected = cli_answers(cli, points, scale, "--datum", datum)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", sheetfind.DatumShiftWarning)
        vector = sheetfind.locate(lat, lon, scale, datum=datum)
        scalars = [sheetfind.locate(a, b, scale, datum=datum) or "" for a, b in points[:50]]
        texts = sheetfind.locate_text([f"{a!r} {b!r}" for a, b in points[:50]], scale, datum=datum)
    assert vector.dtype == np.dtype("<U16")
    assert vector.tolist() == expected
    assert scalars == texts.tolist() == expected[:50]
    assert sum(map(bool, expected)) > 1000


# The shift is said once per call, as sheetfind-cli says it once per run, and only
# where points were shifted.
@pytest.mark.parametrize("scale, datum, shifted", [
    ("png", "NAD83", True),
    ("png", "WGS84", True),
    ("png", "NAD27", False),
    ("50k", "NAD27", True),
    ("50k", "NAD83", False),
    ("2500", "WGS84", False),
])
def test_the_shift_is_said_once_as_the_cli_says_it(cli, scale, datum, shifted):
    _, errors, status = run_cli(cli, "locate", "-s", scale, "--datum", datum, "56.91", "-120.565")
    with warnings.catch_warnings():
        # In Quebec PROJ picks another transformation, which is not the next call's.
        warnings.simplefilter("ignore")
        sheetfind.locate(45.5, -73.6, scale, datum=datum)
    with warnings.catch_warnings(record=True) as said:
        warnings.simplefilter("always")
        sheetfind.locate([56.91, 57.6], [-120.565, -121.3], scale, datum=datum)
        sheetfind.locate(56.91, -120.565, scale, datum=datum)
    assert status == 0
    expected = [errors.removeprefix("sheetfind-cli: ").rstrip("\n")] * 2 if shifted else []
    assert [str(warning.message) for warning in said] == expected
    assert all(warning.category is sheetfind.DatumShiftWarning for warning in said)
    assert all(warning.filename == __file__ for warning in said)


PNG_ANSWERS = [
    ((56.91, -120.565), "png", "NAD27", "a-096-H/094-A-15"),
    ((56.91, -120.565), "png-unit", "nad 27", "096-H/094-A-15"),
    ((56.91, -120.565), "png-block", "EPSG:4267", "H/094-A-15"),
    ((57.6, -121.3), "png", "NAD27", "a-025-F/094-H-11"),
    ((57.6, -121.3), "png", "NAD83", "c-014-F/094-H-11"),
    ((51.05, -114.07), "png", "NAD27", None),  # Calgary: no PNG cell outside BC
    ((51.05, -114.07), "png", "NAD83", None),
]


@pytest.mark.filterwarnings("ignore::sheetfind.DatumShiftWarning")
@pytest.mark.parametrize("point, scale, datum, expected", PNG_ANSWERS)
def test_png_cells_are_whole(point, scale, datum, expected):
    assert sheetfind.locate(*point, scale, datum=datum) == expected


@pytest.mark.parametrize("call", [
    lambda datum: sheetfind.locate(56.91, -120.565, "png", datum=datum),
    lambda datum: sheetfind.locate([56.91], [-120.565], "png", datum=datum),
    lambda datum: sheetfind.locate_text(["56.91 -120.565"], "png", datum=datum),
], ids=["scalar", "array", "text"])
def test_an_unknown_datum_is_the_cli_message(cli, call):
    expected = cli_message(cli, "locate", "-s", "png", "--datum", "ED50", "56.91", "-120.565")
    with pytest.raises(sheetfind.InputError) as raised:
        call("ED50")
    assert str(raised.value) == expected.split("\n")[0]
    with pytest.raises(TypeError, match=r"datum must be a str, not int; unknown datum \"4267\""):
        call(4267)


def test_a_shift_that_cannot_be_made_is_an_error_and_the_unshifted_path_never_needs_proj():
    # Without PROJ's database no shift can be made: that must be an InputError, not
    # answers that look like no cell; points in the grid's own datum are answered.
    script = (
        "import sheetfind\n"
        "print(sheetfind.locate([56.91], [-120.565], '50k')[0])\n"
        "print(sheetfind.locate(56.91, -120.565, 'png', datum='NAD27'))\n"
        "for call in (lambda: sheetfind.locate([1.0, 56.91], [2.0, -120.565], 'png'),\n"
        "             lambda: sheetfind.locate(56.91, -120.565, 'png')):\n"
        "    try:\n"
        "        call()\n"
        "    except sheetfind.InputError as error:\n"
        "        print(error)\n"
    )
    env = dict(os.environ, PROJ_DATA="/nonexistent", PROJ_LIB="/nonexistent",
               PYTHONPATH=os.pathsep.join(sys.path))
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, env=env)
    cannot = "PROJ cannot shift points from NAD83 to NAD27; is proj-data installed?"
    assert done.stdout.split("\n")[:-1] == ["094A15", "a-096-H/094-A-15",
                                             f"point 0: {cannot}", cannot], done.stderr


NO_CELL_INPUTS = {
    "NaN latitude": (math.nan, -123.1),
    "NaN longitude": (49.25, math.nan),
    "infinite latitude": (math.inf, -123.1),
    "minus infinite longitude": (49.25, -math.inf),
    "latitude beyond the pole": (95.0, -123.1),
    "longitude beyond 180": (49.25, -400.0),
    "huge": (1e308, -1e308),
}


@pytest.mark.parametrize("lat, lon", NO_CELL_INPUTS.values(), ids=NO_CELL_INPUTS.keys())
def test_non_points_have_no_cell(lat, lon):
    assert sheetfind.locate(lat, lon) is None
    assert sheetfind.locate(np.array([lat, 49.25]), np.array([lon, -123.1])).tolist() == [
        "",
        "092G06",
    ]


# Missing values, each the second of two points: no cell, as NaN has none.
MISSING = {
    "masked latitude": (np.ma.masked_array([49.25, 49.25], mask=[False, True]), -123.1),
    "masked longitude": ([49.25, 49.25], np.ma.masked_array([-123.1, -123.1], mask=[False, True])),
    "nullable Int64": (pd.Series([49, None], dtype="Int64"), pd.Series([-123, -123], dtype="Int64")),
    "nullable Float64": (pd.Series([49.25, None], dtype="Float64"), -123.1),
    "NA among objects": (pd.Series([49.25, pd.NA], dtype=object), -123.1),
}


@pytest.mark.parametrize("lat, lon", MISSING.values(), ids=MISSING.keys())
def test_missing_values_have_no_cell(lat, lon):
    first = sheetfind.locate(float(np.asarray(lat)[0]), float(np.asarray(lon).flat[0]))
    assert list(sheetfind.locate(lat, lon)) == [first, ""]


def test_a_missing_scalar_has_no_cell():
    assert sheetfind.locate(49.25, pd.NA) is None


# What is not degrees is refused, naming the argument and what it holds.
NOT_DEGREES = {
    "datetime64": (np.array(["2026-12-09"], "datetime64[D]"), [-123.1], "lat holds dtype datetime64"),
    "timedelta64": ([49.25], np.array([1], "timedelta64[s]"), "lon holds dtype timedelta64"),
    "booleans": (np.array([True]), [-123.1], "lat holds dtype bool"),
    "texts": (["49.25"], [-123.1], "lat holds dtype <U5.*locate_text"),
    "pandas strings": (pd.Series(["49.25"], dtype="string"), -123.1, "lat holds dtype string"),
    "a text among numbers": (pd.Series([49.25, "abc"]), -123.1, r"lat\[1\] holds str 'abc'"),
    "None alone": (None, None, "lat is None; expected decimal degrees"),
}


@pytest.mark.parametrize("lat, lon, message", NOT_DEGREES.values(), ids=NOT_DEGREES.keys())
def test_what_is_not_degrees_is_refused(lat, lon, message):
    with pytest.raises(TypeError, match=message):
        sheetfind.locate(lat, lon)


def test_series_keeps_its_index_and_pairs_with_a_scalar():
    lat = pd.Series([49.25, 30.0, 68.5], index=["a", "b", "c"])
    answers = sheetfind.locate(lat, -123.1, scale="250k")
    assert isinstance(answers, pd.Series)
    assert answers.index.tolist() == ["a", "b", "c"]
    assert answers.tolist() == ["092G", "", "097A"]


def test_series_with_different_indexes_are_refused():
    # Pairing by position would give each row another row's longitude.
    with pytest.raises(ValueError, match="different indexes"):
        sheetfind.locate(pd.Series([49.25], index=[1]), pd.Series([-123.1], index=[2]))


ARRAY_LIKES = {
    "lists": ([49.25, 40.0], [-123.1, -48.0]),
    "tuples": ((49.25, 40.0), (-123.1, -48.0)),
    "int array": (np.array([49, 40]), np.array([-123, -48])),
    "float32": (np.array([49.25, 40.0], np.float32), np.array([-123.1, -48.0], np.float32)),
    "strided": (np.array([49.25, 0, 40.0, 0])[::2], np.array([-123.1, 0, -48.0, 0])[::2]),
}


@pytest.mark.parametrize("lat, lon", ARRAY_LIKES.values(), ids=ARRAY_LIKES.keys())
def test_array_likes(lat, lon):
    expected = [sheetfind.locate(float(a), float(b)) for a, b in zip(lat, lon)]
    assert sheetfind.locate(lat, lon).tolist() == expected


def test_shapes_are_kept():
    assert sheetfind.locate(np.empty(0), np.empty(0)).shape == (0,)
    assert sheetfind.locate(np.empty(0), np.empty(0)).dtype == np.dtype("<U6")
    grid = sheetfind.locate(np.full((2, 3), 49.25), np.full((2, 3), -123.1))
    assert grid.shape == (2, 3) and set(grid.ravel()) == {"092G06"}
    assert sheetfind.locate([49.25, 49.75], -123.1).tolist() == ["092G06", "092G14"]


@pytest.mark.parametrize(
    "text, expected",
    [
        ("49.25 -123.1", "092G06"),
        ("49.25,-123.1", "092G06"),
        ("49°15'N 123°06'W", "092G06"),
        ("10U 491213 5458885", "092G06"),
        ("10UDV9121358885", "092G06"),
        ("30 -123.1", ""),
    ],
)
def test_locate_text_reads_every_notation(cli, text, expected):
    assert sheetfind.locate_text([text]).tolist() == [expected]
    assert run_cli(cli, "locate", stdin=text + "\n")[0] == [expected]


def test_locate_text_keeps_going_or_names_the_index():
    texts = pd.Series(["49.25 -123.1", "abc", "68.5 -123.1", "95 0"], index=[10, 11, 12, 13])
    answers = sheetfind.locate_text(texts, errors="empty")
    assert answers.index.tolist() == [10, 11, 12, 13]
    assert answers.tolist() == ["092G06", "", "097A12", ""]
    with pytest.raises(sheetfind.InputError) as raised:
        sheetfind.locate_text(texts)
    with pytest.raises(sheetfind.InputError) as alone:
        sheetfind.point("abc")
    assert (raised.value.index, raised.value.reason) == (1, str(alone.value))
    assert str(raised.value) == f"text 1: {alone.value}"
    # One input: no index, and the reason is the whole message.
    assert (alone.value.index, alone.value.reason) == (None, str(alone.value))


def test_point_reads_dms():
    assert sheetfind.point("49°15'N 123°06'W") == sheetfind.Point(49.25, -123.1)


def test_read_points_reads_lines_as_the_cli_does(cli):
    text = "49.25 -123.1\n\n# a comment\n68.5,-123.1\n49°15'N 123°06'W\n 40\t-48 \n-5e1 1e2\n30 -100"
    lat, lon = sheetfind.read_points(text)
    assert len(lat) == 8
    assert sheetfind.locate(lat, lon).tolist() == run_cli(cli, "locate", stdin=text + "\n")[0]


@pytest.mark.parametrize(
    "line", ["abc", "95 10", "49.25", "1 2 3", "nan nan", "+49.25 1e999", "inf 0", "9" * 70000]
)
def test_read_points_names_the_bad_line(cli, line):
    with pytest.raises(sheetfind.InputError) as raised:
        sheetfind.read_points(b"49.25 -123.1\n" + line.encode() + b"\n")
    assert str(raised.value) == "line 2: " + cli_message(cli, "locate", stdin=line + "\n")
    assert "--" not in str(raised.value)


# The lines as LineReader splits them for sheetfind-cli, and the sheets they give.
LINE_SPLITS = {
    "byte order mark and CRLF": (b"\xef\xbb\xbf49.25 -123.1\r\n68.5,-123.1\r\n", ["092G06", "097A12"]),
    "no final newline": (b"49.25 -123.1\n\n68.5 -123.1", ["092G06", "", "097A12"]),
    "C-contiguous view": (memoryview(b"xx49.25 -123.1\n")[2:], ["092G06"]),
    "numpy bytes": (np.frombuffer(b"49.25 -123.1\n", dtype=np.uint8), ["092G06"]),
}


@pytest.mark.parametrize("data, expected", LINE_SPLITS.values(), ids=LINE_SPLITS.keys())
def test_read_points_splits_lines_as_the_cli_does(data, expected):
    assert sheetfind.locate(*sheetfind.read_points(data)).tolist() == expected


@pytest.mark.parametrize(
    "view", [memoryview(b"1.321- 52.94\n")[::-1], memoryview(b"49.25 -123.1\n" * 2)[::2]],
    ids=["reversed", "strided"],
)
def test_read_points_refuses_a_buffer_that_is_not_contiguous(view):
    with pytest.raises(ValueError, match="C-contiguous"):
        sheetfind.read_points(view)


# A pair read the other way round is named in the module's terms, never by an option.
SWAPPED = {
    "longitude first, read latitude first": ("-123.1 49.25", False, []),
    "latitude first, read longitude first": ("49.25 -123.1", True, ["--lon-first"]),
}


@pytest.mark.parametrize("text, lon_first, cli_args", SWAPPED.values(), ids=SWAPPED.keys())
def test_swap_hints_name_the_keyword(cli, text, lon_first, cli_args):
    expected = cli_message(cli, "locate", *cli_args, stdin=text + "\n")
    for call in (
        lambda: sheetfind.point(text, lon_first=lon_first),
        lambda: sheetfind.read_points(text, lon_first=lon_first),
        lambda: sheetfind.locate_text([text], lon_first=lon_first),
    ):
        with pytest.raises(sheetfind.InputError) as raised:
            call()
        assert str(raised.value).endswith(expected) and "lon_first" in expected
        assert "--" not in str(raised.value)
    assert sheetfind.point(" ".join(reversed(text.split())), lon_first=lon_first) == (49.25, -123.1)


def test_locating_points_loads_neither_gdal_nor_qt():
    # A fresh interpreter: this one may have loaded GDAL for another test.
    script = (
        "import sheetfind; sheetfind.locate(49.25, -123.1); sheetfind.locate([49.25], [-123.1]);"
        "print(open('/proc/self/maps').read())"
    )
    maps = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, check=True,
        env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)},
    ).stdout
    assert "_sheetfind." in maps
    assert "libgdal" not in maps and "libQt6" not in maps
