# SPDX-License-Identifier: MIT
"""Which map sheet of Canada's National Topographic System (NTS), or which cell of
British Columbia's BCGS or of its petroleum and natural gas (PNG) grid, covers a point.

The NTS cuts Canada into series of 8 x 4 degrees (1:1 000 000, such as 092), map areas
(1:250 000, 092G) and sheets (1:50 000, 092G06). In BC's series (082, 083, 092, 093,
094, 102, 103, 104, 114) the BCGS cuts each map area into 100 cells at 1:20 000
(092G025), and quarters each of them at 1:10 000 (092G0253), 1:5 000 (092G02532) and
1:2 500 (092G025322); outside those series a BCGS scale has no cell. A cell owns its
east and south edges: a point on a meridian belongs to the cell west of it, one on a
parallel to the cell north of it.

    >>> import sheetfind
    >>> sheetfind.locate(49.25, -123.1)
    '092G06'
    >>> sheetfind.locate([49.25, 30.0], [-123.1, -123.1], scale="250k").tolist()
    ['092G', '']
    >>> sheetfind.locate(49.25, -123.1, scale="2500")
    '092G025322'

BC's petroleum and natural gas grid cuts each 1:50 000 sheet of BC's series into 12
blocks ("png-block", H/094-A-15), each block into 100 units ("png-unit", 096-H/094-A-15)
and each unit into 4 quarter units ("png", d-096-H/094-A-15). It is drawn on NAD27, the
NTS and the BCGS on NAD83: the functions that take points take datum= ("NAD83", the
default, "WGS84" or "NAD27", or their EPSG codes), and the engine shifts each point
into the datum of the grid asked for, saying once, as a DatumShiftWarning, which
transformation PROJ used.

    >>> sheetfind.locate(56.91, -120.565, scale="png", datum="NAD27")
    'a-096-H/094-A-15'

Scales are named "1m", "250k", "50k", "20k", "10k", "5k", "2500" (or by their ratio,
"1:1000000" ... "1:2500"), "png-block", "png-unit" and "png"; scales() lists them.
Bad input raises sheetfind.InputError, a ValueError, with the message sheetfind-cli
prints for it. An argument of the wrong kind (None or dates for degrees, a number for
a scale, one text where many are expected) is a TypeError naming the argument. The
GeoPandas helpers annotate and grid_frame need geopandas.

Locating points loads neither GDAL nor Qt: cover_geometry, cover_geometries,
cover_layer, the cell_* functions, annotate and grid_frame load the GIS extension
(GDAL) when first called.
"""
import decimal
import json
import numbers
import os
import warnings
from collections import namedtuple
from collections.abc import Iterable, Mapping

import numpy as np

from . import _sheetfind
from ._sheetfind import InputError

__all__ = [
    "Bounds",
    "DatumShiftWarning",
    "InputError",
    "LayerCells",
    "Point",
    "annotate",
    "CellField",
    "CellRecord",
    "bounds",
    "cell_crs",
    "cell_fields",
    "cell_records",
    "cell_ring",
    "column_name",
    "field_value",
    "cover",
    "cover_geometries",
    "cover_geometry",
    "cover_layer",
    "grid",
    "grid_frame",
    "is_bcgs",
    "is_png",
    "locate",
    "locate_text",
    "neighbours",
    "parse",
    "point",
    "read_points",
    "scale_name",
    "scales",
    "sort_references",
]

Point = namedtuple("Point", ["latitude", "longitude"])
Point.__doc__ = "A point in decimal degrees: latitude positive north, longitude negative west."

Bounds = namedtuple("Bounds", ["south", "west", "north", "east"])
Bounds.__doc__ = (
    "The extent of a cell in decimal degrees; it holds west < longitude <= east and "
    "south <= latitude < north."
)

CellField = namedtuple("CellField", ["name", "kind"])
CellField.__doc__ = 'A field of a layer of cells: its name and its kind, "text" or "real".'

CellRecord = namedtuple("CellRecord", ["values", "outline"])
CellRecord.__doc__ = (
    "A cell as a layer of cells holds it: its values, one for each of cell_fields() and "
    "in its order, and its outline, a closed ring of (longitude, latitude) in the cell's "
    "cell_crs()."
)


LayerCells = namedtuple("LayerCells", ["ids", "cells", "geometry_types", "failures"])
LayerCells.__doc__ = (
    "The cells of every feature of a layer, in the order GDAL reads it: ids, the "
    "features' FIDs (an int64 array); cells, one list of references per feature; "
    "geometry_types, the ISO WKB types of its geometries, each once, in order; failures, "
    "(FID, message) for each feature that has no cells because its geometry failed."
)


