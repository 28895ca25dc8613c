# SPDX-License-Identifier: MIT
"""The same sheets from every face: sheetfind-cli annotate and cover, the Python
module's annotate and cover_geometry, and the two QGIS algorithms, on the same
GeoPackage layers in several CRSs.

Each feature is drawn in degrees and its vertices projected to the layer's CRS, so that
its edges are straight there, as a GIS draws them; every face must follow them so. In
a geographic CRS the degrees are the layer's own: a NAD27 layer's are NAD27's.
"""
import subprocess

import geopandas
import processing
import pytest
from osgeo import ogr, osr
from qgis.core import (
    QgsGeometry,
    QgsProcessingFeatureSourceDefinition,
    QgsProcessingFeedback,
    QgsProject,
    QgsVectorLayer,
)

import sheetfind
from sheetfind_provider.algorithms import _scale_choices

# (layer, CRS, OGR type, scale, features as (id, WKT in degrees, longitude first)).
LAYERS = [
    ("albers_lines", 3005, ogr.wkbLineString, "50k", [
        # 800 km straight in BC Albers at 49.24° N at both ends: it bows up to 49.36° N.
        (1, "LINESTRING (-126 49.24, -116 49.24)"),
        (2, "LINESTRING (-123.95 49.3, -122.35 49.62, -121.1 50.4)"),
    ]),
    ("albers_areas", 3005, ogr.wkbMultiPolygon, "50k", [
        (1, "MULTIPOLYGON (((-124 49, -122 49, -122 50, -124 50, -124 49),"
            " (-123.5 49.25, -123 49.25, -123 49.5, -123.5 49.5, -123.5 49.25)))"),
        (2, "MULTIPOLYGON (((-120.2 50.1, -119.6 50.1, -119.6 50.4, -120.2 50.1)),"
            " ((-117.3 51.2, -116.9 51.2, -116.9 51.3, -117.3 51.3, -117.3 51.2)))"),
    ]),
    ("lambert_boxes", 3978, ogr.wkbPolygon, "50k", [
        # A box drawn in Canada Lambert: its north and south edges bow in degrees.
        (1, "POLYGON ((-77 45, -74 45, -74 46.5, -77 46.5, -77 45))"),
    ]),
    ("arctic_lambert", 3978, ogr.wkbMultiLineString, "250k", [
        (1, "MULTILINESTRING ((-101 67.2, -99 68.9), (-80.5 67.9, -79.5 68.2))"),
    ]),
    ("utm_nad83", 26910, ogr.wkbPolygon, "50k", [
        (1, "POLYGON ((-123.4 49.1, -122.1 49.1, -122.1 49.9, -123.4 49.9, -123.4 49.1),"
            " (-123.2 49.2, -122.9 49.2, -122.9 49.4, -123.2 49.4, -123.2 49.2),"
            " (-122.45 49.55, -122.2 49.55, -122.2 49.8, -122.45 49.55))"),
    ]),
    ("utm_wgs84", 32610, ogr.wkbMultiPoint, "50k", [
        (1, "MULTIPOINT ((-123.1 49.3), (-122.6 49.7), (-121.2 50.6))"),
        (2, "MULTIPOINT ((-123.9 48.5))"),
    ]),
    ("edges_points", 4326, ogr.wkbPoint, "50k", [
        # On a meridian a point is the western cell's, on a parallel the northern one's.
        (1, "POINT (-123 49)"),
        (2, "POINT (-123.5 49.25)"),  # 092G06's south-west corner
        (3, "POINT (-123 49.3)"),
        (4, "POINT (-123.2 49.5)"),
        (5, "POINT (-120 68)"),
    ]),
    ("albers_bcgs", 3005, ogr.wkbLineString, "20k", [
        # From 092G into 092F, bowing across BCGS rows of 6'.
        (1, "LINESTRING (-124.3 49.31, -123.55 49.21)"),
    ]),
    ("bcgs_points", 4326, ogr.wkbPoint, "2500", [
        (1, "POINT (-123.1 49.25)"),  # on 1:2 500 edges: the cell north and west of it
        (2, "POINT (-128 52)"),  # the corner of series 092, 093, 102 and 103: 103A's
    ]),
    # The PNG grid is drawn on NAD27: a NAD27 layer is read as it is, any other shifted.
    # Point 2 lies 2" west of a unit's edge, nearer than NAD83 lies west of NAD27
    # there: read as NAD83 and shifted, it would cross into the unit east of it.
    ("nad27_png_points", 4267, ogr.wkbPoint, "png", [
        (1, "POINT (-120.565 56.91)"),
        (2, "POINT (-121.300555555556 57.602083333333)"),
    ]),
    ("wgs84_png_points", 4326, ogr.wkbPoint, "png-unit", [
        (1, "POINT (-120.562222222222 56.902083333333)"),
        (2, "POINT (-127.9 59.9)"),
    ]),
    ("albers_png_lines", 3005, ogr.wkbLineString, "png-block", [
        (1, "LINESTRING (-120.7 56.85, -120.4 57.05)"),
    ]),
    ("edges_areas", 4326, ogr.wkbPolygon, "50k", [
        # A sheet's own outline: its edges on the sheet's edges reach no other sheet.
        (1, "POLYGON ((-123.5 49.25, -123 49.25, -123 49.5, -123.5 49.5, -123.5 49.25))"),
        (2, "POLYGON ((-101 67.9, -100.2 67.9, -100.2 68.1, -101 68.1, -101 67.9))"),
    ]),
]

