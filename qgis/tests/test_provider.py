# SPDX-License-Identifier: MIT
"""The three Processing algorithms, run through processing.run on layers in BC Albers
(EPSG:3005), against the sheetfind module on the same features in EPSG:4326.

The features are drawn in longitude and latitude, away from the cells' edges, and
projected to EPSG:3005, so that the round trip cannot move them into another cell.
"""
import pathlib
import sys
import zipfile

import processing
import pyproj
import pytest
import shapely.geometry
import shapely.ops
import shapely.wkt
from osgeo import ogr, osr
from qgis.core import (
    QgsApplication,
    QgsCoordinateReferenceSystem,
    QgsFeature,
    QgsGeometry,
    QgsProcessingException,
    QgsProcessingFeedback,
    QgsVectorLayer,
)

import sheetfind

_TO_ALBERS = pyproj.Transformer.from_crs("EPSG:4326", "EPSG:3005", always_xy=True)

# Layers of each kind, as (name, geometry in EPSG:4326, or None for no geometry): points,
# lines over several 1:50 000 sheets, a polygon over a map area's corner, multi-points,
# lines with heights. Each has a feature without geometry, which must keep its place.
LAYERS = {
    "Point": [("vancouver", "POINT (-123.1 49.3)"), ("far south", "POINT (-70.1 -33.4)"),
              ("nowhere", None), ("arctic", "POINT (-85.5 81.2)")],
    "LineString": [("ferry", "LINESTRING (-123.9 49.1, -123.3 49.4, -122.7 49.65)"),
                   ("nowhere", None), ("short", "LINESTRING (-120.1 50.1, -120.05 50.15)")],
    "Polygon": [("park", "POLYGON ((-122.2 49.9, -121.7 49.9, -121.7 50.2, -122.2 50.2, "
                         "-122.2 49.9))"), ("nowhere", None)],
    "MultiPoint": [("summits", "MULTIPOINT ((-121.1 49.3), (-117.2 51.3))"), ("nowhere", None)],
    "LineStringZ": [("trail", "LINESTRING Z (-118.1 50.1 600, -117.9 50.2 900)"),
                    ("nowhere", None)],
}
SCALES = [(0, "50k"), (1, "250k"), (2, "1m")]


def albers(wkt):
    # Through OGR, which projects curves too, so that no test leans on QGIS's own
    # transforms, which the plugin no longer uses.
    wgs84, bc_albers = osr.SpatialReference(), osr.SpatialReference()
    wgs84.ImportFromEPSG(4326)
    bc_albers.ImportFromEPSG(3005)
    wgs84.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    geometry = ogr.CreateGeometryFromWkt(wkt)
    geometry.Transform(osr.CoordinateTransformation(wgs84, bc_albers))
    return QgsGeometry.fromWkt(geometry.ExportToIsoWkt())


def layer_of(kind, features, crs="EPSG:3005"):
    """A memory layer of the kind ("Point", "LineString"...) with a name field; each
    geometry given in EPSG:4326 WKT and projected to the layer's CRS."""
    layer = QgsVectorLayer(f"{kind}?field=name:string", kind, "memory")
    layer.setCrs(QgsCoordinateReferenceSystem(crs))
    added = []
    for name, wkt in features:
        feature = QgsFeature(layer.fields())
        feature.setAttributes([name])
        if wkt is not None:
            feature.setGeometry(albers(wkt) if crs == "EPSG:3005" else QgsGeometry.fromWkt(wkt))
        added.append(feature)
    assert layer.dataProvider().addFeatures(added)[0]
    return layer


def expected_cells(wkt, scale):
    return [] if wkt is None else sheetfind.cover_geometry(wkt, scale)


def run(algorithm, parameters, feedback=None):
    return processing.run(
        f"sheetfind:{algorithm}", {**parameters, "OUTPUT": "memory:"}, feedback=feedback
    )["OUTPUT"]


def test_the_provider_offers_the_three_algorithms():
    provider = QgsApplication.processingRegistry().providerById("sheetfind")
    assert provider.name() == "Sheetfind"
    assert sorted(algorithm.displayName() for algorithm in provider.algorithms()) == [
        "Add NTS sheet field",
        "NTS grid",
        "NTS sheets covering a layer",
    ]


@pytest.mark.parametrize("choice, scale", SCALES)
@pytest.mark.parametrize("kind", LAYERS)
def test_add_field_gives_each_feature_its_cells(kind, choice, scale):
    layer = layer_of(kind, LAYERS[kind])
    out = run("addntssheetfield", {"INPUT": layer, "SCALE": choice})
    column = sheetfind.column_name(scale)
    assert out.fields().names() == ["name", column]
    assert out.crs().authid() == "EPSG:3005"
    rows = [(feature["name"], feature[column]) for feature in out.getFeatures()]
    assert rows == [
        (name, sheetfind.field_value(expected_cells(wkt, scale))) for name, wkt in LAYERS[kind]
    ]
    # The copy keeps the layer's own geometries.
    assert [feature.geometry().asWkt() for feature in out.getFeatures()] == [
        feature.geometry().asWkt() for feature in layer.getFeatures()
    ]


