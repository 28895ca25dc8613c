# SPDX-License-Identifier: MIT
"""The three Processing algorithms: the sheet of every feature, the sheets a layer
covers, and the grid over an extent.

The NTS grid is drawn on latitude and longitude (NAD83, which EPSG:4326 matches to
within a metre or two, far less than any sheet), so every geometry is reprojected to
EPSG:4326 before it is looked up, whatever the layer's CRS. Cells are written in
EPSG:4326 too, their edges cut into enough points to stay on their parallels once
QGIS projects them. The grid itself is the sheetfind module's: nothing here decides
which cell holds a point.
"""
import json

from qgis.core import (
    QgsCoordinateReferenceSystem,
    QgsCoordinateTransform,
    QgsCsException,
    QgsFeature,
    QgsFeatureSink,
    QgsField,
    QgsFields,
    QgsGeometry,
    QgsPointXY,
    QgsProcessing,
    QgsProcessingAlgorithm,
    QgsProcessingException,
    QgsProcessingParameterBoolean,
    QgsProcessingParameterEnum,
    QgsProcessingParameterExtent,
    QgsProcessingParameterFeatureSink,
    QgsProcessingParameterFeatureSource,
    QgsProcessingParameterString,
    QgsWkbTypes,
)
from qgis.PyQt.QtCore import QVariant

_GEOGRAPHIC = QgsCoordinateReferenceSystem("EPSG:4326")

# The points put into each edge of a projected extent before it is reprojected, since
# its edges bend in latitude and longitude. Measured on a 2 100 km edge in BC Albers
# (EPSG:3005): drawn from its corners it strays up to 138 km from its true curve, cut
# into 200 steps 4 m.
_EXTENT_STEPS = 199

# The scales as the module names them, and as the dialog offers them.
_SCALES = [
    ("50k", "1:50 000 (sheets, such as 092G06)"),
    ("250k", "1:250 000 (map areas, such as 092G)"),
    ("1m", "1:1 000 000 (series, such as 092)"),
]

# The fields of a layer of cells, as sheetfind-cli writes them: the reference, the
# scale as a ratio, and the cell's bounds in decimal degrees.
_CELL_FIELDS = [
    ("reference", QVariant.String),
    ("scale", QVariant.String),
    ("south", QVariant.Double),
    ("west", QVariant.Double),
    ("north", QVariant.Double),
    ("east", QVariant.Double),
]


def _module():
    """The sheetfind module, or None when QGIS's Python cannot import it."""
    try:
        import sheetfind
    except ImportError:
        return None
    return sheetfind


def _missing_module_message():
    import sys

    return (
        "The Python module sheetfind is not installed for the Python that QGIS runs "
        f"({sys.executable}). Install the sheetfind Debian package, or run "
        "'cmake --install' from a build of Sheetfind."
    )


def _to_geographic(source, context):
    """The transform from the source's CRS to EPSG:4326; None for a table."""
    if QgsWkbTypes.geometryType(source.wkbType()) == QgsWkbTypes.NullGeometry:
        return None
    if not source.sourceCrs().isValid():
        raise QgsProcessingException(
            "the layer has no CRS, so its coordinates cannot be placed on the grid; "
            "set one in the layer's properties"
        )
    return QgsCoordinateTransform(source.sourceCrs(), _GEOGRAPHIC, context.transformContext())


def _cells(sheetfind, feature, transform, scale):
    """The cells of one feature: a point's cell, or the cells a line or a polygon
    crosses; none for a feature without geometry."""
    geometry = QgsGeometry(feature.geometry())
    if geometry.isNull() or geometry.isEmpty():
        return []
    try:
        geometry.transform(transform)
    except QgsCsException as error:
        raise QgsProcessingException(
            f"feature {feature.id()}: cannot reproject its geometry from "
            f"{transform.sourceCrs().authid()} to EPSG:4326: {error}"
        ) from None
    # The module reads simple features: arcs become segments first.
    if QgsWkbTypes.isCurvedType(geometry.wkbType()):
        geometry.convertToStraightSegment()
    try:
        # As a GeoJSON-like mapping, which the module reads as it is: parsing WKT
        # with shapely took four fifths of the time, and QgsGeometry's own
        # __geo_interface__ evaluates the JSON as Python, three times slower than
        # json.loads.
        return sheetfind.cover_geometry(json.loads(geometry.asJson()), scale)
    except ValueError as error:  # sheetfind.InputError among them
        raise QgsProcessingException(f"feature {feature.id()}: {error}") from None


def _progress(feedback, done, total, start=0.0, end=100.0):
    if total > 0:
        feedback.setProgress(start + (end - start) * done / total)