# Answers known from the grid itself, where the edge rule decides.
KNOWN = {
    ("edges_points", 1): ["092G03"],
    ("edges_points", 2): ["092G05"],
    ("edges_points", 3): ["092G06"],
    ("edges_points", 4): ["092G11"],
    ("edges_areas", 1): ["092G06"],
    ("bcgs_points", 1): ["092G025322"],
    ("bcgs_points", 2): ["103A010222"],
    ("nad27_png_points", 1): ["a-096-H/094-A-15"],
    ("nad27_png_points", 2): ["a-025-F/094-H-11"],
}

_WGS84 = osr.SpatialReference()
_WGS84.ImportFromEPSG(4326)
_WGS84.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)


def srs(epsg):
    reference = osr.SpatialReference()
    reference.ImportFromEPSG(epsg)
    reference.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    return reference


def write_layer(path, name, epsg, kind, features):
    """A GeoPackage with an id field; each geometry projected vertex by vertex, None for
    a feature without one."""
    source = ogr.GetDriverByName("GPKG").CreateDataSource(str(path))
    layer = source.CreateLayer(name, srs(epsg), kind)
    layer.CreateField(ogr.FieldDefn("id", ogr.OFTInteger))
    transform = osr.CoordinateTransformation(_WGS84, srs(epsg))
    for number, wkt in features:
        feature = ogr.Feature(layer.GetLayerDefn())
        feature.SetField("id", number)
        if wkt is not None:
            geometry = ogr.CreateGeometryFromWkt(wkt)
            if not srs(epsg).IsGeographic():
                geometry.Transform(transform)
            feature.SetGeometry(geometry)
        assert layer.CreateFeature(feature) == ogr.OGRERR_NONE
    source = None
    return path


def read_layer(path, field):
    source = ogr.Open(str(path))
    return {feature["id"]: feature[field] for feature in source.GetLayer()}


def cli_run(cli, *args):
    return subprocess.run([cli, *args], capture_output=True, text=True, encoding="utf-8")


def cells_of(text):
    return text.split(",") if text else []


class Reports(QgsProcessingFeedback):
    """Feedback that keeps the errors an algorithm reports."""

    def __init__(self):
        super().__init__()
        self.errors = []

    def reportError(self, error, fatalError=False):  # noqa: N802, N803
        self.errors.append(error)


def qgis_run(algorithm, layer, scale, output="memory:", feedback=None):
    choice = [name for name, _ in _scale_choices(sheetfind)].index(scale)
    out = processing.run(f"sheetfind:{algorithm}",
                         {"INPUT": layer, "SCALE": choice, "OUTPUT": output},
                         feedback=feedback)["OUTPUT"]
    return out if output == "memory:" else QgsVectorLayer(out, "out", "ogr")


