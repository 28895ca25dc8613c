# SPDX-License-Identifier: MIT
"""The three Processing algorithms: the sheet of every feature, the sheets a layer
covers, and the grid over an extent, at any scale of the NTS, of BC's BCGS or of its
petroleum and natural gas (PNG) grid.

Everything about the grid is the sheetfind module's: each geometry goes to it as WKB
with its layer's CRS (a whole layer saved in a file GDAL reads goes as the file, which
the module reads in one pass), and it transforms to latitude and longitude in the
datum of the grid asked for (following each edge as it is straight in that CRS; NAD27
for the PNG grid, so a NAD27 layer is read as it is), finds the cells, and gives the
fields, outline and CRS of each cell. Nothing here decides which cell holds a point.
"""
import os
from itertools import islice

from qgis.core import (
    QgsCoordinateReferenceSystem,
    QgsFeature,
    QgsFeatureRequest,
    QgsFeatureSink,
    QgsField,
    QgsFields,
    QgsGeometry,
    QgsGeometryCollection,
    QgsPointXY,
    QgsProcessing,
    QgsProcessingAlgorithm,
    QgsProcessingException,
    QgsProcessingFeatureSourceDefinition,
    QgsProcessingParameterBoolean,
    QgsProcessingParameterEnum,
    QgsProcessingParameterExtent,
    QgsProcessingParameterFeatureSink,
    QgsProcessingParameterFeatureSource,
    QgsProcessingParameterString,
    QgsProviderRegistry,
    QgsRectangle,
    QgsWkbTypes,
)
from qgis.PyQt.QtCore import QVariant

_GEOGRAPHIC = QgsCoordinateReferenceSystem("EPSG:4326")

# Features handed to the module at once: enough that a call costs little against its
# geometries, few enough that progress and Cancel keep up.
_BATCH = 500

# The most features whose cells are read from a layer's file in one pass: the module's
# answer holds about 120 bytes a point, some 240 MB at this count. A larger layer is
# covered a batch at a time from QGIS's geometries, in memory that does not grow.
_WHOLE_LAYER_MOST = 2_000_000

# The point whose cell each scale's choice shows as its example: in BC, so it has one
# at every NTS and BCGS scale; the PNG grid's is in north-east BC, in its NAD27.
_EXAMPLE_POINT = (49.25, -123.1)
_PNG_EXAMPLE_POINT = (56.91, -120.565)

# The kinds of the module's cell fields as QGIS types them.
_FIELD_TYPES = {"text": QVariant.String, "real": QVariant.Double}


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


def _system(sheetfind, scale):
    if sheetfind.is_png(scale):
        return "PNG"
    return "BCGS" if sheetfind.is_bcgs(scale) else "NTS"


def _scale_choices(sheetfind):
    """The module's scales in the order the dialog offers them, as (name, label), such
    as ("20k", "1:20000 (BCGS, such as 092G025)"); none without the module. Saved models
    and scripts hold a choice's position, and 0, 1 and 2 have always been 1:50 000,
    1:250 000 and 1:1 000 000: the NTS scales come first, from the finest, then the
    BCGS's, from the coarsest, then the PNG grid's, from the coarsest."""
    if sheetfind is None:
        return []
    systems = {"NTS": [], "BCGS": [], "PNG": []}
    for scale in sheetfind.scales():
        systems[_system(sheetfind, scale)].append(scale)
    choices = []
    for scale in systems["NTS"][::-1] + systems["BCGS"] + systems["PNG"]:
        system = _system(sheetfind, scale)
        if system == "PNG":
            example = sheetfind.locate(*_PNG_EXAMPLE_POINT, scale, datum="NAD27")
        else:
            example = sheetfind.locate(*_EXAMPLE_POINT, scale)
        choices.append((scale, f"{sheetfind.scale_name(scale)} ({system}, such as {example})"))
    return choices


def _crs_wkt(crs):
    # WKT2 as GDAL reads it; QGIS's default WKT1 loses the axis order and datum
    # details of some CRSs.
    return crs.toWkt(QgsCoordinateReferenceSystem.WKT_PREFERRED)