class DatumShiftWarning(UserWarning):
    """Points were shifted from their datum into the grid's: which transformation PROJ
    used, how accurate it is, and how to install Canada's grid when it is missing."""


# The box of the whole globe: its cover is every cell of the grid.
_WHOLE_GLOBE = (-90.0, -180.0, 90.0, 180.0)

# What every InputError holds: `reason`, the message without the words that say which
# of many inputs failed, and `index`, that input's position (or row label), None when
# the call had one input.
InputError.index = None
InputError.reason = property(lambda error: error.__dict__.get("_reason", str(error)))


def _input_error(where, index, reason):
    """The InputError for input `index` of many, named `where` in its message."""
    failure = InputError(f"{where}: {reason}")
    failure.index = index
    failure._reason = reason
    return failure


def _many(values, name, kind):
    """values as a list. A lone text or buffer is refused: iterated, it would be read
    a character or a byte at a time, as so many inputs."""
    if isinstance(values, (str, bytes, bytearray, memoryview)) or not isinstance(values, Iterable):
        raise TypeError(
            f"{name} must be an iterable of {kind}, such as a list, not "
            f"{type(values).__name__}; for one, wrap it in a list"
        )
    return list(values)


def _text(value, name, function):
    """value, a str the engine can read as UTF-8; `function` and `name` are the public
    function and its argument, which the errors name."""
    if not isinstance(value, str):
        raise TypeError(f"{function}(): {name} must be a str, not {type(value).__name__}")
    try:
        value.encode("utf-8")
    except UnicodeEncodeError as error:
        raise ValueError(
            f"{function}(): {name} {value!r} is not valid Unicode: "
            f"{error.reason} at position {error.start}"
        ) from None
    return value


def _texts(values, name, function):
    """The first of values that _text refuses, refused; for a call the engine's
    argument conversion failed, so that the happy path pays nothing."""
    for index, value in enumerate(values):
        _text(value, f"{name}[{index}]", function)


def _scale_text(scale, function):
    """The scale's name for the engine, which reads it; `function` is the public
    function named when the scale is not even a text."""
    if isinstance(scale, str):
        return _text(scale, "scale", function)
    raise TypeError(
        f"{function}(): scale must be a str, not {type(scale).__name__}; "
        + _sheetfind.describe_unknown_scale(repr(scale))
    )


# Array kinds that hold numbers: signed and unsigned integers and floats. Booleans,
# complex numbers, dates, durations and texts are not degrees.
_NUMBER_KINDS = "iuf"


def _datum_text(datum, function):
    """The datum's name for the engine, which reads it and refuses a name it does not
    know; `function` is the public function named when it is not even a text."""
    if isinstance(datum, str):
        return _text(datum, "datum", function)
    raise TypeError(
        f"{function}(): datum must be a str, not {type(datum).__name__}; "
        + _sheetfind.describe_unknown_datum(repr(datum))
    )


def _tell_shift(notice, stacklevel=3):
    """Says which transformation shifted the points; Python's warning filter says it
    once for each place that asks."""
    if notice:
        warnings.warn(notice, DatumShiftWarning, stacklevel=stacklevel)


def _not_degrees(name, what, text):
    hint = "; read points written as text with locate_text" if text else ""
    return TypeError(f"{name} holds {what}, not numbers; expected decimal degrees{hint}")


def _number_kind(dtype, name):
    if dtype.kind not in _NUMBER_KINDS:
        raise _not_degrees(name, f"dtype {dtype}", dtype.kind in "US" or dtype.name == "string")


def _is_missing(item):
    # pandas' NA is recognised without importing pandas.
    return item is None or type(item).__name__ == "NAType"


def _object_degrees(array, name):
    """An array of Python objects as degrees: numbers, and None or NA where missing."""
    flat = array.reshape(-1)
    out = np.empty(flat.shape, np.float64)
    for position, item in enumerate(flat):
        if _is_missing(item):
            out[position] = np.nan
        elif isinstance(item, (numbers.Real, decimal.Decimal)) and not isinstance(
            item, (bool, np.bool_)
        ):
            out[position] = float(item)
        else:
            where = name if array.ndim == 0 else f"{name}[{position}]"
            raise _not_degrees(where, f"{type(item).__name__} {item!r}", isinstance(item, str))
    return out.reshape(array.shape)


