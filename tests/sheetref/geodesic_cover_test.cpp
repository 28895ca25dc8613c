// SPDX-License-Identifier: MIT
#include "geodesic_cover.h"
#include "grid.h"
#include "nts_oracle.h"
#include "oracle_scale.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

using sheetref::LatLon;
using sheetref::Reference;
using sheetref::Scale;

namespace {

constexpr Scale kScales[] = {Scale::Series, Scale::MapArea, Scale::Sheet};
using Line = std::vector<LatLon>;
using Cells = std::set<std::string>;

Cells texts(const sheetref::GeometryCover& cover) {
    if (const auto* failure = std::get_if<sheetref::GeometryFailure>(&cover)) {
        ADD_FAILURE() << sheetref::describe(*failure);
        return {};
    }
    Cells result;
    for (const Reference& reference : std::get<std::vector<Reference>>(cover)) {
        result.insert(reference.text());
    }
    return result;
}

// The cells of points along the geodesic, located by the independent oracle.
class Sampler {
public:
    explicit Sampler(Scale scale) : m_scale(toOracle(scale)) {}

    std::string cellAt(const GeographicLib::GeodesicLine& line, double distance) const {
        double latitude = 0;
        double longitude = 0;
        line.Position(distance, latitude, longitude);
        return oracle::oracleReference(latitude, longitude, m_scale);
    }