def faces_per_feature(cli, path, tmp_path, name, epsg, scale, features):
    """Each face's cells of each feature: {face: {id: cells}}."""
    column = sheetfind.column_name(scale)
    answers = {}

    annotated = tmp_path / f"{name}-annotated.gpkg"
    done = cli_run(cli, "annotate", "-s", scale, str(path), "-o", str(annotated))
    assert done.returncode == 0, done.stderr
    answers["sheetfind-cli annotate"] = {
        number: cells_of(value) for number, value in read_layer(annotated, column).items()}

    answers["sheetfind-cli cover, one feature"] = {}
    for number, wkt in features:
        single = write_layer(tmp_path / f"{name}-{number}.gpkg", name, epsg,
                             ogr.CreateGeometryFromWkt(wkt).GetGeometryType(), [(number, wkt)])
        done = cli_run(cli, "cover", "-s", scale, str(single))
        assert done.returncode == 0, done.stderr
        answers["sheetfind-cli cover, one feature"][number] = done.stdout.split()

    frame = sheetfind.annotate(geopandas.read_file(path), scale=scale)
    answers["sheetfind.annotate"] = dict(zip(frame["id"], map(cells_of, frame[column])))

    source = ogr.Open(str(path))
    answers["sheetfind.cover_geometry"] = {
        feature["id"]: sheetfind.cover_geometry(
            bytes(feature.GetGeometryRef().ExportToIsoWkb()), scale, crs=f"EPSG:{epsg}")
        for feature in source.GetLayer()}

    layer = QgsVectorLayer(str(path), name, "ogr")
    out = qgis_run("addntssheetfield", layer, scale)
    answers["QGIS Add NTS sheet field"] = {
        feature["id"]: cells_of(feature[column]) for feature in out.getFeatures()}
    answers["QGIS NTS sheets covering a layer, one feature"] = {}
    for number, _ in features:
        layer.setSubsetString(f"id = {number}")
        out = qgis_run("ntssheetscovering", layer, scale)
        answers["QGIS NTS sheets covering a layer, one feature"][number] = [
            cell["reference"] for cell in out.getFeatures()]
    return answers


@pytest.mark.filterwarnings("ignore::sheetfind.DatumShiftWarning")
@pytest.mark.parametrize("name, epsg, kind, scale, features", LAYERS,
                         ids=[row[0] for row in LAYERS])
def test_every_face_gives_the_same_sheets(cli, tmp_path, name, epsg, kind, scale, features):
    path = write_layer(tmp_path / f"{name}.gpkg", name, epsg, kind, features)
    answers = faces_per_feature(cli, path, tmp_path, name, epsg, scale, features)

    reference_face = "sheetfind.cover_geometry"
    disagreements = []
    for number, _ in features:
        expected = KNOWN.get((name, number), answers[reference_face][number])
        for face, found in answers.items():
            if found.get(number) != expected:
                disagreements.append(f"{name} feature {number}: {face} gives {found.get(number)},"
                                     f" expected {expected}")
    assert not disagreements, "\n".join(disagreements)
    assert all(answers[reference_face][number] for number, _ in features), "a feature has no cells"

    # The whole layer at once: the union of its features' cells.
    union = sheetfind.sort_references(
        {cell for cells in answers[reference_face].values() for cell in cells})
    done = cli_run(cli, "cover", "-s", scale, str(path))
    assert (done.returncode, done.stdout.split()) == (0, union), f"{name}: sheetfind-cli cover"
    out = qgis_run("ntssheetscovering", QgsVectorLayer(str(path), name, "ogr"), scale)
    assert [cell["reference"] for cell in out.getFeatures()] == union, \
        f"{name}: QGIS NTS sheets covering a layer"
    # Cells are drawn in their grid's datum, as sheetfind-cli writes them.
    assert out.crs().authid() == sheetfind.cell_crs(scale)


def test_a_line_straight_in_albers_is_followed_as_it_bows():
    (_, _, _, _, ((_, wkt), _)) = LAYERS[0]
    line = ogr.CreateGeometryFromWkt(wkt)
    line.Transform(osr.CoordinateTransformation(_WGS84, srs(3005)))
    rows = {sheetfind.bounds(cell).south
            for cell in sheetfind.cover_geometry(line.ExportToIsoWkt(), crs="EPSG:3005")}
    # Its ends lie at 49.24° N, its middle reaches 49.36° N; drawn straight in degrees it
    # would stay south of 49.25° N.
    assert rows == {49.0, 49.25}
    assert {sheetfind.bounds(cell).south for cell in sheetfind.cover_geometry(wkt)} == {49.0}