def _layer_crs(source, crs):
    """The layer's CRS as WKT for the module; None for a table, which has no geometry."""
    if QgsWkbTypes.geometryType(source.wkbType()) == QgsWkbTypes.NullGeometry:
        return None
    if not crs.isValid():
        raise QgsProcessingException(
            "the layer has no CRS, so its coordinates cannot be placed on the grid; "
            "set one in the layer's properties"
        )
    return _crs_wkt(crs)


def _holds(layer_type, geometry_type):
    """Whether a layer of layer_type takes a geometry of geometry_type with nothing lost:
    writers make a part a multi-part, a line a curve, and add a Z or an M, but drop
    what the layer's type has no room for."""
    if layer_type == geometry_type:
        return True
    kind = QgsWkbTypes.geometryType(layer_type)
    return (
        kind == QgsWkbTypes.geometryType(geometry_type)
        and kind in (QgsWkbTypes.PointGeometry, QgsWkbTypes.LineGeometry,
                     QgsWkbTypes.PolygonGeometry)
        and all(has(layer_type) or not has(geometry_type)
                for has in (QgsWkbTypes.isMultiType, QgsWkbTypes.isCurvedType,
                            QgsWkbTypes.hasZ, QgsWkbTypes.hasM))
    )


def _output_type(declared, found):
    """The geometry type of the copy: the layer's own, unless its features do not fit
    it. A GeoPackage layer of type Unknown (GEOMETRY) says it is of its first feature's
    type and may hold any other; a layer of geometry collections does not say at all.
    Then the copy takes a type that holds every one of them: the multi-part type of
    their kind, or a geometry collection where kinds are mixed."""
    if all(_holds(declared, kind) for kind in found):
        return declared
    if QgsWkbTypes.geometryType(declared) not in (QgsWkbTypes.NullGeometry,
                                                   QgsWkbTypes.UnknownGeometry):
        found = found | {declared}
    kinds = {QgsWkbTypes.geometryType(kind) for kind in found}
    curved = any(QgsWkbTypes.isCurvedType(kind) for kind in found)
    output = {
        QgsWkbTypes.PointGeometry: QgsWkbTypes.MultiPoint,
        QgsWkbTypes.LineGeometry: QgsWkbTypes.MultiCurve if curved else QgsWkbTypes.MultiLineString,
        QgsWkbTypes.PolygonGeometry: QgsWkbTypes.MultiSurface if curved else QgsWkbTypes.MultiPolygon,
    }.get(kinds.pop() if len(kinds) == 1 else None, QgsWkbTypes.GeometryCollection)
    if any(QgsWkbTypes.hasZ(kind) for kind in found):
        output = QgsWkbTypes.addZ(output)
    if any(QgsWkbTypes.hasM(kind) for kind in found):
        output = QgsWkbTypes.addM(output)
    return output


def _fitted(geometry, output_type):
    """The geometry as a layer of output_type stores it: in a collection of its own
    where the layer is one of geometry collections (QGIS's memory layers take nothing
    else there), as it is otherwise."""
    if (geometry.isNull()
            or QgsWkbTypes.flatType(output_type) != QgsWkbTypes.GeometryCollection
            or QgsWkbTypes.flatType(geometry.wkbType()) == QgsWkbTypes.GeometryCollection):
        return geometry
    collection = QgsGeometryCollection()
    collection.addGeometry(geometry.constGet().clone())
    return QgsGeometry(collection)


def _batches(features, size=_BATCH):
    features = iter(features)
    while batch := list(islice(features, size)):
        yield batch


def _cells(sheetfind, features, crs, scale, feedback):
    """The cells of each feature: a point's cell, or the cells a line or a polygon
    crosses; none for a feature without geometry. A feature whose geometry gives no
    cells (a vertex out of range, one that cannot be transformed) is reported with the
    module's message, as sheetfind-cli reports it, and has none; the others are
    answered."""
    geometries = []
    for feature in features:
        geometry = feature.geometry()
        geometries.append(None if geometry.isNull() else bytes(geometry.asWkb()))
    cells = []
    while len(cells) < len(geometries):
        rest = geometries[len(cells):]
        try:
            cells += sheetfind.cover_geometries(rest, scale, crs=crs)
        except sheetfind.InputError as error:
            failed, reason = error.index, error.reason
            # The error's traceback would keep the frames above alive, and with them
            # the sink, which writes its file whole only when it is deleted.
            error.__traceback__ = None
        else:
            continue
        # The module answers a batch whole or not at all: the geometries before the
        # failed one are covered again, and the rest after it.
        if failed > 0:
            cells += sheetfind.cover_geometries(rest[:failed], scale, crs=crs)
        feedback.reportError(f"feature {features[len(cells)].id()}: {reason}", False)
        cells.append([])
    return cells


