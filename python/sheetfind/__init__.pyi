# SPDX-License-Identifier: MIT
import os
from typing import Any, Iterable, Literal, Mapping, NamedTuple, Optional, Sequence, Union, overload

import numpy as np
import numpy.typing as npt

Scale = Literal[
    "1m", "250k", "50k", "20k", "10k", "5k", "2500",
    "1:1000000", "1:250000", "1:50000", "1:20000", "1:10000", "1:5000", "1:2500",
    "png-block", "png-unit", "png",
]
# What datumNamed reads: these in any case, with or without a space or dash, and the
# EPSG codes 4269, 4326 and 4267 ("EPSG:4267").
Datum = str

class InputError(ValueError):
    # Which of many inputs failed: its position, or its row label for annotate; None
    # when the call had one input.
    index: Any
    # The message without the words that name the failing input.
    reason: str

class DatumShiftWarning(UserWarning): ...

class Point(NamedTuple):
    latitude: float
    longitude: float

class Bounds(NamedTuple):
    south: float
    west: float
    north: float
    east: float

class CellField(NamedTuple):
    name: str
    kind: Literal["text", "real"]

class CellRecord(NamedTuple):
    values: tuple[Union[str, float], ...]
    outline: list[tuple[float, float]]

class LayerCells(NamedTuple):
    ids: npt.NDArray[np.int64]
    cells: list[list[str]]
    geometry_types: list[int]
    failures: list[tuple[int, str]]

@overload
def locate(lat: float, lon: float, scale: Scale = ..., datum: Datum = ...) -> Optional[str]: ...
@overload
def locate(lat: Any, lon: Any, scale: Scale = ..., datum: Datum = ...) -> Any: ...
def point(text: str, lon_first: bool = ...) -> Point: ...
def read_points(
    data: Union[str, bytes, bytearray, memoryview], lon_first: bool = ...
) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]: ...
def locate_text(
    texts: Iterable[str],
    scale: Scale = ...,
    errors: Literal["raise", "empty"] = ...,
    lon_first: bool = ...,
    datum: Datum = ...,
) -> Any: ...
def bounds(ref: str) -> Bounds: ...
def parse(ref: str) -> str: ...
def scale_name(scale: Scale) -> str: ...
def column_name(scale: Scale = ...) -> str: ...
def scales() -> list[str]: ...
def is_bcgs(scale: Scale) -> bool: ...
def is_png(scale: Scale) -> bool: ...
def cell_crs(scale: Scale = ...) -> str: ...
def field_value(cells: Iterable[str]) -> str: ...
def cell_fields() -> list[CellField]: ...
def cell_records(
    references: Iterable[str], points_per_edge: Optional[int] = ...
) -> list[CellRecord]: ...
def cell_ring(reference: str, points_per_edge: Optional[int] = ...) -> list[tuple[float, float]]: ...
def neighbours(ref: str) -> list[str]: ...
def sort_references(references: Iterable[str]) -> list[str]: ...
def cover(
    south: Union[float, str],
    west: Union[float, str],
    north: Union[float, str],
    east: Union[float, str],
    scale: Scale = ...,
    datum: str = ...,
) -> list[str]: ...
def cover_geometry(
    geometry: Union[str, bytes, Mapping[str, Any], Any],
    scale: Scale = ...,
    geodesic: bool = ...,
    crs: Any = ...,
) -> list[str]: ...
def cover_geometries(
    geometries: Iterable[Optional[Union[bytes, bytearray, memoryview]]],
    scale: Scale = ...,
    crs: Any = ...,
    geodesic: bool = ...,
    errors: Literal["raise", "empty"] = ...,
) -> list[list[str]]: ...
def cover_layer(
    source: Union[str, "os.PathLike[str]"],
    layer: Optional[str] = ...,
    scale: Scale = ...,
    crs: Any = ...,
    geodesic: bool = ...,
) -> LayerCells: ...
def grid(
    scale: Scale = ..., bbox: Optional[Sequence[float]] = ..., datum: str = ...
) -> list[str]: ...
def annotate(
    gdf: Any,
    scale: Scale = ...,
    column: Optional[str] = ...,
    explode: bool = ...,
    errors: Literal["raise", "empty"] = ...,
) -> Any: ...
def grid_frame(
    scale: Scale = ..., bbox: Optional[Sequence[float]] = ..., datum: str = ...
) -> Any: ...