def test_a_point_out_of_range_is_the_same_error_everywhere(cli, tmp_path):
    path = write_layer(tmp_path / "bad.gpkg", "bad", 4326, ogr.wkbPoint,
                       [(1, "POINT (-123.1 49.3)"), (2, "POINT (-123.1 91)")])
    with pytest.raises(sheetfind.InputError) as raised:
        sheetfind.cover_geometry("POINT (-123.1 91)")
    message = str(raised.value)
    assert "latitude 91" in message

    prefix = "sheetfind-cli: "
    done = cli_run(cli, "annotate", str(path), "-o", str(tmp_path / "out.gpkg"))
    where = f"{prefix}layer 'bad', feature 2"
    assert (done.returncode, done.stderr) == (1, f"{where}: {message}\n")
    done = cli_run(cli, "cover", str(path))
    assert (done.returncode, done.stderr) == (1, f"{where}: {message}\n")
    done = cli_run(cli, "cover", "--wkt", "POINT (-123.1 91)")
    assert (done.returncode, done.stderr) == (1, f"{prefix}{message}\n")

    with pytest.raises(sheetfind.InputError) as raised:
        sheetfind.annotate(geopandas.read_file(path))
    assert raised.value.reason == message
    with pytest.raises(sheetfind.InputError) as raised:
        sheetfind.cover_geometries([ogr.CreateGeometryFromWkt("POINT (-123.1 91)").ExportToWkb()])
    assert raised.value.reason == message

    # QGIS reports the feature and goes on, as sheetfind-cli does: the copy keeps it
    # with an empty field, and is written whole.
    layer = QgsVectorLayer(str(path), "bad", "ogr")
    feedback = Reports()
    out = qgis_run("addntssheetfield", layer, "50k", str(tmp_path / "qgis.gpkg"), feedback)
    assert feedback.errors == [f"feature 2: {message}"]
    assert [(feature["id"], feature["nts_50k"]) for feature in out.getFeatures()] == [
        (1, "092G06"), (2, "")]
    feedback = Reports()
    out = qgis_run("ntssheetscovering", layer, "50k", feedback=feedback)
    assert feedback.errors == [f"feature 2: {message}"]
    assert [cell["reference"] for cell in out.getFeatures()] == ["092G06"]


# Layers whose features do not all have the layer's declared type: a GeoPackage layer
# of type Unknown (GEOMETRY), which QGIS says is of its first feature's type, and one of
# geometry collections, which QGIS 3.22 takes for a table without a CRS.
CURVE = ("CURVEPOLYGON (CIRCULARSTRING (-123.4 49.3, -123.2 49.4, -123.0 49.3, "
         "-123.2 49.2, -123.4 49.3))")
ODD_LAYERS = [
    ("unknown, mixed kinds", ogr.wkbUnknown, [
        "POINT (-123.1 49.3)", "LINESTRING (-123.9 49.1, -122.7 49.6)", CURVE,
        "POINT ZM (-121.1 50.3 10 5)"]),
    ("unknown, points with Z and M", ogr.wkbUnknown, [
        "POINT (-123.1 49.3)", "MULTIPOINT ZM ((-121.1 50.3 10 5))"]),
    ("geometry collections", ogr.wkbGeometryCollection, [
        "GEOMETRYCOLLECTION (POINT (-123.1 49.3), LINESTRING (-123.9 49.1, -122.7 49.6))"]),
    ("curves with Z and M", ogr.wkbCurvePolygonZM, [
        "CURVEPOLYGON ZM (CIRCULARSTRING ZM (-123.4 49.3 1 2, -123.2 49.4 3 4, "
        "-123.0 49.3 5 6, -123.2 49.2 7 8, -123.4 49.3 1 2))"]),
]


def vertices(geometry, z, m):
    return [(point.x(), point.y()) + ((point.z(),) if z else ()) + ((point.m(),) if m else ())
            for point in geometry.vertices()]


