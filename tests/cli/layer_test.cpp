// SPDX-License-Identifier: MIT
// annotate and cover of GIS layers made here with GDAL, read back with GDAL: every
// field, geometry and CRS kept, and the sheets judged by the independent oracle.
#include "cli.h"
#include "commands.h"
#include "cover_oracle.h"
#include "gis_commands.h"
#include "nts_oracle.h"
#include "streams.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace cli = sheetfind::cli;
namespace fs = std::filesystem;

namespace {

// The GIS commands are linked in: the tool uses them without loading its module.
const sheetfind::cli::GisModule* const kGisCommands = sheetfind_cli_gis_module();

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::vector<std::string_view> views(const std::vector<std::string>& args) {
    return {args.begin(), args.end()};
}

ToolRun runTool(const std::vector<std::string>& args) {
    sheetfind::StringSource in("");
    sheetfind::StringSink out;
    sheetfind::StringSink err;
    const auto all = views(args);
    const int status = cli::run(all, in, out, err);
    return {status, out.text(), err.text()};
}

// annotate of a layer, as the annotate command hands every non-CSV source on.
ToolRun annotate(const std::vector<std::string>& args) {
    const cli::Command* command = nullptr;
    for (const cli::Command& candidate : cli::commands()) {
        if (candidate.name == "annotate") {
            command = &candidate;
        }
    }
    const auto all = views(args);
    auto parsed = cli::parseArguments(all, command->options, "annotate");
    const auto& arguments = std::get<cli::Arguments>(parsed);
    sheetfind::StringSource in("");
    sheetfind::StringSink out;
    sheetfind::StringSink err;
    cli::Session session(out, err);
    cli::Context context{.command = "annotate", .args = arguments, .in = in, .session = session};
    const int status = sheetfind_cli_gis_module()->annotateLayer(context);
    return {status, out.text(), err.text()};
}

OGRSpatialReference srsOf(int epsg) {
    OGRSpatialReference srs;
    srs.importFromEPSG(epsg);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

struct Closer {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<GDALDataset, Closer>;

class Layers : public testing::Test {
protected:
    void SetUp() override {
        GDALAllRegister();
        // A parameterised case is named "Name/0": one folder, not a folder in another
        // that TearDown would leave behind.
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        m_dir = fs::temp_directory_path() / ("sheetfind_layer_" + name);
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    // Points, a line and a polygon in BC Albers with fields of several types, and a
    // feature without geometry; `epsg` 0 writes no CRS.
    // A shapefile holds one type of geometry: it gets the points alone.
    std::string writeSurvey(const std::string& name, const char* driverName, int epsg) {
        const bool pointsOnly = std::string(driverName) == "ESRI Shapefile";
        const std::string file = path(name);
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
        Dataset dataset(driver->Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        OGRSpatialReference srs = srsOf(epsg == 0 ? 3005 : epsg);
        OGRLayer* layer = dataset->CreateLayer("survey", epsg == 0 ? nullptr : &srs,
                                               pointsOnly ? wkbPoint : wkbUnknown, nullptr);
        OGRFieldDefn name_(std::string("name").c_str(), OFTString);
        OGRFieldDefn count("count", OFTInteger);
        OGRFieldDefn depth("depth", OFTReal);
        layer->CreateField(&name_);
        layer->CreateField(&count);
        layer->CreateField(&depth);
        for (const auto& row : kShapes) {
            if (pointsOnly && std::string(row.wkt).find("POINT") != 0 && row.wkt[0] != '\0') {
                continue;
            }
            OGRFeature feature(layer->GetLayerDefn());
            feature.SetField("name", row.name);
            feature.SetField("count", row.count);
            feature.SetField("depth", row.count * 1.5);
            if (row.wkt[0] != '\0') {
                OGRGeometry* geometry = nullptr;
                OGRGeometryFactory::createFromWkt(row.wkt, nullptr, &geometry);
                feature.SetGeometryDirectly(geometry);
            }
            EXPECT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
        }
        return file;
    }

    struct Shape {
        const char* name;
        int count;
        const char* wkt; // BC Albers metres; "" for no geometry
    };
    // Near Vancouver and Kamloops: BC Albers x from 1.2e6 to 1.5e6 metres.
    static constexpr Shape kShapes[] = {
        {"harbour", 1, "POINT (1209000 477000)"},
        {"kamloops", 2, "POINT (1438000 661000)"},
        {"traverse", 3, "LINESTRING (1180000 470000, 1330000 520000, 1420000 640000)"},
        {"block", 4,
         "POLYGON ((1250000 500000, 1300000 500000, 1300000 560000, 1250000 560000, "
         "1250000 500000))"},
        {"notes", 5, ""},
    };

    fs::path m_dir;
};

// The 1:50 000 sheets a BC Albers geometry needs, by the oracle: its edges cut every
// 10 metres in Albers (where a piece bows by a few nanometres), transformed, and
// judged segment by segment or by shared area.
std::set<std::string> oracleSheets(const OGRGeometry& albers) {
    std::unique_ptr<OGRGeometry> fine(albers.clone());
    fine->segmentize(10.0);
    OGRSpatialReference from = srsOf(3005);
    OGRSpatialReference to = srsOf(4326);
    fine->assignSpatialReference(&from);
    fine->transformTo(&to);
    std::set<std::string> cells;
    OGREnvelope box;
    fine->getEnvelope(&box);
    const auto near =
        oracle::cellsNear(box.MinY, box.MaxY, box.MinX, box.MaxX, oracle::Scale::Sheet);
    const auto vertices = [](const OGRSimpleCurve& curve) {
        std::vector<oracle::Vertex> points;
        for (int i = 0; i < curve.getNumPoints(); ++i) {
            points.push_back({curve.getY(i), curve.getX(i)});
        }
        return points;
    };
    for (const std::string& cell : near) {
        const oracle::Extent extent = *oracle::oracleBounds(cell);
        switch (wkbFlatten(fine->getGeometryType())) {
        case wkbPoint:
            cells.insert(oracle::oracleReference(fine->toPoint()->getY(), fine->toPoint()->getX(),
                                                 oracle::Scale::Sheet));
            break;
        case wkbLineString: {
            const auto line = vertices(*fine->toLineString());
            for (std::size_t i = 0; i + 1 < line.size(); ++i) {
                if (oracle::segmentMeetsCell(line[i], line[i + 1], extent)) {
                    cells.insert(cell);
                }
            }
            break;
        }
        default:
            if (oracle::sharedArea({vertices(*fine->toPolygon()->getExteriorRing())}, extent) > 0) {
                cells.insert(cell);
            }
        }
    }
    return cells;
}

std::set<std::string> split(const std::string& list) {
    std::set<std::string> cells;
    std::stringstream stream(list);
    std::string cell;
    while (std::getline(stream, cell, ',')) {
        cells.insert(cell);
    }
    return cells;
}

struct Format {
    const char* name;
    const char* driver;
    const char* extension;
};

class RoundTrip : public Layers, public testing::WithParamInterface<Format> {};

TEST_P(RoundTrip, KeepsFieldsGeometryAndCrsAndAddsTheRightSheets) {
    const std::string source =
        writeSurvey(std::string("survey.") + GetParam().extension, GetParam().driver, 3005);
    const std::string output = path(std::string("out.") + GetParam().extension);
    const ToolRun run = annotate({source, "-o", output});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    Dataset in(GDALDataset::Open(source.c_str(), GDAL_OF_VECTOR));
    Dataset out(GDALDataset::Open(output.c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(out);
    OGRLayer* before = in->GetLayer(0);
    OGRLayer* after = out->GetLayer(0);
    EXPECT_TRUE(after->GetSpatialRef()->IsSame(before->GetSpatialRef()));
    ASSERT_EQ(after->GetFeatureCount(), before->GetFeatureCount());
    const int sheet = after->GetLayerDefn()->GetFieldIndex("nts_50k");
    ASSERT_GE(sheet, 0);
    for (int row = 0; row < before->GetFeatureCount(); ++row) {
        std::unique_ptr<OGRFeature> a(before->GetNextFeature());
        std::unique_ptr<OGRFeature> b(after->GetNextFeature());
        ASSERT_TRUE(a && b);
        for (const char* field : {"name", "count", "depth"}) {
            EXPECT_STREQ(a->GetFieldAsString(field), b->GetFieldAsString(field)) << field;
        }
        const OGRGeometry* shape = a->GetGeometryRef();
        if (!shape) {
            EXPECT_EQ(b->GetGeometryRef(), nullptr);
            EXPECT_STREQ(b->GetFieldAsString(sheet), "");
            continue;
        }
        EXPECT_TRUE(shape->Equals(b->GetGeometryRef())) << a->GetFieldAsString("name");
        EXPECT_EQ(split(b->GetFieldAsString(sheet)), oracleSheets(*shape))
            << a->GetFieldAsString("name");
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip,
                         testing::Values(Format{"GeoPackage", "GPKG", "gpkg"},
                                         Format{"Shapefile", "ESRI Shapefile", "shp"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Layers, ExplodeWritesOneFeatureForEachSheet) {
    const std::string source = writeSurvey("survey.gpkg", "GPKG", 3005);
    const std::string output = path("exploded.gpkg");
    ASSERT_EQ(annotate({source, "-s", "250k", "--explode", "-o", output}).status, 0);
    Dataset out(GDALDataset::Open(output.c_str(), GDAL_OF_VECTOR));
    std::size_t expected = 0;
    Dataset in(GDALDataset::Open(source.c_str(), GDAL_OF_VECTOR));
    for (const auto& feature : *in->GetLayer(0)) {
        std::set<std::string> areas;
        if (const OGRGeometry* shape = feature->GetGeometryRef()) {
            for (const std::string& sheet : oracleSheets(*shape)) {
                areas.insert(sheet.substr(0, 4));
            }
        }
        expected += std::max<std::size_t>(areas.size(), 1);
    }
    EXPECT_EQ(out->GetLayer(0)->GetFeatureCount(), static_cast<GIntBig>(expected));
    for (const auto& feature : *out->GetLayer(0)) {
        EXPECT_EQ(std::string(feature->GetFieldAsString("nts_250k")).find(','), std::string::npos);
    }
}

// Each point is flagged as the engine flags it (here, the first lies 4 m from a line once
// shifted and is uncertain, the second is not), and a line is not a point.
TEST_F(Layers, FlaggedPointsAreThoseNearALineOnceShifted) {
    const std::string source = path("wells.geojson");
    std::ofstream(source) << R"({"type": "FeatureCollection", "features": [
        {"type": "Feature", "properties": {"name": "on"},
         "geometry": {"type": "Point", "coordinates": [-120.5656, 56.9125]}},
        {"type": "Feature", "properties": {"name": "inside"},
         "geometry": {"type": "Point", "coordinates": [-120.564, 56.914]}},
        {"type": "Feature", "properties": {"name": "line"},
         "geometry": {"type": "LineString", "coordinates": [[-120.57, 56.91], [-120.56, 56.92]]}}
    ]})";
    const std::string output = path("flagged.gpkg");
    const ToolRun run = annotate({source, "-s", "png", "--flag-uncertain", "-o", output});
    ASSERT_EQ(run.status, 0) << run.err;
    Dataset out(GDALDataset::Open(output.c_str(), GDAL_OF_VECTOR));
    std::vector<std::string> flags;
    for (const auto& feature : *out->GetLayer(0)) {
        const int field = feature->GetFieldIndex("png_uncertain");
        flags.push_back(!feature->IsFieldSetAndNotNull(field)    ? "null"
                        : feature->GetFieldAsInteger(field) != 0 ? "true"
                                                                 : "false");
    }
    // How near is near depends on the shift PROJ has here (with Canada's grid, cm).
    sheetfind::DatumLocator locator(sheetfind::Datum::Wgs84);
    const auto flag = [&](double latitude, double longitude) {
        return locator.locateFlagged({latitude, longitude}, sheetref::Scale::PngQuarterUnit)
                       .uncertain
                   ? "true"
                   : "false";
    };
    EXPECT_EQ(flags,
              (std::vector<std::string>{flag(56.9125, -120.5656), flag(56.914, -120.564), "null"}));
}

TEST_F(Layers, NoCrsIsAnErrorNamingTheLayerUnlessAssumed) {
    const std::string source = writeSurvey("nocrs.shp", "ESRI Shapefile", 0);
    const ToolRun refused = annotate({source, "-o", path("a.gpkg")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("the layer \"nocrs\" has no coordinate reference system"),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(path("a.gpkg")));
    const ToolRun assumed = annotate({source, "--assume-crs", "EPSG:3005", "-o", path("b.gpkg")});
    EXPECT_EQ(assumed.status, 0) << assumed.err;
    Dataset out(GDALDataset::Open(path("b.gpkg").c_str(), GDAL_OF_VECTOR));
    std::unique_ptr<OGRFeature> first(out->GetLayer(0)->GetNextFeature());
    EXPECT_STREQ(first->GetFieldAsString("nts_50k"), "092G06");
}

TEST_F(Layers, AnUntransformableGeometryIsReportedWithItsFeatureAndKept) {
    const std::string file = path("far.gpkg");
    {
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
        Dataset dataset(driver->Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        OGRSpatialReference srs = srsOf(3005);
        OGRLayer* layer = dataset->CreateLayer("far", &srs, wkbPoint, nullptr);
        for (const double x : {1209000.0, 1e30, 1209000.0}) {
            OGRFeature feature(layer->GetLayerDefn());
            feature.SetGeometryDirectly(new OGRPoint(x, 477000));
            ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
        }
    }
    const ToolRun run = annotate({file, "-o", path("out.gpkg")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("feature 2: the geometry cannot be transformed"), std::string::npos)
        << run.err;
    Dataset out(GDALDataset::Open(path("out.gpkg").c_str(), GDAL_OF_VECTOR));
    std::vector<std::string> values;
    for (const auto& feature : *out->GetLayer(0)) {
        values.emplace_back(feature->GetFieldAsString("nts_50k"));
    }
    EXPECT_EQ(values, (std::vector<std::string>{"092G06", "", "092G06"}));
}

TEST_F(Layers, GpxKeepsTheSheetAsAnExtension) {
    const std::string file = path("route.gpx");
    {
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPX");
        Dataset dataset(driver->Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        OGRLayer* layer = dataset->CreateLayer("waypoints", nullptr, wkbPoint, nullptr);
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetField("name", "camp");
        feature.SetGeometryDirectly(new OGRPoint(-123.1, 49.25));
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
    const ToolRun several = annotate({file, "-o", path("out.gpx")});
    EXPECT_EQ(several.status, 2);
    EXPECT_NE(several.err.find("waypoints, routes, tracks"), std::string::npos) << several.err;
    const ToolRun run = annotate({file, "-l", "waypoints", "-o", path("out.gpx")});
    ASSERT_EQ(run.status, 0) << run.err;
    Dataset out(GDALDataset::Open(path("out.gpx").c_str(), GDAL_OF_VECTOR));
    std::unique_ptr<OGRFeature> first(out->GetLayerByName("waypoints")->GetNextFeature());
    EXPECT_STREQ(first->GetFieldAsString("name"), "camp");
    // GDAL reads an extension back with the prefix of its namespace.
    EXPECT_STREQ(first->GetFieldAsString("ogr_nts_50k"), "092G06");
}

// A GPX file keeps a route in one layer and its points in another: cover reads them
// all, and gives the sheets the route passes through.
TEST_F(Layers, CoverOfAGpxRouteReadsEveryLayer) {
    const std::string file = path("route.gpx");
    {
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPX");
        Dataset dataset(driver->Create(file.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        OGRLayer* layer = dataset->CreateLayer("routes", nullptr, wkbLineString, nullptr);
        OGRFeature feature(layer->GetLayerDefn());
        auto* line = new OGRLineString;
        line->addPoint(-123.95, 49.3);
        line->addPoint(-122.35, 49.62);
        feature.SetGeometryDirectly(line);
        ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
    const ToolRun run = runTool({"cover", file});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "092G05\n092G06\n092G07\n092G09\n092G10\n");
    EXPECT_EQ(runTool({"cover", "-l", "waypoints", file}).out, "");
}

TEST_F(Layers, FlatGeobufRefusesFeaturesWithoutGeometry) {
    const std::string source = writeSurvey("survey.gpkg", "GPKG", 3005);
    const ToolRun run = annotate({source, "-o", path("out.fgb")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("feature 5 has no geometry"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(path("out.fgb")));
}

TEST_F(Layers, OutputIsRequiredAndNeverOverwritten) {
    const std::string source = writeSurvey("survey.gpkg", "GPKG", 3005);
    EXPECT_EQ(annotate({source}).status, 2);
    EXPECT_EQ(annotate({source, "-o", source}).status, 2);
    EXPECT_EQ(annotate({source, "-o", path("x.unknown")}).status, 2);
}

TEST_F(Layers, CoverOfALayerIsTheUnionOfItsGeometries) {
    const std::string source = writeSurvey("survey.gpkg", "GPKG", 3005);
    std::set<std::string> expected;
    Dataset in(GDALDataset::Open(source.c_str(), GDAL_OF_VECTOR));
    for (const auto& feature : *in->GetLayer(0)) {
        if (const OGRGeometry* shape = feature->GetGeometryRef()) {
            const auto cells = oracleSheets(*shape);
            expected.insert(cells.begin(), cells.end());
        }
    }
    std::string lines;
    for (const std::string& cell : expected) {
        lines += cell + "\n";
    }
    const ToolRun run = runTool({"cover", source});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, lines);
}

struct WktCase {
    const char* name;
    std::vector<std::string> args;
    std::string out;
    int status;
};

class CoverWkt : public testing::TestWithParam<WktCase> {};

TEST_P(CoverWkt, Answers) {
    const ToolRun run = runTool(GetParam().args);
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    EXPECT_EQ(run.out, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CoverWkt,
    testing::Values(
        // The route crosses 5 of the 8 sheets of its bounding box.
        WktCase{"NamedRoute",
                {"cover", "--wkt", "LINESTRING(-123.95 49.3, -122.35 49.62)"},
                "092G05\n092G06\n092G07\n092G09\n092G10\n",
                0},
        WktCase{"SheetOutline",
                {"cover", "--wkt",
                 "POLYGON((-123.5 49.25, -123 49.25, -123 49.5, -123.5 49.5, "
                 "-123.5 49.25))"},
                "092G06\n",
                0},
        // Its geodesic north edge bulges into the sheet north of it.
        WktCase{"GeodesicSheetOutline",
                {"cover", "--geodesic", "--wkt",
                 "POLYGON((-123.5 49.25, -123 49.25, -123 49.5, -123.5 49.5, -123.5 49.25))"},
                "092G06\n092G11\n",
                0},
        WktCase{"GeodesicVancouverCalgary",
                {"cover", "-s", "250k", "--geodesic", "--wkt",
                 "LINESTRING(-123.12 49.28, -114.07 51.05)"},
                "082E\n082J\n082K\n082L\n082O\n092G\n092H\n",
                0},
        WktCase{"MultiPoint",
                {"cover", "--wkt", "MULTIPOINT((-123.1 49.25), (-123.1 49.25))"},
                "092G06\n",
                0},
        WktCase{"NotWkt", {"cover", "--wkt", "LINESTRING(-123.95 49.3"}, "", 1},
        WktCase{"NotDegrees", {"cover", "--wkt", "POINT(1209000 477000)"}, "", 1},
        WktCase{"FileAndWkt", {"cover", "--wkt", "POINT(0 0)", "file.gpkg"}, "", 2}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace

// Every format keeps each feature's geometry and gets its sheets: a CSV file as WKT,
// and KML, which comes with fields of its own.
class EveryFormat : public Layers, public testing::WithParamInterface<const char*> {};

TEST_P(EveryFormat, KeepsTheGeometriesAndAddsTheSheets) {
    const std::string source = writeSurvey("survey.gpkg", "GPKG", 3005);
    const std::string output = path(std::string("out.") + GetParam());
    const ToolRun run = annotate({source, "-o", output});
    ASSERT_EQ(run.status, 0) << run.err;
    Dataset in(GDALDataset::Open(source.c_str(), GDAL_OF_VECTOR));
    Dataset out(GDALDataset::Open(output.c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(out);
    OGRLayer* before = in->GetLayer(0);
    OGRLayer* after = out->GetLayer(0);
    ASSERT_EQ(after->GetFeatureCount(), before->GetFeatureCount());
    for (const auto& a : *before) {
        std::unique_ptr<OGRFeature> b(after->GetNextFeature());
        ASSERT_TRUE(b);
        EXPECT_EQ(a->GetGeometryRef() == nullptr, b->GetGeometryRef() == nullptr)
            << a->GetFieldAsString("name");
        const std::set<std::string> expected =
            a->GetGeometryRef() ? oracleSheets(*a->GetGeometryRef()) : std::set<std::string>{};
        EXPECT_EQ(split(b->GetFieldAsString("nts_50k")), expected) << a->GetFieldAsString("name");
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat, testing::Values("csv", "kml", "geojson", "gml"));

// A feature whose geometry GDAL cannot read keeps its place and its fields, and is
// reported by its layer and id; the others are annotated.
struct DamageCase {
    const char* name;
    const char* source;
    const char* message;
    const char* blameless = nullptr; // a feature that must not be reported
};

class DamagedSource : public Layers, public testing::WithParamInterface<DamageCase> {
protected:
    std::string damaged(const std::string& kind) {
        if (kind == "shp") {
            const std::string file = writeSurvey("cut.shp", "ESRI Shapefile", 3005);
            // The last point's record loses its coordinates.
            fs::resize_file(path("cut.shp"), fs::file_size(path("cut.shp")) - 16);
            return file;
        }
        if (kind == "gpkg") {
            const std::string file = writeSurvey("blob.gpkg", "GPKG", 3005);
            Dataset dataset(GDALDataset::Open(file.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
            dataset->ExecuteSQL("UPDATE survey SET geom = X'4750000100000000FFFF0102' WHERE "
                                "name = 'kamloops'",
                                nullptr, nullptr);
            return file;
        }
        if (kind == "nulls") {
            // GDAL reads a GeoJSON file whole, and complains of its bad geometry before
            // any feature: the null one before it is no failure.
            const std::string file = path("nulls.geojson");
            std::ofstream(file) << R"({"type": "FeatureCollection", "features": [
                {"type": "Feature", "properties": {"name": "harbour"},
                 "geometry": {"type": "Point", "coordinates": [-123.1, 49.25]}},
                {"type": "Feature", "properties": {"name": "office"}, "geometry": null},
                {"type": "Feature", "properties": {"name": "kamloops"},
                 "geometry": {"type": "Point"}}]})";
            return file;
        }
        const std::string file = path("letter.geojson");
        std::ofstream(file) << R"({"type": "FeatureCollection", "features": [
            {"type": "Feature", "properties": {"name": "harbour"},
             "geometry": {"type": "Point", "coordinates": [-123.1, 49.25]}},
            {"type": "Feature", "properties": {"name": "kamloops"},
             "geometry": {"type": "Point", "coordinates": ["a", 49.25]}}]})";
        return file;
    }
};

TEST_P(DamagedSource, IsReportedFeatureByFeature) {
    const DamageCase& c = GetParam();
    const std::string source = damaged(c.source);
    const ToolRun run = annotate({source, "-o", path("out.gpkg")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    Dataset in(GDALDataset::Open(source.c_str(), GDAL_OF_VECTOR));
    Dataset out(GDALDataset::Open(path("out.gpkg").c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->GetLayer(0)->GetFeatureCount(), in->GetLayer(0)->GetFeatureCount());
    std::unique_ptr<OGRFeature> first(out->GetLayer(0)->GetNextFeature());
    EXPECT_STREQ(first->GetFieldAsString("nts_50k"), "092G06");
    const ToolRun cover = runTool({"cover", source});
    EXPECT_EQ(cover.status, 1);
    EXPECT_NE(cover.err.find(c.message), std::string::npos) << cover.err;
    if (c.blameless != nullptr) {
        EXPECT_EQ(run.err.find(c.blameless), std::string::npos) << run.err;
        EXPECT_EQ(cover.err.find(c.blameless), std::string::npos) << cover.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, DamagedSource,
    testing::Values(
        DamageCase{"TruncatedShapefile", "shp",
                   "layer 'cut', feature 1: the geometry cannot be read"},
        DamageCase{"CorruptBlob", "gpkg", "layer 'survey', feature 2: the geometry cannot be read"},
        DamageCase{"LetterForACoordinate", "geojson",
                   "layer 'letter', feature 1: the geometry cannot be read"},
        DamageCase{"NullBeforeABadOne", "nulls",
                   "layer 'nulls', feature 2: the geometry cannot be read", "feature 1:"}),
    [](const auto& row) { return std::string(row.param.name); });

// What a source says of itself that the tool must not take at its word.
TEST_F(Layers, UnusualSourcesAreReadAsTheyAre) {
    // A GeoPackage's undefined SRSs say no more than none: srs_id -1, an engineering
    // CRS, and srs_id 0, degrees in no datum that it names.
    const std::string albers = runTool({"cover", writeSurvey("albers.gpkg", "GPKG", 3005)}).out;
    for (const int srsId : {-1, 0}) {
        const std::string undefined =
            writeSurvey("undefined" + std::to_string(srsId + 1) + ".gpkg", "GPKG", 3005);
        {
            Dataset dataset(GDALDataset::Open(undefined.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
            for (const char* table : {"gpkg_geometry_columns", "gpkg_contents"}) {
                dataset->ExecuteSQL(
                    ("UPDATE " + std::string(table) + " SET srs_id = " + std::to_string(srsId))
                        .c_str(),
                    nullptr, nullptr);
            }
        }
        const ToolRun unknown = runTool({"cover", undefined});
        EXPECT_EQ(unknown.status, 1) << "srs_id " << srsId;
        EXPECT_NE(unknown.err.find("has no coordinate reference system"), std::string::npos)
            << unknown.err;
        EXPECT_EQ(runTool({"cover", undefined, "--assume-crs", "EPSG:3005"}).out, albers)
            << "srs_id " << srsId;
    }

    // A driver's prefix asks GDAL to read a table, with its geometry column.
    const std::string wkt = path("wkt.csv");
    std::ofstream(wkt) << "WKT,name\n\"POINT (-123.1 49.25)\",harbour\n";
    const ToolRun table =
        runTool({"annotate", "CSV:" + wkt, "--assume-crs", "EPSG:4326", "-o", path("wkt.gpkg")});
    EXPECT_EQ(table.status, 0) << table.err;
    Dataset annotated(GDALDataset::Open(path("wkt.gpkg").c_str(), GDAL_OF_VECTOR));
    ASSERT_TRUE(annotated);
    std::unique_ptr<OGRFeature> harbour(annotated->GetLayer(0)->GetNextFeature());
    EXPECT_STREQ(harbour->GetFieldAsString("nts_50k"), "092G06");

    // A table's key is kept: the features keep their ids.
    const std::string keyed = writeSurvey("keyed.gpkg", "GPKG", 3005);
    {
        Dataset dataset(GDALDataset::Open(keyed.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
        dataset->ExecuteSQL("UPDATE survey SET fid = fid * 10", nullptr, nullptr);
    }
    ASSERT_EQ(annotate({keyed, "-o", path("keyed-out.gpkg")}).status, 0);
    ASSERT_EQ(annotate({keyed, "-o", path("keyed-out.geojson")}).status, 0);
    Dataset same(GDALDataset::Open(path("keyed-out.gpkg").c_str(), GDAL_OF_VECTOR));
    Dataset other(GDALDataset::Open(path("keyed-out.geojson").c_str(), GDAL_OF_VECTOR));
    std::vector<GIntBig> ids;
    std::vector<GIntBig> fields;
    for (const auto& feature : *same->GetLayer(0)) {
        ids.push_back(feature->GetFID());
    }
    for (const auto& feature : *other->GetLayer(0)) {
        fields.push_back(feature->GetFieldAsInteger64("fid"));
    }
    EXPECT_EQ(ids, (std::vector<GIntBig>{10, 20, 30, 40, 50}));
    EXPECT_EQ(fields, ids);
}