def _degrees(value, name):
    """`value` (a number or an array-like) as float64 degrees of its own shape, NaN
    wherever a value is missing: NaN, None in a list, pandas' NA or a masked element,
    all of which locate answers with no cell. What is not numbers is a TypeError
    naming the argument `name`."""
    if value is None:
        raise TypeError(f"{name} is None; expected decimal degrees, a number or an array of them")
    if isinstance(value, np.ma.MaskedArray):
        _number_kind(value.dtype, name)
        return np.ma.filled(value.astype(np.float64), np.nan)
    dtype = getattr(value, "dtype", None)
    if dtype is not None and not isinstance(dtype, np.dtype) and type(value).__module__.startswith(
        "pandas."
    ):
        # pandas' nullable dtypes (Int64, Float64...) mark a missing value with NA,
        # which numpy cannot turn into a float by itself.
        _number_kind(dtype, name)
        return value.to_numpy(dtype=np.float64, na_value=np.nan)
    array = np.asarray(value)
    if array.dtype == object:
        return _object_degrees(array, name)
    _number_kind(array.dtype, name)
    return array.astype(np.float64, copy=False)


def _is_series(value):
    # pandas is optional: a Series is recognised without importing it.
    return type(value).__name__ == "Series" and hasattr(value, "index")


def _wrap(values, like):
    """Gives `values` the index of the Series `like`, or returns them as they are."""
    if like is None:
        return values
    import pandas as pd

    return pd.Series(values, index=like.index, name=None)


def locate(lat, lon, scale="50k", datum="NAD83"):
    """The reference of the cell at the scale that covers each point.

    lat, lon: decimal degrees (west negative), as numbers, numpy arrays, pandas Series
    or anything numpy reads as an array; they are broadcast together. Any float is
    valid: NaN, infinities and points outside the grid have no cell, and so have
    missing values (masked elements, pandas' NA, None in a list). What is not numbers
    (None alone, texts, dates, booleans) is a TypeError naming lat or lon.

    datum: the datum of the degrees, "NAD83" (the default), "WGS84" or "NAD27" (or
    their EPSG codes); InputError for another. Points in another datum than the grid's
    (NAD27 for the PNG scales, NAD83 for the others) are shifted into it by the engine,
    through PROJ, with a DatumShiftWarning saying how; the others never reach PROJ.

    Returns a str, or None where no cell covers the point, for two scalars; a numpy
    array of str of the broadcast shape (dtype '<U6' at an NTS scale, '<U10' at a BCGS
    one, '<U16' at a PNG one), with "" where no cell covers the point, for arrays; a
    Series with the same index when a Series is given. At a BCGS or PNG scale a point
    outside BC's series has no cell. The array loop runs in C++ without the
    interpreter lock.

    Example:
        >>> locate(49.25, -123.1)
        '092G06'
        >>> locate(np.array([49.25, np.nan]), np.array([-123.1, 0.0])).tolist()
        ['092G06', '']
        >>> locate(85.0, -100.0, scale="250k")
        '561C'
        >>> locate([49.25, 45.5], [-123.1, -73.6], scale="20k").tolist()
        ['092G025', '']
        >>> locate(56.91, -120.565, scale="png-unit", datum="NAD27")
        '096-H/094-A-15'
    """
    return _locate(lat, lon, scale, datum, "locate")


def _locate(lat, lon, scale, datum, function, stacklevel=4):
    """locate() as `function` calls it; stacklevel points a warning at its caller."""
    series = [value for value in (lat, lon) if _is_series(value)]
    scale = _scale_text(scale, function)
    datum = _datum_text(datum, function)
    lat_degrees, lon_degrees = _degrees(lat, "lat"), _degrees(lon, "lon")
    if not series and lat_degrees.ndim == 0 and lon_degrees.ndim == 0:
        answer, notice = _sheetfind.locate_scalar(
            float(lat_degrees), float(lon_degrees), scale, datum
        )
        _tell_shift(notice, stacklevel)
        return answer
    if len(series) == 2 and not series[0].index.equals(series[1].index):
        # Pairing latitudes and longitudes by position would pair the wrong rows.
        raise ValueError("lat and lon are Series with different indexes; align them first")
    lat_array, lon_array = np.broadcast_arrays(lat_degrees, lon_degrees)
    shape = lat_array.shape
    answers, bad, message, notice = _sheetfind.locate_array(
        np.ascontiguousarray(lat_array).reshape(-1),
        np.ascontiguousarray(lon_array).reshape(-1),
        scale,
        datum,
    )
    if bad >= 0:
        raise _input_error(f"point {bad}", bad, message)
    _tell_shift(notice, stacklevel)
    return _wrap(answers.reshape(shape), series[0] if series else None)