class _SheetfindAlgorithm(QgsProcessingAlgorithm):
    """What the three algorithms share: the scale parameter and the module."""

    INPUT = "INPUT"
    SCALE = "SCALE"
    OUTPUT = "OUTPUT"
    # Each algorithm's id within the provider, its title and its help.
    ID = TITLE = HELP = ""

    def name(self):
        return self.ID

    def displayName(self):  # noqa: N802
        return self.TITLE

    def shortHelpString(self):  # noqa: N802
        return self.HELP

    def tags(self):
        # What the toolbox's search box finds the algorithms by.
        return ["sheetfind", "NTS", "National Topographic System", "Canada", "map sheet",
                "topographic", "grid"]

    def createInstance(self):  # noqa: N802
        return type(self)()

    def canExecute(self):  # noqa: N802
        if _module() is None:
            return False, _missing_module_message()
        return True, ""

    def _add_scale(self):
        self.addParameter(
            QgsProcessingParameterEnum(
                self.SCALE, "Scale", options=[label for _, label in _SCALES], defaultValue=0
            )
        )

    def _add_input(self, types):
        self.addParameter(QgsProcessingParameterFeatureSource(self.INPUT, "Input layer", types))

    def _add_cell_output(self, title):
        self.addParameter(
            QgsProcessingParameterFeatureSink(self.OUTPUT, title, QgsProcessing.TypeVectorPolygon)
        )

    def _source(self, parameters, context):
        source = self.parameterAsSource(parameters, self.INPUT, context)
        if source is None:
            raise QgsProcessingException(self.invalidSourceError(parameters, self.INPUT))
        return source

    def _scale(self, parameters, context):
        return _SCALES[self.parameterAsEnum(parameters, self.SCALE, context)][0]

    def _sheetfind(self):
        sheetfind = _module()
        if sheetfind is None:
            raise QgsProcessingException(_missing_module_message())
        return sheetfind

    def _cell_sink(self, parameters, context):
        fields = QgsFields()
        for name, kind in _CELL_FIELDS:
            fields.append(QgsField(name, kind))
        sink, destination = self.parameterAsSink(
            parameters, self.OUTPUT, context, fields, QgsWkbTypes.Polygon, _GEOGRAPHIC
        )
        if sink is None:
            raise QgsProcessingException(self.invalidSinkError(parameters, self.OUTPUT))
        return sink, destination, fields

    def _write_cells(self, sheetfind, references, scale, sink, fields, feedback, start):
        """Writes each cell as a polygon, progress running from start to 100."""
        ratio = sheetfind.scale_name(scale)
        for index, reference in enumerate(references):
            if feedback.isCanceled():
                return
            ring = [QgsPointXY(x, y) for x, y in sheetfind.cell_ring(reference)]
            cell = QgsFeature(fields)
            cell.setGeometry(QgsGeometry.fromPolygonXY([ring]))
            cell.setAttributes([reference, ratio, *sheetfind.bounds(reference)])
            if not sink.addFeature(cell, QgsFeatureSink.FastInsert):
                raise QgsProcessingException(f"cannot write the cell {reference}: {sink.lastError()}")
            _progress(feedback, index + 1, len(references), start)


class AddSheetField(_SheetfindAlgorithm):
    FIELD = "FIELD"
    EXPLODE = "EXPLODE"
    ID = "addntssheetfield"
    TITLE = "Add NTS sheet field"
    HELP = (
        "Copies the layer and adds the NTS reference of each feature at the chosen "
        "scale, in a text field named nts_50k, nts_250k or nts_1m unless another name "
        "is given. A point gets the cell that holds it, exactly on the cells' edges; a "
        "line or a polygon gets the cells it crosses, "
        "comma-separated, or one copy of the feature per cell with the option below. "
        "A feature outside the grid, or without geometry, keeps its place with an "
        "empty field. The geometries are reprojected from the layer's CRS to "
        "EPSG:4326 to be looked up; the copy keeps the layer's own."
    )

    def initAlgorithm(self, config=None):  # noqa: N802
        self._add_input([QgsProcessing.TypeVector])
        self._add_scale()
        self.addParameter(
            QgsProcessingParameterString(
                self.FIELD, "Field name (empty: nts_50k, nts_250k or nts_1m)", optional=True
            )
        )
        self.addParameter(
            QgsProcessingParameterBoolean(
                self.EXPLODE, "One feature per (feature, sheet) for lines and polygons",
                defaultValue=False,
            )
        )
        self.addParameter(QgsProcessingParameterFeatureSink(self.OUTPUT, "With NTS sheet"))

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        sheetfind = self._sheetfind()
        source = self._source(parameters, context)
        scale = self._scale(parameters, context)
        name = self.parameterAsString(parameters, self.FIELD, context).strip()
        name = name or sheetfind.column_name(scale)
        if source.fields().lookupField(name) >= 0:
            raise QgsProcessingException(
                f"the layer already has a field '{name}'; give another field name"
            )
        explode = self.parameterAsBoolean(parameters, self.EXPLODE, context)
        transform = _to_geographic(source, context)

        fields = QgsFields(source.fields())
        fields.append(QgsField(name, QVariant.String))
        sink, destination = self.parameterAsSink(
            parameters, self.OUTPUT, context, fields, source.wkbType(), source.sourceCrs()
        )
        if sink is None:
            raise QgsProcessingException(self.invalidSinkError(parameters, self.OUTPUT))

        total = source.featureCount()
        for index, feature in enumerate(source.getFeatures()):
            if feedback.isCanceled():
                break
            cells = _cells(sheetfind, feature, transform, scale)
            values = cells if explode and cells else [sheetfind.field_value(cells)]
            for value in values:
                copy = QgsFeature(fields)
                copy.setGeometry(feature.geometry())
                copy.setAttributes(feature.attributes() + [value])
                if not sink.addFeature(copy, QgsFeatureSink.FastInsert):
                    raise QgsProcessingException(
                        f"feature {feature.id()}: cannot write it: {sink.lastError()}"
                    )
            _progress(feedback, index + 1, total)
        return {self.OUTPUT: destination}


