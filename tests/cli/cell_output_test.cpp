// SPDX-License-Identifier: MIT
// The cells as polygon layers: what each GDAL format holds once read back, how
// closely the densified edges follow the true parallels in Canada Lambert, and that
// GeoJSON on standard output streams in flat memory under the Session's rules.

#include "cell_writer.h"
#include "cli_run.h"
#include "cover_oracle.h"
#include "geometry_cover.h"
#include "grid.h"
#include "layer_read.h"
#include "nts_oracle.h"

#include <gtest/gtest.h>

#include <ogr_spatialref.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

using sheetref::Scale;

std::string freshPath(const std::string& name) {
    // CTest runs the cases as processes side by side: each has a folder of its own.
    const std::filesystem::path directory =
        std::filesystem::path(::testing::TempDir()) / ("cell_output." + std::to_string(::getpid()));
    // The folder goes when the process ends, with everything written in it.
    static const struct RemovedAtExit {
        std::filesystem::path path;
        ~RemovedAtExit() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } folder{directory};
    std::filesystem::create_directories(directory);
    const std::filesystem::path path = directory / name;
    std::filesystem::remove(path);
    for (const char* sidecar : {".dbf", ".shx", ".prj", ".cpg"}) {
        std::filesystem::remove(std::filesystem::path(path).replace_extension(sidecar));
    }
    return path.string();
}

struct DriverCase {
    const char* extension;
    const char* driver;    // --of, or nullptr to let the extension choose
    bool counterClockwise; // a shapefile's outer rings are clockwise by its format
    bool inOrder;          // FlatGeobuf sorts features along its spatial index
};

class DriverRoundTrip : public ::testing::TestWithParam<DriverCase> {};