@pytest.mark.parametrize("kind", ["LineString", "Polygon"])
def test_add_field_explodes_lines_and_polygons_into_one_feature_per_cell(kind):
    out = run("addntssheetfield", {"INPUT": layer_of(kind, LAYERS[kind]), "SCALE": 0,
                                   "FIELD": "sheet", "EXPLODE": True})
    rows = [(feature["name"], feature["sheet"]) for feature in out.getFeatures()]
    expected = []
    for name, wkt in LAYERS[kind]:
        expected += [(name, cell) for cell in expected_cells(wkt, "50k") or [""]]
    assert rows == expected
    assert len(rows) > len(LAYERS[kind]) + 1


@pytest.mark.parametrize("kind, wkt", [
    ("LineString", "LINESTRING (-123.9 49.1, -122.7 49.6)"),
    ("CompoundCurve", "COMPOUNDCURVE (CIRCULARSTRING (-123.9 49.1, -123.3 49.45, -122.7 49.6))"),
    ("PointZM", "POINT ZM (-123.1 49.3 10 5)"),
])
def test_add_field_reads_every_kind_of_layer(kind, wkt):
    out = run("addntssheetfield", {"INPUT": layer_of(kind, [("one", wkt)]), "SCALE": 1})
    (feature,) = out.getFeatures()
    assert feature["nts_250k"] == "092G"


@pytest.mark.parametrize("choice, scale", SCALES)
@pytest.mark.parametrize("kind", LAYERS)
def test_sheets_covering_a_layer_are_the_union_of_its_features_cells(kind, choice, scale):
    out = run("ntssheetscovering", {"INPUT": layer_of(kind, LAYERS[kind]), "SCALE": choice})
    assert out.crs().authid() == "EPSG:4326"
    needed = sorted({cell for _, wkt in LAYERS[kind] for cell in expected_cells(wkt, scale)})
    cells = list(out.getFeatures())
    assert [cell["reference"] for cell in cells] == needed
    for cell in cells:
        reference = cell["reference"]
        assert cell.attributes()[1:] == [sheetfind.scale_name(scale), *sheetfind.bounds(reference)]
        ring = [(point.x(), point.y()) for point in cell.geometry().asPolygon()[0]]
        assert ring == sheetfind.cell_ring(reference)


@pytest.mark.parametrize("extent, scale, expected", [
    # A sheet's own bounds give that sheet alone: its edges do not reach across.
    ("-123.5,-123.0,49.25,49.5 [EPSG:4326]", 0, ["092G06"]),
    ("-124.0,-122.0,49.0,50.0 [EPSG:4326]", 1, ["092G"]),
    ("-123.6,-122.9,49.2,49.3 [EPSG:4326]", 0,
     ["092G02", "092G03", "092G04", "092G05", "092G06", "092G07"]),
    # No area: the cells that own its points, as for a box.
    ("-123.0,-123.0,49.2,49.3 [EPSG:4326]", 0, sheetfind.cover(49.2, -123, 49.3, -123)),
    ("-123.0,-123.0,49.25,49.25 [EPSG:4326]", 0, ["092G06"]),
    # A 1:20 000 cell's bounds, at 1:5 000: its 16 quarters of quarters.
    ("-123.2,-123.0,49.2,49.3 [EPSG:4326]", 5, [f"092G025{a}{b}" for a in "1234" for b in "1234"]),
    # A canvas zoomed out past the world.
    ("-200,200,-100,100 [EPSG:4326]", 2, sheetfind.grid("1m")),
])
def test_grid_gives_every_cell_of_the_extent(extent, scale, expected):
    out = run("ntsgrid", {"EXTENT": extent, "SCALE": scale})
    assert [cell["reference"] for cell in out.getFeatures()] == expected


def test_every_scale_is_offered_and_the_first_three_keep_their_place():
    # Saved models and scripts hold a choice's position.
    for algorithm in QgsApplication.processingRegistry().providerById("sheetfind").algorithms():
        options = algorithm.parameterDefinition("SCALE").options()
        assert [option.split(" (")[0] for option in options] == [
            "1:50000", "1:250000", "1:1000000", "1:20000", "1:10000", "1:5000", "1:2500",
            "PNG block", "PNG unit", "PNG quarter unit"]