def _gis():
    """The GIS extension, loaded on first use: it brings GDAL into the process."""
    try:
        from . import _sheetfind_gis
    except ImportError as error:
        raise RuntimeError(
            "this function needs sheetfind's GIS extension (_sheetfind_gis, built with "
            f"GDAL), which could not be loaded: {error}"
        ) from error
    return _sheetfind_gis


def point(text, lon_first=False):
    """Reads a point written in any notation sheetfind-cli reads.

    Decimal degrees ("49.25 -123.1", "49.25,-123.1"), degrees-minutes-seconds
    ("49°15'N 123°06'W"), UTM or UPS ("10U 491213 5458885") and MGRS
    ("10UDV9121358885"). Numbers use '.' as the decimal point. lon_first=True reads
    decimal pairs longitude first ("-123.1 49.25"), as GIS exports write them.

    Returns Point(latitude, longitude); raises InputError for a text that is not a
    point, or whose latitude or longitude is out of range.

    Example:
        >>> point("49°15'N 123°06'W")
        Point(latitude=49.25, longitude=-123.1)
        >>> point("-123.1 49.25", lon_first=True)
        Point(latitude=49.25, longitude=-123.1)
    """
    return Point(*_sheetfind.read_point(_text(text, "text", "point"), lon_first))


def read_points(data, lon_first=False):
    r"""Reads points, one per line, as sheetfind-cli reads its standard input.

    data: the text (str) or its UTF-8 bytes (bytes, or any C-contiguous buffer such
    as a memory-mapped file; a strided or reversed view is a ValueError). Each line
    holds one point in any notation point() reads (lon_first as there); plain decimal
    "LATITUDE LONGITUDE" lines (blanks, a tab or a comma between) are read fastest.
    LF or CRLF line endings; a UTF-8 byte order mark at the start is skipped. A blank
    line or a # comment gives NaN, NaN, which locate() answers with "", so that point
    i is always line i + 1.

    Returns (latitudes, longitudes) as float64 arrays; raises InputError naming the
    first bad line ("line 3: ...") with sheetfind-cli's message for it, a line longer
    than 64 KiB among them.

    Example:
        >>> lat, lon = read_points(b"49.25 -123.1\n# comment\n68.5,-123.1\n")
        >>> locate(lat, lon).tolist()
        ['092G06', '', '097A12']
    """
    if isinstance(data, str):
        data = _text(data, "data", "read_points").encode("utf-8")
    return _sheetfind.read_points(data, lon_first)


def locate_text(texts, scale="50k", errors="raise", lon_first=False, datum="NAD83"):
    """The reference of the cell that covers each point written as text (see point()).

    texts: an iterable of str; a lone str is a TypeError, since it is one text and
    not many (locate_text([text]) answers one). errors="raise" raises InputError at
    the first text that is not a point, with its index in the message and as the
    error's `index` attribute; errors="empty" gives "" for it and answers the others.
    Returns a numpy array of str (dtype '<U6' at an NTS scale, '<U10' at a BCGS one,
    '<U16' at a PNG one), or a Series with the same index when a Series is given.
    lon_first as for point(), datum as for locate().

    Example:
        >>> locate_text(["49.25 -123.1", "10U 491213 5458885"]).tolist()
        ['092G06', '092G06']
        >>> locate_text(["49.25 -123.1", "nowhere"], errors="empty").tolist()
        ['092G06', '']
    """
    if errors not in ("raise", "empty"):
        raise ValueError(f'errors must be "raise" or "empty", not {errors!r}')
    items = _many(texts, "texts", "str")
    scale = _scale_text(scale, "locate_text")
    datum = _datum_text(datum, "locate_text")
    like = texts if _is_series(texts) else None
    for index, text in enumerate(items):
        if not isinstance(text, str):
            if errors == "raise":
                raise TypeError(f"text {index} is {type(text).__name__}, not str")
            items[index] = ""
    try:
        answers, bad, message, notice = _sheetfind.locate_texts(items, scale, lon_first, datum)
    except TypeError:
        _texts(items, "texts", "locate_text")
        raise
    if bad >= 0 and errors == "raise":
        raise _input_error(f"text {bad}", bad, message)
    _tell_shift(notice)
    return _wrap(answers, like)