def _report(feedback, failures):
    for feature, reason in failures:
        feedback.reportError(f"feature {feature}: {reason}", False)


def _layer_file(layer):
    """(path, layer name or None) by which GDAL reads the very features QGIS gives of
    the layer, in the same order: a layer of QGIS's ogr provider saved in a file, with
    no subset, no unsaved edits and nothing else in its source (a geometry type that
    splits a file's layer, open options); None for any other layer."""
    if (layer is None or layer.providerType() != "ogr" or layer.subsetString()
            or layer.isModified()):
        return None
    parts = QgsProviderRegistry.instance().decodeUri("ogr", layer.source())
    path = parts.get("path")
    if (not path or not os.path.isfile(path)
            or any(value for key, value in parts.items()
                   if key not in ("path", "layerName", "layerId"))):
        return None
    return path, parts.get("layerName") or None


class _BatchCells:
    """The cells of a source's features, a batch at a time as they are read: from the
    module's one pass over the layer's file where there is one (`whole`, a
    sheetfind.LayerCells) and the batch holds the features it read there, in its order;
    from each feature's WKB otherwise."""

    def __init__(self, sheetfind, crs, scale, feedback, whole=None):
        self._sheetfind, self._crs, self._scale = sheetfind, crs, scale
        self._feedback, self._whole = feedback, whole
        self._failed = dict(whole.failures) if whole is not None else {}
        self._read = 0

    def of(self, batch):
        start, self._read = self._read, self._read + len(batch)
        if self._whole is not None:
            ids = [feature.id() for feature in batch]
            if self._whole.ids[start:self._read].tolist() == ids:
                if self._failed:
                    _report(self._feedback, [(feature, self._failed[feature])
                                             for feature in ids if feature in self._failed])
                return self._whole.cells[start:self._read]
        return _cells(self._sheetfind, batch, self._crs, self._scale, self._feedback)


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
                "topographic", "grid", "BCGS", "British Columbia", "PNG",
                "petroleum and natural gas"]

    def createInstance(self):  # noqa: N802
        return type(self)()

    def canExecute(self):  # noqa: N802
        if _module() is None:
            return False, _missing_module_message()
        return True, ""

    def _add_scale(self):
        self.addParameter(
            QgsProcessingParameterEnum(
                self.SCALE, "Scale",
                options=[label for _, label in _scale_choices(_module())], defaultValue=0,
            )
        )

    def _add_input(self, types):
        self.addParameter(QgsProcessingParameterFeatureSource(self.INPUT, "Input layer", types))

    def _add_cell_output(self, title):
        self.addParameter(
            QgsProcessingParameterFeatureSink(self.OUTPUT, title, QgsProcessing.TypeVectorPolygon)
        )

    def _source(self, parameters, context):
        # The module covers an invalid polygon (a bow tie, a ring that touches itself)
        # exactly, so QGIS need not check validity. And QGIS 3.22 must not: after it
        # has dropped or refused an invalid feature, the next Processing run crashes.
        # The source keeps the setting it is made with; the context gets its own back.
        check = context.invalidGeometryCheck()
        context.setInvalidGeometryCheck(QgsFeatureRequest.GeometryNoCheck)
        try:
            source = self.parameterAsSource(parameters, self.INPUT, context)
        finally:
            context.setInvalidGeometryCheck(check)
        if source is None:
            raise QgsProcessingException(self.invalidSourceError(parameters, self.INPUT))
        return source

    def _source_crs(self, source, parameters, context):
        crs = source.sourceCrs()
        if (not crs.isValid() and QgsWkbTypes.geometryType(source.wkbType())
                == QgsWkbTypes.UnknownGeometry):
            # QGIS 3.22 takes a layer of geometry collections for a table and gives it
            # no CRS, although its data provider has read one.
            layer = self.parameterAsVectorLayer(parameters, self.INPUT, context)
            if layer is not None and layer.dataProvider() is not None:
                crs = layer.dataProvider().crs()
        return crs

    def _whole_layer_cells(self, sheetfind, parameters, context, source, crs, scale):
        """The module's cells of every feature of the input, read from its file in one
        pass (sheetfind.LayerCells), where the source is a whole layer saved in one of
        at most _WHOLE_LAYER_MOST features: not the selected features alone, no limit,
        no check that drops invalid geometries. None otherwise, and where the module
        cannot read the file or reads another number of features than QGIS counts:
        the features are then covered from QGIS's geometries, as any layer's are."""
        definition = parameters.get(self.INPUT)
        if isinstance(definition, QgsProcessingFeatureSourceDefinition) and (
                definition.selectedFeaturesOnly or definition.featureLimit >= 0
                or definition.flags
                & QgsProcessingFeatureSourceDefinition.FlagOverrideDefaultGeometryCheck):
            return None
        count = source.featureCount()
        if crs is None or not 0 <= count <= _WHOLE_LAYER_MOST:
            return None
        file = _layer_file(self.parameterAsVectorLayer(parameters, self.INPUT, context))
        if file is None:
            return None
        try:
            whole = sheetfind.cover_layer(*file, scale=scale, crs=crs)
        except sheetfind.InputError:
            return None
        return whole if len(whole.ids) == count else None

    def _scale(self, sheetfind, parameters, context):
        choices = _scale_choices(sheetfind)
        return choices[self.parameterAsEnum(parameters, self.SCALE, context)][0]

    def _sheetfind(self):
        sheetfind = _module()
        if sheetfind is None:
            raise QgsProcessingException(_missing_module_message())
        return sheetfind

    def _cell_sink(self, sheetfind, scale, parameters, context):
        fields = QgsFields()
        for field in sheetfind.cell_fields():
            fields.append(QgsField(field.name, _FIELD_TYPES[field.kind]))
        # The cells' outlines are degrees of their grid's datum: NAD27 for the PNG grid.
        crs = QgsCoordinateReferenceSystem(sheetfind.cell_crs(scale))
        sink, destination = self.parameterAsSink(
            parameters, self.OUTPUT, context, fields, QgsWkbTypes.Polygon, crs
        )
        if sink is None:
            raise QgsProcessingException(self.invalidSinkError(parameters, self.OUTPUT))
        return sink, destination, fields

    def _write_cells(self, sheetfind, references, sink, fields, feedback, start):
        """Writes each cell as a polygon, progress running from start to 100."""
        done = 0
        for batch in _batches(references):
            for reference, record in zip(batch, sheetfind.cell_records(batch)):
                if feedback.isCanceled():
                    return
                cell = QgsFeature(fields)
                cell.setGeometry(
                    QgsGeometry.fromPolygonXY([[QgsPointXY(x, y) for x, y in record.outline]])
                )
                cell.setAttributes(list(record.values))
                if not sink.addFeature(cell, QgsFeatureSink.FastInsert):
                    raise QgsProcessingException(
                        f"cannot write the cell {reference}: {sink.lastError()}"
                    )
                done += 1
                _progress(feedback, done, len(references), start)


