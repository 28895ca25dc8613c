# SPDX-License-Identifier: MIT
"""GeoPandas helpers: the sheets of every feature of a frame, and the grid as a frame."""
import geopandas as gpd
import numpy as np
import shapely
from shapely.geometry import Point, Polygon

from . import (
    InputError,
    _covered,
    _crs_text,
    _gis,
    _locate,
    cell_crs,
    cell_fields,
    cell_records,
    column_name,
    field_value,
    grid,
)

# The geographic CRSs whose degrees the array loop takes as they are, with the datum
# the engine reads from their code (it shifts them into the grid's where needed); the
# engine's GIS library transforms every other CRS, as it does lines and polygons.
_POINT_DATUMS = {4326: "EPSG:4326", 4269: "EPSG:4269", 4267: "EPSG:4267"}


def _point_coordinates(geometries):
    """(points, ys, xs): which geometries are points that are not empty, and their y and
    x (NaN for the others), without a Python call per point."""
    values = np.asarray(geometries.values.data, dtype=object)
    if hasattr(shapely, "get_type_id"):  # shapely 2 reads arrays itself
        points = (shapely.get_type_id(values) == 0) & ~shapely.is_empty(values)
        return points, shapely.get_y(values), shapely.get_x(values)
    return _gis().point_coordinates(values, Point)


def _fast_points(geometries, crs=None, scale=None):
    """Which features are points the array loop can answer: points in range, and their
    y and x. With a CRS not in degrees (`crs`), the points are first transformed into
    the degrees of the grid's datum at `scale` by the engine, as whole arrays.

    Any other point goes to the engine, which reports a vertex out of range, or one it
    cannot transform, as sheetfind-cli does, rather than giving it no cell in silence.
    """
    points, ys, xs = _point_coordinates(geometries)
    if crs is not None and points.any():
        xs[points], ys[points] = _gis().grid_degrees(
            xs[points], ys[points], _crs_text(crs), scale)
    with np.errstate(invalid="ignore"):
        points &= (np.abs(ys) <= 90) & (np.abs(xs) <= 180)
    return points, ys, xs


def annotate(gdf, scale="50k", column=None, explode=False, errors="raise"):
    """The frame with the cells of every feature at the scale in a new column.

    The column is named as sheetfind-cli names it (column_name(scale): nts_50k,
    nts_250k, nts_1m, bcgs_20k ... bcgs_2500, png_block, png_unit or png) unless
    `column` is given; a frame that already has a column of that name (or
    names its geometry so) is an InputError, as sheetfind-cli refuses to replace a
    field. The geometries are handed to the engine as WKB with the frame's CRS as
    WKT, and every edge is followed as it is straight in that CRS, as sheetfind-cli
    annotate does; the frame returned keeps its own CRS and geometry. The engine
    transforms them into the datum of the grid asked for: NAD27 for the PNG scales,
    so a frame in EPSG:4267 is read as it is there and one in any other CRS is
    shifted. A frame without a CRS is a ValueError, since its coordinates could be
    anything.

    Points get their cell; lines and polygons the cells they cross, comma-separated
    in reference order, or with explode=True one row per (feature, cell), the index
    repeated. A feature with no cell (outside the grid, no geometry, or an empty
    one) gets "" and keeps its row. A geometry that cannot give cells (a vertex out
    of range, one GDAL cannot transform) raises InputError naming its row index with
    sheetfind-cli's message, its `index` attribute the row's index; errors="empty"
    gives it "" with a warning instead, as sheetfind-cli reports it and leaves its
    field empty.

    Example:
        >>> frame = gpd.GeoDataFrame(geometry=gpd.points_from_xy([-123.1], [49.25]),
        ...                          crs="EPSG:4326")
        >>> annotate(frame)["nts_50k"].tolist()
        ['092G06']
    """
    if errors not in ("raise", "empty"):
        raise ValueError(f'errors must be "raise" or "empty", not {errors!r}')
    if not isinstance(gdf, gpd.GeoDataFrame):
        raise TypeError(
            f"annotate needs a geopandas GeoDataFrame, not {type(gdf).__name__}; for "
            "latitude and longitude columns use locate(frame[lat], frame[lon])"
        )
    if gdf.crs is None:
        raise ValueError(
            "the frame has no CRS, so its coordinates cannot be placed on the grid; "
            "set one with GeoDataFrame.set_crs"
        )
    name = column if column is not None else column_name(scale)
    if name in gdf.columns or name == gdf.geometry.name or name == "geometry":
        raise InputError(f"the frame already has a column '{name}'; name another with column=")

    geometries = gdf.geometry
    datum = _POINT_DATUMS.get(gdf.crs.to_epsg())
    if datum is not None:
        fast, ys, xs = _fast_points(geometries)
    else:
        # Already in the grid's datum once transformed: located without a shift.
        fast, ys, xs = _fast_points(geometries, gdf.crs, scale)
        datum = cell_crs(scale)
    # Only the features that are not such points go to the engine as WKB.
    slow = np.flatnonzero(~fast)
    slow_cells = _covered(
        geometries.iloc[slow].to_wkb() if slow.size else [], scale, gdf.crs, False, errors,
        named=lambda position: (f"row {gdf.index[slow[position]]!r}", gdf.index[slow[position]]),
        note=f"its {name} is empty", stacklevel=4,
    )
    values = np.empty(len(gdf), dtype=object)
    if fast.any():
        values[fast] = _locate(ys[fast], xs[fast], scale, datum, "annotate", stacklevel=5)

    out = gdf.copy()
    if not explode:
        values[slow] = [field_value(found) for found in slow_cells]
        out[name] = values
        return out
    cells = [[found] if found else [] for found in values]
    for position, found in zip(slow, slow_cells):
        cells[position] = found
    repeats = [max(len(found), 1) for found in cells]
    out = out.iloc[np.repeat(np.arange(len(gdf)), repeats)].copy()
    out[name] = [cell for found in cells for cell in (found or [""])]
    return out


def grid_frame(scale="50k", bbox=None, datum="NAD83"):
    """The cells of a scale as a GeoDataFrame in cell_crs(scale) (EPSG:4326, or
    EPSG:4267 for the PNG grid): all of them, or those that bbox=(south, west, north,
    east) touches.

    The columns are the fields of a layer of cells that sheetfind-cli writes, in its
    order: reference, scale (scale_name(scale): "1:50000", "1:20000"...), south, west,
    north, east; and the cell's outline as a polygon, counter-clockwise from its
    south-west corner, each edge cut as sheetfind-cli cuts it so that it stays on its
    parallel once projected.

    Example:
        >>> frame = grid_frame("250k", bbox=(49.0, -124.0, 50.0, -122.0))
        >>> frame["reference"].tolist(), frame["scale"].tolist(), frame.crs.to_epsg()
        (['092G'], ['1:250000'], 4326)
    """
    records = cell_records(grid(scale, bbox, datum))
    return gpd.GeoDataFrame(
        [record.values for record in records],
        columns=[field.name for field in cell_fields()],
        geometry=[Polygon(record.outline) for record in records],
        crs=cell_crs(scale),
    )