def bounds(ref):
    """The extent of a cell, as Bounds(south, west, north, east) in decimal degrees.

    The reference is read as people write it ("092G06", "92g6", "92 G/6", "340 D15",
    "092G025"); InputError when it names no cell.

    Example:
        >>> bounds("92G6")
        Bounds(south=49.25, west=-123.5, north=49.5, east=-123.0)
        >>> bounds("092G025")
        Bounds(south=49.2, west=-123.2, north=49.3, east=-123.0)
    """
    return Bounds(*_sheetfind.bounds(_text(ref, "ref", "bounds")))


def parse(ref):
    """The canonical text of a reference: three-digit series, capital letter, two-digit
    sheet; for a BCGS cell, the map area, its three-digit number and one digit per quarter.

    Example:
        >>> parse("92 g/6")
        '092G06'
    """
    return _sheetfind.parse(_text(ref, "ref", "parse"))


def neighbours(ref):
    """The cells of the same scale that share an edge or a corner with the reference.

    In reference order; across 68° N and 80° N there can be more than eight. A BCGS
    cell's neighbours reach across map areas and series; at the edge of BC's series it
    has fewer.

    Example:
        >>> neighbours("092G06")[:3]
        ['092G02', '092G03', '092G04']
    """
    return _sheetfind.neighbours(_text(ref, "ref", "neighbours"))


def sort_references(references):
    """The references in reference order, each once, in canonical text, as every face
    lists cells: by scale, then as the grid orders them. For the NTS and the BCGS that
    is the order of the texts; a PNG cell goes by its sheet, block, unit and quarter
    unit, which its text (d-096-H/094-A-15) does not lead with. InputError for a text
    that names no cell.

    Example:
        >>> sort_references(["082-E/094-M-13", "085-H/094-A-15", "92g6"])
        ['092G06', '085-H/094-A-15', '082-E/094-M-13']
    """
    items = _many(references, "references", "str")
    try:
        return _sheetfind.sort_references(items)
    except TypeError:
        _texts(items, "references", "sort_references")
        raise


_EDGES = ("south", "west", "north", "east")


def _edge_text(edge, name, function):
    # Read by the same rule as sheetfind-cli's operands; repr is the shortest text
    # that reads back as the same double.
    if isinstance(edge, str):
        return _text(edge, name, function)
    if isinstance(edge, numbers.Real) and not isinstance(edge, (bool, np.bool_)):
        return repr(float(edge))
    raise TypeError(
        f"{function}(): {name} is {type(edge).__name__}; expected decimal degrees, a number or "
        "its text"
    )


def _cover_box(edges, scale, datum, function):
    cells, notice = _sheetfind.cover_box(
        *(_edge_text(edge, name, function) for edge, name in zip(edges, _EDGES)),
        scale,
        _datum_text(datum, function),
    )
    _tell_shift(notice, stacklevel=4)
    return cells


def cover(south, west, north, east, scale="50k", datum="NAD83"):
    """Every cell at the scale that the box shares some area with, in reference order.

    An edge that lies on a cell's edge does not reach across it, so the bounds of a
    sheet cover that sheet alone; a box of no height or width covers the cells that
    own its points. The box is in `datum`'s degrees (as for locate()) and is shifted
    whole into the grid's, as sheetfind-cli cover --datum does: give datum="NAD27" for
    the PNG grid's own degrees, as bounds() gives them. InputError for a NaN edge, an
    edge out of range, south > north or west > east.

    Example:
        >>> cover(49.25, -123.5, 49.5, -123.0)
        ['092G06']
    """
    return _cover_box((south, west, north, east), _scale_text(scale, "cover"), datum, "cover")


def _bbox_edges(bbox):
    """bbox as its four edges; the whole globe for None."""
    if bbox is None:
        return _WHOLE_GLOBE
    needed = f"bbox must be 4 numbers (south, west, north, east), not {bbox!r}"
    if isinstance(bbox, (str, bytes)) or not isinstance(bbox, Iterable):
        raise TypeError(needed)
    edges = tuple(bbox)
    if len(edges) != len(_EDGES):
        raise ValueError(needed)
    return edges