    // Samples `count` points per edge; where two neighbouring samples fall in
    // different cells, samples the stretch between them `refine` times more finely.
    Cells cells(const Line& line, int count, int refine) const {
        Cells found;
        for (std::size_t i = 0; i + 1 < line.size(); ++i) {
            const auto geodesic = GeographicLib::Geodesic::WGS84().InverseLine(
                line[i].latitude, line[i].longitude, line[i + 1].latitude, line[i + 1].longitude);
            const double length = geodesic.Distance();
            std::string previous = cellAt(geodesic, 0);
            // The last sample is the vertex itself, as given rather than computed back.
            for (int k = 1; k <= count; ++k) {
                const std::string cell =
                    k == count ? oracle::oracleReference(line[i + 1].latitude,
                                                         line[i + 1].longitude, m_scale)
                               : cellAt(geodesic, length * k / count);
                if (cell != previous) {
                    for (int j = 1; j < refine; ++j) {
                        found.insert(cellAt(
                            geodesic, length * (k - 1 + static_cast<double>(j) / refine) / count));
                    }
                }
                found.insert(cell);
                previous = cell;
            }
            found.insert(oracle::oracleReference(line[i].latitude, line[i].longitude, m_scale));
        }
        if (!line.empty()) {
            found.insert(
                oracle::oracleReference(line.back().latitude, line.back().longitude, m_scale));
        }
        found.erase("");
        return found;
    }

private:
    oracle::Scale m_scale;
};

struct Route {
    const char* name;
    Line line;
};

const Route kRoutes[] = {
    {"VancouverCalgary", {{49.28, -123.12}, {51.05, -114.07}}},
    {"HalifaxWhitehorse", {{44.65, -63.57}, {60.72, -135.06}}},
    {"AcrossTheArcticZones", {{66.0, -100.0}, {82.5, -70.0}}},
    {"HighArcticEastWest", {{85.0, -118.0}, {84.2, -58.0}}},
    {"AlongAParallel", {{49.25, -123.5}, {49.25, -110.0}}},
    {"AlongAMeridian", {{48.0, -123.0}, {52.0, -123.0}}},
    {"ThroughCorners", {{49.0, -124.0}, {49.5, -123.0}, {50.0, -122.0}}},
    {"SouthWestward", {{55.3, -60.2}, {45.1, -70.9}, {44.0, -90.0}}},
    {"OutOfTheGrid", {{39.0, -100.0}, {41.0, -100.5}}},
    {"OnePoint", {{49.25, -123.1}}},
};

class GeodesicRoute : public testing::TestWithParam<Route> {};

// Dense sampling finds only cells of the cover, and every cell of the cover once it
// looks closely where the route changes cell.
TEST_P(GeodesicRoute, AgreesWithDenseSampling) {
    for (const Scale scale : kScales) {
        const Cells cover = texts(sheetref::coverGeodesicLine(GetParam().line, scale));
        const Cells sampled = Sampler(scale).cells(GetParam().line, 20'000, 200);
        EXPECT_EQ(cover, sampled) << scale;
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, GeodesicRoute, testing::ValuesIn(kRoutes),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(GeodesicCover, RandomRoutesAgreeWithDenseSampling) {
    const unsigned seed = 20260611;
    std::cout << "seed " << seed << '\n';
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> latitude(39.0, 88.5);
    std::uniform_real_distribution<double> longitude(-145.0, -47.0);
    std::uniform_real_distribution<double> step(-3.0, 3.0);
    for (int i = 0; i < 60; ++i) {
        Line line{{latitude(random), longitude(random)}};
        for (int v = 0; v < 3; ++v) {
            line.push_back({std::clamp(line.back().latitude + step(random), -90.0, 90.0),
                            line.back().longitude + 2 * step(random)});
        }
        const Scale scale = kScales[i % 3];
        EXPECT_EQ(texts(sheetref::coverGeodesicLine(line, scale)),
                  Sampler(scale).cells(line, 4'000, 200))
            << "route " << i << " at " << scale;
    }
}

// A geodesic bulges poleward of the straight line in longitude and latitude: over
// 9° of longitude at 50° N by some kilometres, enough to need other sheets (the map
// areas stay the same).
TEST(GeodesicCover, VancouverCalgaryLeavesTheStraightLine) {
    const Line line{{49.28, -123.12}, {51.05, -114.07}};
    const Cells geodesic = texts(sheetref::coverGeodesicLine(line, Scale::Sheet));
    const Cells straight = texts(sheetref::coverLine(line, Scale::Sheet));
    EXPECT_TRUE(geodesic.contains("082L04") && geodesic.contains("082L07"));
    EXPECT_FALSE(straight.contains("082L04") || straight.contains("082L07"));
    EXPECT_TRUE(straight.contains("082E14") && !geodesic.contains("082E14"));
    EXPECT_EQ(texts(sheetref::coverGeodesicLine(line, Scale::MapArea)),
              texts(sheetref::coverLine(line, Scale::MapArea)));
}

TEST(GeodesicCover, ShortEdgesFollowTheStraightLine) {
    // Within a sheet the geodesic cannot leave it.
    const Line line{{49.26, -123.49}, {49.49, -123.01}};
    EXPECT_EQ(texts(sheetref::coverGeodesicLine(line, Scale::Sheet)), Cells{"092G06"});
}

TEST(GeodesicCover, NamesTheBadVertex) {
    const Line line{{49.0, -123.0}, {std::numeric_limits<double>::quiet_NaN(), -122.0}};
    const auto cover = sheetref::coverGeodesicLine(line, Scale::Sheet);
    ASSERT_TRUE(std::holds_alternative<sheetref::GeometryFailure>(cover));
    const auto& failure = std::get<sheetref::GeometryFailure>(cover);
    EXPECT_EQ(failure.vertex, 1U);
    EXPECT_EQ(failure.error, sheetref::GeometryError::NotANumber);
    const Line far{{49.0, -123.0}, {91.0, -122.0}};
    EXPECT_EQ(
        std::get<sheetref::GeometryFailure>(sheetref::coverGeodesicLine(far, Scale::Sheet)).error,
        sheetref::GeometryError::LatitudeRange);
}

// The outline of a sheet drawn with geodesic edges: its north edge bulges into the
// sheet north of it, its south edge stays in it, and the sheet south is not reached.
TEST(GeodesicCover, PolygonEdgesBulgePoleward) {
    const auto extent = oracle::oracleBounds("092G06");
    ASSERT_TRUE(extent);
    const std::vector<std::vector<LatLon>> rings{{{extent->south, extent->west},
                                                  {extent->south, extent->east},
                                                  {extent->north, extent->east},
                                                  {extent->north, extent->west}}};
    const double middle = (extent->west + extent->east) / 2;
    const std::string north =
        oracle::oracleReference(extent->north + 0.01, middle, oracle::Scale::Sheet);
    EXPECT_EQ(texts(sheetref::coverGeodesicPolygon(rings, Scale::Sheet)), (Cells{"092G06", north}));
    EXPECT_EQ(texts(sheetref::coverPolygon(rings, Scale::Sheet)), Cells{"092G06"});
}

// Edges along meridians stay on them: the polygon reaches neither west nor east of
// them, while its parallels bulge north.
TEST(GeodesicCover, MeridianEdgesStayOnTheirMeridian) {
    const std::vector<std::vector<LatLon>> rings{
        {{49.0, -124.0}, {49.0, -120.0}, {51.0, -120.0}, {51.0, -124.0}, {49.0, -124.0}}};
    EXPECT_EQ(texts(sheetref::coverGeodesicPolygon(rings, Scale::MapArea)),
              (Cells{"092G", "092H", "092I", "092J", "092O", "092P"}));
    EXPECT_EQ(texts(sheetref::coverPolygon(rings, Scale::MapArea)),
              (Cells{"092G", "092H", "092I", "092J"}));
}

TEST(GeodesicPath, CrossingsLieExactlyOnTheLattice) {
    const Line line{{49.28, -123.12}, {51.05, -114.07}};
    const auto path = sheetref::geodesicPath(line);
    ASSERT_GT(path.size(), 2U);
    EXPECT_EQ(path.front(), line.front());
    EXPECT_EQ(path.back(), line.back());
    int onMeridians = 0;
    int onParallels = 0;
    for (const LatLon& point : path) {
        onMeridians += std::fmod(point.longitude, 0.5) == 0 ? 1 : 0;
        onParallels += std::fmod(point.latitude, 0.25) == 0 ? 1 : 0;
    }
    // 18 meridians from -123 to -114.5; the parallels 49.5 to 51 at least once each.
    EXPECT_EQ(onMeridians, 18);
    EXPECT_GE(onParallels, 7);
}

// At the BCGS scales the geodesic is cut on the 1'30" and 45" lines of the 1:2 500 cells.
TEST(GeodesicCover, BcgsRoutesAgreeWithDenseSampling) {
    const Line routes[] = {{{49.28, -123.12}, {49.9, -121.3}},
                           {{49.1, -123.2}, {49.1, -122.8}},
                           {{55.2, -120.3}, {56.1, -119.7}, {55.6, -118.9}}};
    for (const Line& line : routes) {
        for (const Scale scale : {Scale::Bcgs20k, Scale::Bcgs10k, Scale::Bcgs5k, Scale::Bcgs2500}) {
            EXPECT_EQ(texts(sheetref::coverGeodesicLine(line, scale)),
                      Sampler(scale).cells(line, 20'000, 200))
                << scale;
        }
    }
}

} // namespace