class SheetsCovering(_SheetfindAlgorithm):
    ID = "ntssheetscovering"
    TITLE = "NTS sheets covering a layer"
    HELP = (
        "The NTS cells at the chosen scale that the layer's features need, each once "
        "and in reference order, as polygons in EPSG:4326 with their reference, scale "
        "and bounds: the cells that hold its points, that its lines pass through and "
        "that its polygons share some area with. Features without geometry add none."
    )

    def initAlgorithm(self, config=None):  # noqa: N802
        self._add_input([QgsProcessing.TypeVectorAnyGeometry])
        self._add_scale()
        self._add_cell_output("NTS sheets")

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        sheetfind = self._sheetfind()
        source = self._source(parameters, context)
        scale = self._scale(parameters, context)
        transform = _to_geographic(source, context)
        sink, destination, fields = self._cell_sink(parameters, context)

        # Reading the features is the first half of the work, writing the cells the
        # second.
        needed = set()
        total = source.featureCount()
        for index, feature in enumerate(source.getFeatures()):
            if feedback.isCanceled():
                return {self.OUTPUT: destination}
            needed.update(_cells(sheetfind, feature, transform, scale))
            _progress(feedback, index + 1, total, 0.0, 50.0)
        # References of one scale sort in reference order as texts.
        self._write_cells(sheetfind, sorted(needed), scale, sink, fields, feedback, 50.0)
        return {self.OUTPUT: destination}


class Grid(_SheetfindAlgorithm):
    EXTENT = "EXTENT"

    ID = "ntsgrid"
    TITLE = "NTS grid"
    HELP = (
        "Every NTS cell at the chosen scale that shares some area with the extent, as "
        "polygons in EPSG:4326 with their reference, scale and bounds. The extent is "
        "reprojected from its CRS to latitude and longitude first; an extent whose "
        "edge lies on a cell's edge does not reach into the next cell."
    )

    def initAlgorithm(self, config=None):  # noqa: N802
        self.addParameter(QgsProcessingParameterExtent(self.EXTENT, "Extent"))
        self._add_scale()
        self._add_cell_output("NTS grid")

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        sheetfind = self._sheetfind()
        scale = self._scale(parameters, context)
        sink, destination, fields = self._cell_sink(parameters, context)
        try:
            references = self._cells_of_extent(sheetfind, parameters, context, scale)
        except QgsCsException as error:
            raise QgsProcessingException(f"cannot reproject the extent to EPSG:4326: {error}") from None
        except ValueError as error:  # an edge that the transform made NaN
            raise QgsProcessingException(f"the extent: {error}") from None
        feedback.pushInfo(f"{len(references)} cells at {sheetfind.scale_name(scale)}.")
        self._write_cells(sheetfind, references, scale, sink, fields, feedback, 0.0)
        return {self.OUTPUT: destination}

    def _cells_of_extent(self, sheetfind, parameters, context, scale):
        extent = self.parameterAsExtent(parameters, self.EXTENT, context)
        crs = self.parameterAsExtentCrs(parameters, self.EXTENT, context)
        if crs.isValid() and crs != _GEOGRAPHIC and extent.area() > 0:
            # A rectangle in a projected CRS is a curved shape in latitude and
            # longitude, and its box there holds cells the rectangle never reaches:
            # the cells are those its outline, each edge cut into small steps, shares
            # some area with.
            outline = QgsGeometry.fromRect(extent).densifyByCount(_EXTENT_STEPS)
            outline.transform(QgsCoordinateTransform(crs, _GEOGRAPHIC, context.transformContext()))
            return sheetfind.cover_geometry(outline.asWkt(), scale)
        if crs.isValid() and crs != _GEOGRAPHIC:
            extent = self.parameterAsExtent(parameters, self.EXTENT, context, _GEOGRAPHIC)
        # A transformed extent can reach past the poles or the antimeridian by a
        # rounding error; the grid ends there anyway.
        south, north = max(extent.yMinimum(), -90.0), min(extent.yMaximum(), 90.0)
        west, east = max(extent.xMinimum(), -180.0), min(extent.xMaximum(), 180.0)
        if south > north or west > east:
            return []
        return sheetfind.grid(scale, bbox=(south, west, north, east))