def grid(scale="50k", bbox=None, datum="NAD83"):
    """Every cell of the scale, or those that the box bbox=(south, west, north, east) touches.

    The box is in `datum`'s degrees, shifted into the grid's as cover() shifts it.

    Without bbox a BCGS scale gives every cell BC drew: 11 758 at 1:20 000, 752 512 at
    1:2 500.

    Example:
        >>> len(grid("1m"))
        129
        >>> grid("250k", bbox=(49.0, -124.0, 50.0, -122.0))
        ['092G']
    """
    return _cover_box(_bbox_edges(bbox), _scale_text(scale, "grid"), datum, "grid")


def scale_name(scale):
    """The scale as a ratio, as sheetfind-cli writes it in its layers' scale field.

    InputError for a name that is none of scales().

    Example:
        >>> scale_name("250k")
        '1:250000'
    """
    return _sheetfind.scale_name(_scale_text(scale, "scale_name"))


def column_name(scale="50k"):
    """The field sheetfind-cli adds to a table or a layer for the scale.

    Example:
        >>> column_name("1:1000000")
        'nts_1m'
        >>> column_name("20k")
        'bcgs_20k'
    """
    return _sheetfind.column_name(_scale_text(scale, "column_name"))


def scales():
    """Every scale's short name, as the engine lists them: the NTS's from the coarsest,
    then the BCGS's, then the PNG grid's, each from the coarsest. Each is a valid
    `scale` argument.

    Example:
        >>> scales()
        ['1m', '250k', '50k', '20k', '10k', '5k', '2500', 'png-block', 'png-unit', 'png']
    """
    return _sheetfind.scales()


def is_bcgs(scale):
    """Whether the scale is one of the BCGS's, whose cells exist only in BC's series.

    Example:
        >>> is_bcgs("1:20000"), is_bcgs("50k")
        (True, False)
    """
    return _sheetfind.is_bcgs(_scale_text(scale, "is_bcgs"))


def is_png(scale):
    """Whether the scale is one of BC's petroleum and natural gas grid, drawn on NAD27,
    whose cells exist only in BC's series.

    Example:
        >>> is_png("png-unit"), is_png("50k")
        (True, False)
    """
    return _sheetfind.is_png(_scale_text(scale, "is_png"))


def cell_crs(scale="50k"):
    """The CRS of the cells of the scale, as sheetfind-cli writes their layers: their
    bounds and outlines are degrees of the datum their grid is drawn in, "EPSG:4267"
    (NAD27) for the PNG grid, "EPSG:4326" for the others.

    Example:
        >>> cell_crs("png"), cell_crs("50k")
        ('EPSG:4267', 'EPSG:4326')
    """
    return _gis().cell_crs(_scale_text(scale, "cell_crs"))


def field_value(cells):
    """The cells of one feature as sheetfind-cli writes them in one field: comma-separated.

    Example:
        >>> field_value(cover_geometry("LINESTRING (-123.2 49.3, -122.8 49.3)"))
        '092G06,092G07'
    """
    return _sheetfind.CELL_SEPARATOR.join(cells)


def cell_fields():
    """The fields of a layer of cells, as sheetfind-cli writes them: CellField(name, kind).

    Example:
        >>> [field.name for field in cell_fields()]
        ['reference', 'scale', 'south', 'west', 'north', 'east']
        >>> cell_fields()[2]
        CellField(name='south', kind='real')
    """
    return [CellField(*field) for field in _gis().cell_fields()]


def cell_records(references, points_per_edge=None):
    """Each cell as sheetfind-cli writes it in a layer of cells: CellRecord(values, outline).

    values holds one value for each of cell_fields(), in its order (a str for a text
    field, a float for a real one); outline is as cell_ring() draws it. InputError for
    a bad reference or points_per_edge outside 1..65536.

    Example:
        >>> (record,) = cell_records(["92g6"], points_per_edge=1)
        >>> record.values
        ('092G06', '1:50000', 49.25, -123.5, 49.5, -123.0)
        >>> record.outline[:2]
        [(-123.5, 49.25), (-123.0, 49.25)]
    """
    rows, outlines = _gis().cell_records(_many(references, "references", "str"), points_per_edge)
    return [CellRecord(values, outline) for values, outline in zip(rows, outlines)]


def cell_ring(reference, points_per_edge=None):
    """The outline of a cell as a closed ring of (longitude, latitude) in its
    cell_crs(): EPSG:4326, or EPSG:4267 for a PNG cell.

    Counter-clockwise from the south-west corner, each edge cut into points_per_edge
    equal steps (4 * points_per_edge + 1 points). By default as many as sheetfind-cli
    draws: enough that every edge stays within 10 m of its parallel once projected to
    a conic CRS such as Canada Lambert, where a series drawn from its corners alone
    strays by kilometres. InputError for a bad reference or points_per_edge outside
    1..65536.

    Example:
        >>> cell_ring("092G06", 1)
        [(-123.5, 49.25), (-123.0, 49.25), (-123.0, 49.5), (-123.5, 49.5), (-123.5, 49.25)]
    """
    (record,) = cell_records([reference], points_per_edge)
    return record.outline