TEST_P(DriverRoundTrip, ReadsBackAsWgs84PolygonsWithTheirAttributes) {
    const DriverCase& row = GetParam();
    const std::string path = freshPath(std::string("cover") + row.extension);
    QStringList arguments{"cover", "-o",  QString::fromStdString(path), "49", "-124",
                          "49.5",  "-123"};
    if (row.driver != nullptr) {
        arguments << "--of" << row.driver;
    }
    const CliRun run = runCli(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const ReadLayer layer = readLayer(path);
    ASSERT_TRUE(layer.opened);
    EXPECT_TRUE(layer.wgs84);
    EXPECT_EQ(layer.geometry, wkbPolygon);
    const std::vector<std::pair<std::string, OGRFieldType>> fields{
        {"reference", OFTString}, {"scale", OFTString}, {"south", OFTReal},
        {"west", OFTReal},        {"north", OFTReal},   {"east", OFTReal}};
    EXPECT_EQ(layer.fields, fields);
    ASSERT_EQ(layer.features.size(), 4u);
    std::vector<std::string> references;
    for (const ReadFeature& feature : layer.features) {
        references.push_back(feature.reference);
        EXPECT_EQ(feature.scale, "1:50000");
        const auto extent = oracle::oracleBounds(feature.reference);
        ASSERT_TRUE(extent) << feature.reference;
        EXPECT_EQ(feature.south, extent->south);
        EXPECT_EQ(feature.west, extent->west);
        EXPECT_EQ(feature.north, extent->north);
        EXPECT_EQ(feature.east, extent->east);
        EXPECT_EQ(twiceSignedArea(feature.ring) > 0, row.counterClockwise) << feature.reference;
        // Longitude first: every x on a meridian of the cell's width, every y a parallel.
        for (const auto& [x, y] : feature.ring) {
            EXPECT_TRUE(extent->west <= x && x <= extent->east) << feature.reference << " x " << x;
            EXPECT_TRUE(extent->south <= y && y <= extent->north)
                << feature.reference << " y " << y;
        }
    }
    if (!row.inOrder) {
        std::sort(references.begin(), references.end());
    }
    EXPECT_EQ(references, (std::vector<std::string>{"092G03", "092G04", "092G05", "092G06"}));
}

INSTANTIATE_TEST_SUITE_P(CellOutput, DriverRoundTrip,
                         ::testing::Values(DriverCase{".gpkg", nullptr, true, true},
                                           DriverCase{".shp", nullptr, false, true},
                                           DriverCase{".geojson", nullptr, true, true},
                                           DriverCase{".fgb", nullptr, true, false},
                                           DriverCase{".layer", "GPKG", true, true}),
                         [](const auto& row) {
                             return std::string(row.param.extension + 1) +
                                    (row.param.driver != nullptr ? "_by_of" : "");
                         });

// A cell of BC's petroleum and natural gas grid, drawn on NAD27, in every format and
// with other cells: where GDAL reads it back and brings it to NAD27 from the layer's
// CRS, its corners are the grid's, within a centimetre.
struct PngLayerCase {
    const char* name;
    std::vector<const char*> arguments;
    const char* output; // a file, or nullptr for GeoJSON on standard output
    int epsg;           // the layer's CRS
};

class PngCellsInLayers : public ::testing::TestWithParam<PngLayerCase> {};

TEST_P(PngCellsInLayers, LieWhereTheGridDrawsThem) {
    const PngLayerCase& row = GetParam();
    QStringList arguments;
    for (const char* argument : row.arguments) {
        arguments << argument;
    }
    const std::string path = freshPath(row.output != nullptr ? row.output : "stdout.geojson");
    if (row.output != nullptr) {
        arguments << "-o" << QString::fromStdString(path);
    }
    const CliRun run = runCli(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    if (row.output == nullptr) {
        writtenFile(path, run.out);
    }
    const ReadLayer layer = readLayer(path);
    ASSERT_TRUE(layer.opened);
    EXPECT_EQ(layer.epsg, row.epsg);
    OGRSpatialReference from;
    OGRSpatialReference nad27;
    from.importFromEPSG(layer.epsg);
    nad27.importFromEPSG(4267);
    for (OGRSpatialReference* srs : {&from, &nad27}) {
        srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    }
    const std::unique_ptr<OGRCoordinateTransformation> toNad27(
        OGRCreateCoordinateTransformation(&from, &nad27));
    ASSERT_TRUE(toNad27);
    bool found = false;
    for (const ReadFeature& feature : layer.features) {
        if (feature.reference != "d-096-H/094-A-15") {
            continue;
        }
        found = true;
        ASSERT_FALSE(feature.ring.empty());
        double x = feature.ring.front().first;
        double y = feature.ring.front().second;
        ASSERT_TRUE(toNad27->Transform(1, &x, &y));
        constexpr double kMetresPerDegree = 111'320;
        EXPECT_LT(std::abs(y - 56.9125) * kMetresPerDegree, 0.01) << y;
        EXPECT_LT(std::abs(x + 120.56875) * kMetresPerDegree * std::cos(56.9125 * M_PI / 180), 0.01)
            << x;
    }
    EXPECT_TRUE(found) << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    CellOutput, PngCellsInLayers,
    ::testing::Values(
        PngLayerCase{
            "BoundsAsGeoJson", {"bounds", "-f", "geojson", "d-096-H/094-A-15"}, nullptr, 4326},
        PngLayerCase{"BoundsToAGeoPackage", {"bounds", "d-096-H/094-A-15"}, "b.gpkg", 4267},
        PngLayerCase{"BoundsToKml", {"bounds", "d-096-H/094-A-15"}, "b.kml", 4326},
        PngLayerCase{"NeighboursToGeoJson", {"neighbours", "a-096-H/094-A-15"}, "n.geojson", 4326},
        PngLayerCase{"NeighboursToAGeoPackage", {"neighbours", "a-096-H/094-A-15"}, "n.gpkg", 4267},
        // A layer of NTS sheets, in WGS 84, that a PNG cell joins.
        PngLayerCase{"AmongSheets", {"bounds", "092G06", "d-096-H/094-A-15"}, "mixed.gpkg", 4326},
        PngLayerCase{"CoverAsGeoJson",
                     {"cover", "-s", "png", "-f", "geojson", "--datum", "NAD27", "56.913",
                      "-120.568", "56.915", "-120.565"},
                     nullptr,
                     4326}),
    [](const auto& row) { return std::string(row.param.name); });

class EmptyResult : public ::testing::TestWithParam<const char*> {};

TEST_P(EmptyResult, IsAValidLayerWithItsFields) {
    const std::string path = freshPath(std::string("empty") + GetParam());
    const CliRun run =
        runCli({"cover", "-o", QString::fromStdString(path), "30", "-100", "35", "-90"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const ReadLayer layer = readLayer(path);
    ASSERT_TRUE(layer.opened);
    EXPECT_TRUE(layer.features.empty());
    ASSERT_EQ(layer.fields.size(), 6u);
    EXPECT_EQ(layer.fields.front().first, "reference");
    EXPECT_EQ(layer.fields.back().first, "east");
}

INSTANTIATE_TEST_SUITE_P(CellOutput, EmptyResult, ::testing::Values(".gpkg", ".shp"),
                         [](const auto& row) { return std::string(row.param + 1); });

TEST(CellOutput, AnExistingFileIsRefusedAndKept) {
    const std::string path = freshPath("kept.gpkg");
    writtenFile(path, "precious");
    const CliRun run = runCli({"grid", "-s", "1m", "-o", QString::fromStdString(path)});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    std::ifstream in(path);
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "precious");
}

struct RefusedCase {
    const char* name;
    QStringList arguments;
    const char* message; // a part of the message on standard error
};

class RefusedOptions : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedOptions, AreUsageErrors) {
    const CliRun run = runCli(GetParam().arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    CellOutput, RefusedOptions,
    ::testing::Values(
        RefusedCase{"gpx", {"grid", "-s", "1m", "-o", "cells.gpx"}, "points and lines only"},
        RefusedCase{"unknown_extension", {"grid", "-s", "1m", "-o", "cells.xyz"}, ".gpkg"},
        RefusedCase{"unknown_driver", {"grid", "-o", "c.gpkg", "--of", "Nope"}, "\"Nope\""},
        RefusedCase{"of_without_o", {"grid", "--of", "GPKG"}, "-o FILE"},
        RefusedCase{"format_with_o", {"grid", "-f", "geojson", "-o", "c.json"}, "--of"},
        RefusedCase{"densify_zero", {"grid", "-f", "geojson", "--densify", "0"}, "\"0\""},
        RefusedCase{"densify_text", {"grid", "-f", "geojson", "--densify", "4x"}, "\"4x\""},
        RefusedCase{"densify_huge", {"grid", "-f", "geojson", "--densify", "99999999999"}, "65536"},
        RefusedCase{"densify_without_polygons", {"grid", "--densify", "4"}, "-f geojson"}),
    [](const auto& row) { return std::string(row.param.name); });

struct DensifyCase {
    const char* points; // --densify, or nullptr for the default
    const char* scale;
    std::size_t ringSize;
};

class Densify : public ::testing::TestWithParam<DensifyCase> {};

TEST_P(Densify, CutsEachEdgeIntoEqualSteps) {
    const DensifyCase& row = GetParam();
    QStringList arguments{"bounds", "-f", "geojson", row.scale};
    if (row.points != nullptr) {
        arguments << "--densify" << row.points;
    }
    const CliRun run = runCli(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const ReadLayer layer = readLayer(writtenFile(freshPath("densify.geojson"), run.out));
    ASSERT_EQ(layer.features.size(), 1u);
    EXPECT_EQ(layer.features[0].ring.size(), row.ringSize);
}

INSTANTIATE_TEST_SUITE_P(CellOutput, Densify,
                         ::testing::Values(DensifyCase{"1", "092G06", 5},
                                           DensifyCase{"3", "092G06", 13},
                                           DensifyCase{"100", "092", 401},
                                           DensifyCase{nullptr, "092G06", 4 * 5 + 1},
                                           DensifyCase{nullptr, "092G", 4 * 18 + 1},
                                           DensifyCase{nullptr, "092", 4 * 36 + 1}),
                         [](const auto& row) {
                             return std::string(row.param.scale) + "_" +
                                    (row.param.points != nullptr ? row.param.points : "default");
                         });

// How far, in metres of Canada Lambert (EPSG:3978), the ring drawn with `points` per
// edge strays from the cell's true outline: the true parallels and meridians are
// sampled finely, projected, and each sample's distance to the projected ring taken.
double largestOffsetMetres(const sheetref::Reference& cell, int points) {
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRSpatialReference lambert;
    lambert.importFromEPSG(3978);
    lambert.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRCoordinateTransformation> project(
        OGRCreateCoordinateTransformation(&wgs84, &lambert));
    EXPECT_TRUE(project);
    const auto projected = [&](double lon, double lat) {
        double x = lon, y = lat;
        EXPECT_TRUE(project->Transform(1, &x, &y));
        return std::pair{x, y};
    };
    const auto ring = sheetref::cellRing(cell, points);
    std::vector<std::pair<double, double>> polyline;
    for (const sheetref::LatLon& point : *ring) {
        polyline.push_back(projected(point.longitude, point.latitude));
    }
    const auto distanceToRing = [&](std::pair<double, double> p) {
        double nearest = INFINITY;
        for (std::size_t i = 0; i + 1 < polyline.size(); ++i) {
            const auto [ax, ay] = polyline[i];
            const auto [bx, by] = polyline[i + 1];
            const double dx = bx - ax, dy = by - ay;
            const double along = std::clamp(
                ((p.first - ax) * dx + (p.second - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
            nearest = std::min(nearest,
                               std::hypot(p.first - ax - along * dx, p.second - ay - along * dy));
        }
        return nearest;
    };
    const auto extent = oracle::oracleBounds(cell.text());
    constexpr int kSamples = 1000;
    double largest = 0;
    for (int i = 0; i <= kSamples; ++i) {
        const double t = static_cast<double>(i) / kSamples;
        const double lon = extent->west + t * (extent->east - extent->west);
        const double lat = extent->south + t * (extent->north - extent->south);
        for (const auto& sample : {projected(lon, extent->south), projected(lon, extent->north),
                                   projected(extent->west, lat), projected(extent->east, lat)}) {
            largest = std::max(largest, distanceToRing(sample));
        }
    }
    return largest;
}

struct ZoneCase {
    const char* name;
    double latitude; // a point in the zone's southern or northern row of cells
    double longitude;
};

class DefaultDensify : public ::testing::TestWithParam<ZoneCase> {};

// The projection is symmetric about the pole, so a row's cells all stray alike; the
// southern and northern rows of each zone bound the rest.
TEST_P(DefaultDensify, KeepsEveryEdgeWithinTenMetresInCanadaLambert) {
    constexpr double kToleranceMetres = 10;
    for (const Scale scale : {Scale::Series, Scale::MapArea, Scale::Sheet}) {
        const auto cell = sheetref::locate(
            {.latitude = GetParam().latitude, .longitude = GetParam().longitude}, scale);
        ASSERT_TRUE(cell);
        const int points = sheetfind::gis::defaultPointsPerEdge(scale);
        const double offset = largestOffsetMetres(*cell, points);
        std::cout << cell->text() << ": corners only " << largestOffsetMetres(*cell, 1) << " m, "
                  << points << " per edge " << offset << " m\n";
        EXPECT_LT(offset, kToleranceMetres) << cell->text();
    }
}

INSTANTIATE_TEST_SUITE_P(
    CellOutput, DefaultDensify,
    ::testing::Values(ZoneCase{"south_40", 40.1, -100}, ZoneCase{"south_67", 67.9, -100},
                      ZoneCase{"arctic_68", 68.1, -100}, ZoneCase{"arctic_79", 79.9, -100},
                      ZoneCase{"high_80", 80.1, -100}, ZoneCase{"high_84", 84.1, -100},
                      ZoneCase{"high_87", 87.9, -100}),
    [](const auto& row) { return std::string(row.param.name); });

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

struct GridCase {
    const char* scale;
    oracle::Scale oracleScale;
    std::size_t count;
};

class GridOfAScale : public ::testing::TestWithParam<GridCase> {};

TEST_P(GridOfAScale, ListsEveryCellInReferenceOrder) {
    const CliRun run = runCli({"grid", "-s", GetParam().scale});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto expected = oracle::cellsNear(40, 88, -144, -48, GetParam().oracleScale);
    EXPECT_EQ(linesOf(run.out), expected);
    EXPECT_EQ(expected.size(), GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(CellOutput, GridOfAScale,
                         ::testing::Values(GridCase{"1m", oracle::Scale::Series, 129},
                                           GridCase{"250k", oracle::Scale::MapArea, 1704}),
                         [](const auto& row) { return std::string(row.param.scale); });

TEST(CellOutput, GridInsideABox) {
    const CliRun run = runCli({"grid", "-s", "250k", "--bbox", "49", "-126", "50", "-122"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "092F\n092G\n");
    const CliRun bad = runCli({"grid", "--bbox", "50", "-124", "49", "-122"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("south edge 50"), std::string::npos) << bad.err;
    const CliRun notNumber = runCli({"grid", "--bbox", "x", "-124", "49", "-122"});
    EXPECT_EQ(notNumber.exitCode, 1);
    EXPECT_NE(notNumber.err.find("\"x\""), std::string::npos) << notNumber.err;
}

TEST(CellOutput, GridWritesAWholeScaleAsALayer) {
    const std::string path = freshPath("nts1m.gpkg");
    const CliRun run = runCli({"grid", "-s", "1m", "-o", QString::fromStdString(path)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const ReadLayer layer = readLayer(path);
    ASSERT_EQ(layer.features.size(), 129u);
    EXPECT_EQ(layer.features.front().reference, "000");
}

// The standard output of a bash pipeline.
std::string shell(const std::string& pipeline) {
    const std::string script = freshPath("pipeline.sh");
    writtenFile(script, pipeline + "\n");
    std::string output;
    FILE* pipe = popen(("bash '" + script + "'").c_str(), "r");
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    pclose(pipe);
    return output;
}

TEST(CellOutput, StreamedGeoJsonEndsQuietlyOnAClosedPipe) {
    const std::string run = shell("'" SHEETFIND_CLI "' cover -f geojson -90 -180 90 180 2>&1 "
                                  "| head -c 100 >/dev/null; echo \"${PIPESTATUS[0]}\"");
    EXPECT_EQ(run, "0\n");
}

TEST(CellOutput, AFullDiskIsStatusTwoWithAMessage) {
    const std::string run = shell("'" SHEETFIND_CLI "' cover -f geojson -90 -180 90 180 "
                                  "2>&1 >/dev/full; echo \"status $?\"");
    EXPECT_NE(run.find("sheetfind-cli: cannot write the answers"), std::string::npos) << run;
    EXPECT_NE(run.find("status 2"), std::string::npos) << run;
}

// The peak resident memory of one run, in KiB, its output thrown away.
long peakKibibytes(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), SHEETFIND_CLI);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    // AddressSanitizer holds freed memory back for a while to catch its use; without
    // that hold the peak is the program's own.
    const char* asan = std::getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS",
           ((asan != nullptr ? std::string(asan) + ":" : std::string()) + "quarantine_size_mb=0")
               .c_str(),
           1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    EXPECT_EQ(posix_spawn(&child, SHEETFIND_CLI, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    EXPECT_EQ(wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return usage.ru_maxrss;
}

// A whole-world cover is 27 264 sheets, about 16 MB of GeoJSON: written as it comes,
// it needs no more memory than a cover of four sheets.
TEST(CellOutput, GeoJsonOfTheWholeGridStreamsInFlatMemory) {
    const long small = peakKibibytes({"cover", "-f", "geojson", "49", "-124", "49.5", "-123"});
    const long whole = peakKibibytes({"cover", "-f", "geojson", "-90", "-180", "90", "180"});
    std::cout << "peak resident memory: four sheets " << small << " KiB, whole grid " << whole
              << " KiB\n";
    EXPECT_LT(whole, 2 * small);
}

// A single bad point still ends the layer it began: an empty, valid collection.
TEST(CellOutput, ABadPointLeavesAValidEmptyLayer) {
    const CliRun run = runCli({"locate", "-f", "geojson", "x"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("is not a point in any notation"), std::string::npos) << run.err;
    const ReadLayer layer = readLayer(writtenFile(freshPath("bad_point.geojson"), run.out));
    EXPECT_TRUE(layer.opened) << run.out;
    EXPECT_TRUE(layer.features.empty());
}

} // namespace