@pytest.mark.parametrize("output", ["memory", "gpkg"])
@pytest.mark.parametrize("name, kind, wkts", ODD_LAYERS, ids=[row[0] for row in ODD_LAYERS])
def test_add_field_copies_every_geometry_of_any_layer(tmp_path, name, kind, wkts, output):
    path = write_layer(tmp_path / "odd.gpkg", "odd", 4326, kind, list(enumerate(wkts, 1)))
    destination = "memory:" if output == "memory" else str(tmp_path / "out.gpkg")
    out = qgis_run("addntssheetfield", QgsVectorLayer(str(path), "odd", "ogr"), "50k",
                   destination)
    rows = {feature["id"]: feature for feature in out.getFeatures()}
    assert sorted(rows) == list(range(1, len(wkts) + 1))
    for number, wkt in enumerate(wkts, 1):
        assert rows[number]["nts_50k"] == sheetfind.field_value(sheetfind.cover_geometry(wkt))
        drawn = ogr.CreateGeometryFromWkt(wkt)
        z, m = drawn.Is3D(), drawn.IsMeasured()
        kept = rows[number].geometry()
        # Every vertex, with its Z and M (a 2D vertex's would be NaN).
        assert vertices(kept, z, m) == vertices(QgsGeometry.fromWkt(wkt), z, m), number


# A whole layer saved in a file is read by the module from the file, in one pass; the
# same layer with all its features selected goes through QGIS's features one by one.
# Each has a point outside the grid, a feature without geometry and, in degrees, a
# point out of range, which both report.
WHOLE_LAYERS = [
    ("degrees", 4326, ogr.wkbPoint, "50k", False, [
        (1, "POINT (-123.1 49.3)"), (2, "POINT (-70.1 -33.4)"), (3, None),
        (4, "POINT (-123.1 91)"), (5, "POINT (-123 49)")]),
    ("albers", 3005, ogr.wkbPoint, "20k", False, [
        (1, "POINT (-123.1 49.3)"), (2, "POINT (-100 35)"), (3, None),
        (4, "POINT (-128 52)")]),
    ("albers lines, exploded", 3005, ogr.wkbLineString, "50k", True, [
        (1, "LINESTRING (-126 49.24, -116 49.24)"), (2, None),
        (3, "LINESTRING (-100 35, -99 36)")]),
    # A kind QGIS 3.22 has no type for, and reads as another.
    ("triangulated", 4326, ogr.wkbTIN, "50k", False, [
        (1, "TIN (((-123.4 49.3, -123 49.3, -123 49.4, -123.4 49.3)))"), (2, None),
        (3, "TIN (((-70 -33, -69 -33, -69 -32, -70 -33)))")]),
]


@pytest.mark.filterwarnings("ignore::sheetfind.DatumShiftWarning")
@pytest.mark.parametrize("name, epsg, kind, scale, explode, features", WHOLE_LAYERS,
                         ids=[row[0] for row in WHOLE_LAYERS])
def test_a_layer_read_from_its_file_gives_what_its_features_give(
        monkeypatch, tmp_path, name, epsg, kind, scale, explode, features):
    path = write_layer(tmp_path / "whole.gpkg", "whole", epsg, kind, features)
    layer = QgsVectorLayer(str(path), name, "ogr")
    QgsProject.instance().addMapLayer(layer)
    read = []
    cover_layer = sheetfind.cover_layer
    monkeypatch.setattr(sheetfind, "cover_layer",
                        lambda *args, **kwargs: read.append(args) or cover_layer(*args, **kwargs))
    choice = [name for name, _ in _scale_choices(sheetfind)].index(scale)

    def outputs(source):
        copied, covered = Reports(), Reports()
        copy = processing.run("sheetfind:addntssheetfield", {
            "INPUT": source, "SCALE": choice, "EXPLODE": explode, "OUTPUT": "memory:"},
            feedback=copied)["OUTPUT"]
        cells = qgis_run("ntssheetscovering", source, scale, feedback=covered)
        return (copy.fields().names(), copy.wkbType(), copy.crs().authid(),
                [(feature.attributes(), feature.geometry().asWkt())
                 for feature in copy.getFeatures()], copied.errors,
                [cell["reference"] for cell in cells.getFeatures()], covered.errors)

    try:
        from_file = outputs(layer)
        assert len(read) == 2, "the module did not read the file"
        layer.selectAll()
        from_features = outputs(QgsProcessingFeatureSourceDefinition(layer.id(), True))
        assert len(read) == 2, "the selected features were read from the file"
    finally:
        QgsProject.instance().removeMapLayer(layer.id())
    assert from_file == from_features
    sheets = [attributes[-1] for attributes, _ in from_file[3]]
    assert sheets.count("") >= 2 and len(set(sheets)) >= 2