def _crs_text(crs):
    # GDAL reads WKT, PROJJSON and authority codes; a pyproj CRS is handed over as WKT.
    if crs is None:
        return ""
    if hasattr(crs, "to_wkt"):
        return crs.to_wkt()
    if isinstance(crs, str):
        return crs
    raise TypeError(f"crs must be a str or have to_wkt(), not {type(crs).__name__}")


def cover_geometry(geometry, scale="50k", geodesic=False, crs=None):
    """The cells a geometry needs: WKT (str), WKB (bytes), a GeoJSON-like mapping, or
    any object with __geo_interface__ (shapely, a QGIS QgsGeometry's mapping...).

    crs: what GDAL reads as a CRS ("EPSG:3005", WKT, PROJJSON) or a pyproj CRS; None
    is EPSG:4326 with the longitude as x. The geometry goes to the same engine as
    sheetfind-cli cover, with the same answers: points get the cell that holds them;
    lines the cells that hold some point of them; polygons the cells that share some
    area with them, holes cut out; multi-part geometries and collections the union,
    in reference order; empty geometries none. Edges are straight in the CRS given
    (a straight line in BC Albers bows in degrees, and is followed as it bows);
    geodesic=True follows the geodesics between the vertices instead.

    Raises InputError with sheetfind-cli's message for a geometry that is not WKT,
    WKB or GeoJSON, a vertex out of range or a CRS GDAL cannot read.

    Example:
        >>> cover_geometry("LINESTRING (-123.95 49.3, -122.35 49.62)", scale="250k")
        ['092G']
        >>> cover_geometry({"type": "Point", "coordinates": [-123.1, 49.25]})
        ['092G06']
        >>> cover_geometry("POINT (1209000 480000)", crs="EPSG:3005")
        ['092G06']
    """
    scale = _scale_text(scale, "cover_geometry")
    gis = _gis()
    crs_text = _crs_text(crs)
    if isinstance(geometry, str):
        return gis.cover_wkt(geometry, crs_text, scale, geodesic)
    if isinstance(geometry, (bytes, bytearray, memoryview)):
        return gis.cover_wkb(bytes(geometry), crs_text, scale, geodesic)
    mapping = getattr(geometry, "__geo_interface__", geometry)
    if not isinstance(mapping, Mapping) or "type" not in mapping:
        raise TypeError(
            "the geometry must be WKT, WKB, a GeoJSON-like mapping or have "
            f"__geo_interface__, not {type(geometry).__name__}"
        )
    return gis.cover_geojson(json.dumps(mapping, default=_json_value), crs_text, scale, geodesic)


def _json_value(value):
    # __geo_interface__ may hold tuples (fine) and numpy numbers or arrays (not JSON).
    if hasattr(value, "tolist"):
        return value.tolist()
    raise TypeError(f"{type(value).__name__} is not a coordinate")


def _geometry_named(position):
    return f"geometry {position}", position


def _wkb(geometry, position, named):
    """The bytes of a WKB buffer, or None for no geometry."""
    if geometry is None:
        return None
    try:
        return memoryview(geometry).tobytes()
    except TypeError:
        raise TypeError(
            f"{named(position)[0]} is {type(geometry).__name__}, not WKB; pass its WKB, "
            "such as a shapely geometry's .wkb"
        ) from None


def _covered(geometries, scale, crs, geodesic, errors, named=_geometry_named,
             note="it has no cells", stacklevel=3):
    """The cells of each WKB geometry (None: no geometry, no cells), in one call to the
    engine: what cover_geometries and annotate share. named(position) gives the text
    that names a geometry in a message and the InputError's `index`. A geometry that
    fails raises that InputError with errors="raise", or gets no cells and a warning
    ending in `note` with errors="empty"; stacklevel points the warning at the caller."""
    if errors not in ("raise", "empty"):
        raise ValueError(f'errors must be "raise" or "empty", not {errors!r}')
    items = [_wkb(geometry, position, named) for position, geometry in enumerate(geometries)]
    cells, failures = _gis().annotate_wkb(items, _crs_text(crs), scale, geodesic)
    for position, message in failures:
        text, index = named(position)
        if errors == "raise":
            raise _input_error(text, index, message)
        warnings.warn(f"{text}: {message}; {note}", stacklevel=stacklevel)
    return cells