def test_grid_reprojects_an_extent_in_albers():
    layer = layer_of("LineString", LAYERS["LineString"])
    box = layer.extent()
    extent = f"{box.xMinimum()},{box.xMaximum()},{box.yMinimum()},{box.yMaximum()} [EPSG:3005]"
    out = run("ntsgrid", {"EXTENT": extent, "SCALE": 1})
    references = {cell["reference"] for cell in out.getFeatures()}
    # Every cell the features need, and no cell that misses the extent.
    assert {cell for _, wkt in LAYERS["LineString"] for cell in expected_cells(wkt, "250k")} <= references
    footprint = shapely.geometry.box(box.xMinimum(), box.yMinimum(), box.xMaximum(), box.yMaximum())
    for reference in references:
        cell = shapely.geometry.Polygon(sheetfind.cell_ring(reference))
        assert shapely.ops.transform(_TO_ALBERS.transform, cell).intersects(footprint), reference


def many_points(count):
    return layer_of("Point", [(str(i), f"POINT (-123.1 {49.3 + i * 1e-4})") for i in range(count)])


@pytest.mark.parametrize("algorithm, parameters", [
    ("addntssheetfield", {"SCALE": 0}),
    ("ntssheetscovering", {"SCALE": 0}),
])
def test_progress_runs_to_the_end_and_a_cancel_stops_the_run(algorithm, parameters):
    layer = many_points(400)
    feedback = QgsProcessingFeedback()
    seen = []
    feedback.progressChanged.connect(seen.append)
    run(algorithm, {**parameters, "INPUT": layer}, feedback)
    assert seen == sorted(seen) and seen[-1] == pytest.approx(100.0)

    cancelling = QgsProcessingFeedback()
    cancelling.progressChanged.connect(lambda _: cancelling.cancel())
    out = run(algorithm, {**parameters, "INPUT": layer}, cancelling)
    assert out.featureCount() < (400 if algorithm == "addntssheetfield" else 1)


def test_a_cancel_stops_the_grid():
    cancelling = QgsProcessingFeedback()
    cancelling.progressChanged.connect(lambda _: cancelling.cancel())
    out = run("ntsgrid", {"EXTENT": "-141,-52,41,84 [EPSG:4326]", "SCALE": 0}, cancelling)
    # Feedback tells of progress each tenth of a percent: the run stops within one.
    assert 0 < out.featureCount() < len(sheetfind.grid("50k")) / 100


def without_crs():
    return layer_of("Point", [("x", "POINT (1 2)")], crs="")


@pytest.mark.parametrize("algorithm, layer, message", [
    ("addntssheetfield", without_crs, "the layer has no CRS"),
    ("ntssheetscovering", without_crs, "the layer has no CRS"),
])
def test_errors_name_what_is_wrong(algorithm, layer, message):
    with pytest.raises(QgsProcessingException, match=message):
        run(algorithm, {"INPUT": layer(), "SCALE": 0})


def test_a_field_of_that_name_is_refused():
    layer = layer_of("Point", [("x", "POINT (-123.1 49.3)")])
    with pytest.raises(QgsProcessingException, match="already has a field 'name'"):
        run("addntssheetfield", {"INPUT": layer, "SCALE": 0, "FIELD": "name"})


def test_without_the_module_the_algorithms_say_how_to_install_it(monkeypatch):
    algorithm = QgsApplication.processingRegistry().algorithmById("sheetfind:ntsgrid")
    assert algorithm.canExecute() == (True, "")
    monkeypatch.setitem(__import__("sys").modules, "sheetfind", None)
    ready, message = algorithm.canExecute()
    assert not ready and "sheetfind" in message and "install" in message.lower()


def test_the_zip_holds_the_plugin_whole(tmp_path):
    sys.path.insert(0, str(pathlib.Path(__file__).parent.parent))
    from make_zip import PLUGIN, make_zip, project_version

    with zipfile.ZipFile(make_zip(tmp_path / "plugin.zip")) as archive:
        names = archive.namelist()
        metadata = archive.read("sheetfind_provider/metadata.txt").decode()
        assert f"\nversion={project_version()}\n" in metadata
        assert not [name for name in names if "__pycache__" in name]
        # The icon is the drawing, not the link to it.
        assert archive.read("sheetfind_provider/icon.svg") == (PLUGIN / "icon.svg").read_bytes()
        assert archive.read("sheetfind_provider/icon.svg").lstrip().startswith(b"<")


def test_an_invalid_polygon_is_covered_and_the_next_run_still_works():
    # A bow tie crossing itself on the meridian -122.5: a triangle over two sheets on
    # each side of it.
    bow_tie = "POLYGON ((-123.4 49.3, -121.6 49.45, -121.6 49.3, -123.4 49.45, -123.4 49.3))"
    out = run("ntssheetscovering", {"INPUT": layer_of("Polygon", [("bow tie", bow_tie)]),
                                    "SCALE": 0})
    assert [cell["reference"] for cell in out.getFeatures()] == [
        "092G06", "092G07", "092G08", "092H05"]
    # QGIS 3.22 crashed here once a check had met the invalid polygon.
    out = run("ntsgrid", {"EXTENT": "-123.5,-123.0,49.25,49.5 [EPSG:4326]", "SCALE": 0})
    assert [cell["reference"] for cell in out.getFeatures()] == ["092G06"]
