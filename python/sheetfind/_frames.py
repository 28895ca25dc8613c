# SPDX-License-Identifier: MIT
"""GeoPandas helpers: the sheets of every feature of a frame, and the grid as a frame."""
import geopandas as gpd
import numpy as np
from shapely.geometry import Polygon

from . import _short_name, bounds, cell_ring, column_name, cover_geometry, field_value, grid, locate

# Cells are polygons in EPSG:4326, whose x is the longitude.
_GEOGRAPHIC = "EPSG:4326"


def _sheets_of(geometry, scale):
    if geometry is None or geometry.is_empty:
        return []
    return cover_geometry(geometry, scale)


def annotate(gdf, scale="50k", column=None, explode=False):
    """The frame with the NTS cells of every feature in a new column.

    The column is named as sheetfind-cli names it (nts_50k, nts_250k or nts_1m)
    unless `column` is given. Geometries are reprojected from the frame's CRS to
    EPSG:4326 to be looked up (the frame returned keeps its own CRS and geometry);
    a frame without a CRS is a ValueError, since its coordinates could be anything.
    Points get their cell; lines and polygons the cells they cross, comma-separated
    in reference order, or with explode=True one row per (feature, cell), the index
    repeated. A feature with no cell (outside the grid, or an empty geometry) gets ""
    and keeps its row.

    Example:
        >>> frame = gpd.GeoDataFrame(geometry=gpd.points_from_xy([-123.1], [49.25]),
        ...                          crs="EPSG:4326")
        >>> annotate(frame)["nts_50k"].tolist()
        ['092G06']
    """
    if gdf.crs is None:
        raise ValueError(
            "the frame has no CRS, so its coordinates cannot be placed on the grid; "
            "set one with GeoDataFrame.set_crs"
        )
    name = column if column is not None else column_name(scale)
    geographic = gdf.geometry.to_crs(_GEOGRAPHIC)
    points = np.asarray(geographic.geom_type == "Point") & ~np.asarray(geographic.is_empty)
    cells = [
        [] if is_point else _sheets_of(geometry, scale)
        for is_point, geometry in zip(points, geographic.array)
    ]
    if points.any():
        # Points, the common case, go through the array loop in one call.
        xs = geographic[points].x.to_numpy()
        ys = geographic[points].y.to_numpy()
        for position, found in zip(np.flatnonzero(points), locate(ys, xs, scale)):
            cells[position] = [found] if found else []

    out = gdf.copy()
    if not explode:
        out[name] = [field_value(found) for found in cells]
        return out
    repeats = [max(len(found), 1) for found in cells]
    out = out.iloc[np.repeat(np.arange(len(gdf)), repeats)].copy()
    out[name] = [cell for found in cells for cell in (found or [""])]
    return out


def grid_frame(scale="50k", bbox=None):
    """The cells of a scale as a GeoDataFrame in EPSG:4326: all of them, or those that
    bbox=(south, west, north, east) touches.

    Columns: reference, scale ("50k", "250k" or "1m"), south, west, north, east, and
    the cell's outline as a polygon (counter-clockwise, from its south-west corner).

    Example:
        >>> frame = grid_frame("250k", bbox=(49.0, -124.0, 50.0, -122.0))
        >>> frame["reference"].tolist(), frame.crs.to_epsg()
        (['092G'], 4326)
    """
    references = grid(scale, bbox)
    extents = [bounds(reference) for reference in references]
    rings = [Polygon(cell_ring(reference, 1)) for reference in references]
    return gpd.GeoDataFrame(
        {
            "reference": references,
            "scale": [_short_name(scale)] * len(references),
            "south": [extent.south for extent in extents],
            "west": [extent.west for extent in extents],
            "north": [extent.north for extent in extents],
            "east": [extent.east for extent in extents],
        },
        geometry=rings,
        crs=_GEOGRAPHIC,
    )