def cover_geometries(geometries, scale="50k", crs=None, geodesic=False, errors="raise"):
    """The cells of each of many geometries in one CRS, as cover_geometry gives them.

    geometries: an iterable of WKB (bytes or any buffer: a shapely geometry's .wkb,
    GeoSeries.to_wkb(), bytes(QgsGeometry.asWkb()), an OGR geometry's ExportToWkb()),
    or None for a feature without geometry, which has no cells. crs and geodesic as for
    cover_geometry. The geometries are covered in one call without the interpreter
    lock, so a layer's features cost no Python per vertex.

    Returns one list of references per geometry, in order. A geometry that gives no
    cells (not WKB, a vertex out of range, one GDAL cannot transform) raises InputError
    "geometry I: <sheetfind-cli's message>", its `index` attribute I and its `reason`
    the message alone; errors="empty" gives it [] with a warning instead.

    Example:
        >>> from shapely.geometry import Point
        >>> cover_geometries([Point(1209000, 480000).wkb, None], crs="EPSG:3005")
        [['092G06'], []]
    """
    return _covered(
        _many(geometries, "geometries", "WKB"), _scale_text(scale, "cover_geometries"), crs,
        geodesic, errors,
    )


def cover_layer(source, layer=None, scale="50k", crs=None, geodesic=False):
    """The cells of every feature of a layer that GDAL opens, as LayerCells.

    source: a path (str or os.PathLike), or anything GDAL opens; layer: the name of one of its layers, or
    None for its only one. crs: the CRS of the layer's coordinates, as for
    cover_geometry, in place of the layer's own (None: the layer's own). The features
    are read in one pass, their fields left unread, and covered as sheetfind-cli
    annotate covers them, without the interpreter lock. A feature whose geometry gives
    no cells (a vertex out of range, one GDAL cannot transform or read) has [] and is
    listed in failures with sheetfind-cli's message. InputError for a source GDAL
    cannot open, a missing layer or a CRS GDAL cannot read.

    Example:
        >>> cover_layer("points.gpkg").cells
        [['092G06'], []]
    """
    ids, cells, types, failures = _gis().layer_cells(
        _text(os.fspath(source) if isinstance(source, os.PathLike) else source, "source",
              "cover_layer"),
        None if layer is None else _text(layer, "layer", "cover_layer"),
        _crs_text(crs), _scale_text(scale, "cover_layer"), geodesic,
    )
    return LayerCells(ids, cells, types, failures)


def annotate(gdf, scale="50k", column=None, explode=False, errors="raise"):
    """The GeoDataFrame with the cells of every feature in a new column (needs geopandas).

    See sheetfind._frames.annotate; the column is column_name(scale) (nts_50k,
    nts_250k, nts_1m, bcgs_20k ... bcgs_2500, png_block, png_unit or png) unless
    `column` is given, and the frame's CRS must be set: it gives the datum too, and the
    engine transforms every feature into the grid's (NAD27 for the PNG scales). A
    feature whose geometry gives no cells
    raises InputError naming its row, or with errors="empty" gets "" and a warning, as
    sheetfind-cli leaves its field empty.

    Example:
        >>> annotate(frame)["nts_50k"].tolist()
        ['092G06']
    """
    # geopandas is optional and slow to import: loaded when first needed.
    from . import _frames

    return _frames.annotate(
        gdf, scale=_scale_text(scale, "annotate"), column=column, explode=explode, errors=errors
    )


def grid_frame(scale="50k", bbox=None, datum="NAD83"):
    """The cells of a scale as a GeoDataFrame in cell_crs(scale) (needs geopandas).

    bbox is in `datum`'s degrees, as for grid().

    The fields of a layer of cells that sheetfind-cli writes (reference, scale as
    "1:50000", south, west, north, east) and the cell's outline; see
    sheetfind._frames.grid_frame. The finer BCGS scales hold many cells (6 400 at 1:2 500
    in one map area): give them a small bbox.

    Example:
        >>> grid_frame("250k", bbox=(49.0, -124.0, 50.0, -122.0))["reference"].tolist()
        ['092G']
    """
    from . import _frames

    return _frames.grid_frame(
        scale=_scale_text(scale, "grid_frame"), bbox=bbox, datum=_datum_text(datum, "grid_frame")
    )