class AddSheetField(_SheetfindAlgorithm):
    FIELD = "FIELD"
    EXPLODE = "EXPLODE"
    ID = "addntssheetfield"
    TITLE = "Add NTS sheet field"
    HELP = (
        "Copies the layer and adds the reference of each feature at the chosen NTS, "
        "BCGS or PNG scale, in a text field named after the scale (nts_50k, nts_250k, "
        "nts_1m, bcgs_20k, bcgs_10k, bcgs_5k, bcgs_2500, png_block, png_unit or png) "
        "unless another name is given. A BCGS or PNG scale has cells only in BC's NTS "
        "series. A point gets the cell that holds "
        "it, exactly on the cells' edges; a line or a polygon gets the cells it crosses, "
        "comma-separated, or one copy of the feature per cell with the option below. "
        "A feature outside the grid, or without geometry, keeps its place with an "
        "empty field. The geometries are reprojected from the layer's CRS to "
        "latitude and longitude in the datum of the grid (NAD27 for the PNG grid, "
        "EPSG:4326 for the others) to be looked up; the copy keeps the layer's own."
    )

    def initAlgorithm(self, config=None):  # noqa: N802
        self._add_input([QgsProcessing.TypeVector])
        self._add_scale()
        self.addParameter(
            QgsProcessingParameterString(
                self.FIELD, "Field name (empty: named after the scale, such as nts_50k)",
                optional=True,
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
        scale = self._scale(sheetfind, parameters, context)
        name = self.parameterAsString(parameters, self.FIELD, context).strip()
        name = name or sheetfind.column_name(scale)
        if source.fields().lookupField(name) >= 0:
            raise QgsProcessingException(
                f"the layer already has a field '{name}'; give another field name"
            )
        explode = self.parameterAsBoolean(parameters, self.EXPLODE, context)
        source_crs = self._source_crs(source, parameters, context)
        crs = _layer_crs(source, source_crs)

        whole = self._whole_layer_cells(sheetfind, parameters, context, source, crs, scale)
        found = set()
        if whole is not None:
            found = {QgsWkbTypes.Type(kind) for kind in whole.geometry_types}
        if whole is None or not all(QgsWkbTypes.displayString(kind) for kind in found):
            # A first pass over the geometries alone finds the type that holds them all,
            # as QGIS gives them: it reads a kind it has no type for (a TIN) as another.
            whole, found = None, set()
            for feature in source.getFeatures(QgsFeatureRequest().setNoAttributes()):
                if feedback.isCanceled():
                    return {}
                if feature.hasGeometry():
                    found.add(feature.geometry().wkbType())
        output_type = _output_type(source.wkbType(), found)
        collected = QgsWkbTypes.flatType(output_type) == QgsWkbTypes.GeometryCollection

        fields = QgsFields(source.fields())
        fields.append(QgsField(name, QVariant.String))
        sink, destination = self.parameterAsSink(
            parameters, self.OUTPUT, context, fields, output_type, source_crs
        )
        if sink is None:
            raise QgsProcessingException(self.invalidSinkError(parameters, self.OUTPUT))

        # Each feature read goes out with its field added, a batch at a time: a copy is
        # made only where one feature becomes several. A batch is at most a thousandth
        # of the layer, so that progress and Cancel keep up with a small one.
        total, done = source.featureCount(), 0
        size = min(_BATCH, max(1, total // 1000))
        added = fields.count() - 1
        field_value = sheetfind.field_value
        batch_cells = _BatchCells(sheetfind, crs, scale, feedback, whole)
        for batch in _batches(source.getFeatures(), size):
            if feedback.isCanceled():
                break
            written = []
            for feature, cells in zip(batch, batch_cells.of(batch)):
                if collected:
                    shape = feature.geometry()
                    geometry = _fitted(shape, output_type)
                    if geometry is not shape:
                        feature.setGeometry(geometry)
                if explode and len(cells) > 1:
                    for cell in cells:
                        copy = QgsFeature(fields)
                        copy.setGeometry(feature.geometry())
                        copy.setAttributes(feature.attributes() + [cell])
                        written.append(copy)
                else:
                    feature.padAttributes(1)
                    feature.setAttribute(added, field_value(cells))
                    written.append(feature)
            if not sink.addFeatures(written, QgsFeatureSink.FastInsert):
                raise QgsProcessingException(
                    f"features {batch[0].id()} to {batch[-1].id()}: cannot write them: "
                    f"{sink.lastError()}"
                )
            done += len(batch)
            _progress(feedback, done, total)
        return {self.OUTPUT: destination}


class SheetsCovering(_SheetfindAlgorithm):
    ID = "ntssheetscovering"
    TITLE = "NTS sheets covering a layer"
    HELP = (
        "The NTS, BCGS or PNG cells at the chosen scale that the layer's features need, "
        "each once and in reference order, as polygons in EPSG:4326 (EPSG:4267, NAD27, "
        "for the PNG grid) with their reference, scale and bounds: the cells that hold its points, that its lines pass through and "
        "that its polygons share some area with. Features without geometry add none."
    )

    def initAlgorithm(self, config=None):  # noqa: N802
        self._add_input([QgsProcessing.TypeVectorAnyGeometry])
        self._add_scale()
        self._add_cell_output("NTS sheets")

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        sheetfind = self._sheetfind()
        source = self._source(parameters, context)
        scale = self._scale(sheetfind, parameters, context)
        crs = _layer_crs(source, self._source_crs(source, parameters, context))
        sink, destination, fields = self._cell_sink(sheetfind, scale, parameters, context)

        # Reading the features is the first half of the work, writing the cells the
        # second.
        needed = set()
        whole = self._whole_layer_cells(sheetfind, parameters, context, source, crs, scale)
        if whole is not None:
            _report(feedback, whole.failures)
            for cells in whole.cells:
                needed.update(cells)
            _progress(feedback, 1, 1, 0.0, 50.0)
        else:
            total, done = source.featureCount(), 0
            for batch in _batches(source.getFeatures()):
                if feedback.isCanceled():
                    return {self.OUTPUT: destination}
                for cells in _cells(sheetfind, batch, crs, scale, feedback):
                    needed.update(cells)
                done += len(batch)
                _progress(feedback, done, total, 0.0, 50.0)
        # In reference order, which a PNG cell's text does not sort in.
        self._write_cells(sheetfind, sheetfind.sort_references(needed), sink, fields, feedback,
                          50.0)
        return {self.OUTPUT: destination}


class Grid(_SheetfindAlgorithm):
    EXTENT = "EXTENT"

    ID = "ntsgrid"
    TITLE = "NTS grid"
    HELP = (
        "Every NTS, BCGS or PNG cell at the chosen scale that shares some area with the "
        "extent, as polygons in EPSG:4326 (EPSG:4267, NAD27, for the PNG grid) with their "
        "reference, scale and bounds. The extent is "
        "its rectangle in its own CRS, each edge followed as it is straight there "
        "(in a projected CRS it bows in latitude and longitude); an extent whose edge "
        "lies on a cell's edge does not reach into the next cell."
    )

    def initAlgorithm(self, config=None):  # noqa: N802
        self.addParameter(QgsProcessingParameterExtent(self.EXTENT, "Extent"))
        self._add_scale()
        self._add_cell_output("NTS grid")

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        sheetfind = self._sheetfind()
        scale = self._scale(sheetfind, parameters, context)
        sink, destination, fields = self._cell_sink(sheetfind, scale, parameters, context)
        extent = self.parameterAsExtent(parameters, self.EXTENT, context)
        crs = self.parameterAsExtentCrs(parameters, self.EXTENT, context)
        if not crs.isValid():
            crs = _GEOGRAPHIC
        if crs.isGeographic():
            # A canvas zoomed out past the world gives such an extent; the grid ends
            # at the poles and the antimeridian anyway.
            extent = extent.intersect(QgsRectangle(-180.0, -90.0, 180.0, 90.0))
            if extent.isNull():
                return {self.OUTPUT: destination}
        try:
            references = sheetfind.cover_geometry(
                bytes(_outline(extent).asWkb()), scale, crs=_crs_wkt(crs)
            )
        except sheetfind.InputError as error:
            raise QgsProcessingException(f"the extent: {error}") from None
        feedback.pushInfo(f"{len(references)} cells at {sheetfind.scale_name(scale)}.")
        self._write_cells(sheetfind, references, sink, fields, feedback, 0.0)
        return {self.OUTPUT: destination}


def _outline(extent):
    """The extent as the module covers it: the rectangle, whose edges it follows as they
    are straight in the extent's CRS. One of no width or no height is the line or the
    point it is, and gets the cells that own its points, as a box of no area does."""
    if extent.area() > 0:
        return QgsGeometry.fromRect(extent)
    corners = [QgsPointXY(extent.xMinimum(), extent.yMinimum()),
               QgsPointXY(extent.xMaximum(), extent.yMaximum())]
    if corners[0] == corners[1]:
        return QgsGeometry.fromPointXY(corners[0])
    return QgsGeometry.fromPolylineXY(corners)
