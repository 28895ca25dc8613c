// SPDX-License-Identifier: MIT
#include "grid.h"
#include "nts_oracle.h"
#include "oracle_scale.h"
#include "reference_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

using sheetref::Bounds;
using sheetref::Reference;
using sheetref::Scale;

namespace {

constexpr Scale kScales[] = {Scale::Series, Scale::MapArea, Scale::Sheet};
const double kInf = std::numeric_limits<double>::infinity();

std::string located(double latitude, double longitude, Scale scale = Scale::Sheet) {
    const auto reference = sheetref::locate({.latitude = latitude, .longitude = longitude}, scale);
    return reference ? reference->text() : "";
}

Reference parsed(const std::string& text) {
    const auto result = sheetref::parseReference(text);
    if (const auto* failure = std::get_if<sheetref::ParseFailure>(&result)) {
        ADD_FAILURE() << sheetref::describe(*failure);
        return *Reference::series(0);
    }
    return std::get<Reference>(result);
}

std::vector<Reference> covered(const Bounds& box, Scale scale) {
    const auto result = sheetref::cover(box, scale);
    if (const auto* failure = std::get_if<sheetref::BoxFailure>(&result)) {
        ADD_FAILURE() << sheetref::describe(*failure);
        return {};
    }
    return std::get<std::vector<Reference>>(result);
}

std::vector<std::string> texts(const std::vector<Reference>& references) {
    std::vector<std::string> result;
    for (const Reference& reference : references) {
        result.push_back(reference.text());
    }
    return result;
}

const Bounds kWorld{-90, 90, -180, 180};

// The independent method: the grid worked out in exact integer nanodegrees by the
// oracle, with letters and sheet numbers derived from the zig-zag rule.
using oracle::fromNano;
using oracle::kNano;

std::string referenceByIntegers(std::int64_t latitude, std::int64_t longitude, Scale scale) {
    return oracle::referenceByIntegers(latitude, longitude, toOracle(scale));
}

// The edge rule, written out: a cell holds west < longitude <= east and
// south <= latitude < north.
bool holds(const Bounds& b, double latitude, double longitude) {
    return b.west < longitude && longitude <= b.east && b.south <= latitude && latitude < b.north;
}

bool within(const Bounds& inner, const Bounds& outer) {
    return outer.south <= inner.south && inner.north <= outer.north && outer.west <= inner.west &&
           inner.east <= outer.east;
}

struct Place {
    const char* name;
    double latitude;
    double longitude;
    const char* sheet; // the map area and series are its prefixes
};

void PrintTo(const Place& place, std::ostream* os) {
    *os << place.name;
}

class KnownPlaces : public testing::TestWithParam<Place> {};

TEST_P(KnownPlaces, GiveTheirReferenceAtEveryScale) {
    const Place& p = GetParam();
    const std::string sheet = p.sheet;
    EXPECT_EQ(located(p.latitude, p.longitude, Scale::Sheet), sheet);
    EXPECT_EQ(located(p.latitude, p.longitude, Scale::MapArea), sheet.substr(0, 4));
    EXPECT_EQ(located(p.latitude, p.longitude, Scale::Series), sheet.substr(0, 3));
}

INSTANTIATE_TEST_SUITE_P(Published, KnownPlaces,
                         testing::Values(Place{"BarbeauPeak", 81.9147, -75.0092, "340D15"},
                                         Place{"CommonwealthMountain", 82.4, -76.75, "340E06"},
                                         Place{"Paulatuk", 69.3514, -124.0694, "097C08"},
                                         Place{"Vancouver", 49.25, -123.1, "092G06"},
                                         Place{"StJohns", 47.56, -52.7, "001N10"}),
                         [](const auto& row) { return std::string(row.param.name); });

// Each zone limit, on it and one double to the other side. On a parallel the point
// goes north, on a meridian west.
INSTANTIATE_TEST_SUITE_P(
    ZoneEdges, KnownPlaces,
    testing::Values(Place{"On68", 68, -100, "067B01"},
                    Place{"Below68", std::nextafter(68.0, 0.0), -100, "066N16"},
                    Place{"On80", 80, -62, "120A04"},
                    Place{"Below80", std::nextafter(80.0, 0.0), -62, "019G14"},
                    Place{"On84", 84, -100, "561B03"},
                    Place{"Below84", std::nextafter(84.0, 0.0), -100, "560G14"},
                    Place{"Below88", std::nextafter(88.0, 0.0), -100, "561G14"},
                    Place{"On56InTheHighArctic", 81, -56, "120D01"},
                    Place{"InsideOf136", 81, std::nextafter(-136.0, 0.0), "910C04"},
                    Place{"InsideOf120North84", 85, std::nextafter(-120.0, 0.0), "781C04"},
                    Place{"On120South84", 83, -120, "910H01"}, Place{"On48", 60, -48, "005A01"},
                    Place{"InsideOf144", 79, std::nextafter(-144.0, 0.0), "119G04"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(OutsideTheGrid, HasNoReferenceAtAnyScale) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, double> outside[] = {
        {std::nextafter(40.0, 0.0), -100}, // south of 40° N
        {88, -100},                        // on 88° N: north of the grid
        {60, std::nextafter(-48.0, 0.0)},  // east of 48° W
        {60, -144},                        // on 144° W: goes west, out of the grid
        {81, std::nextafter(-56.0, 0.0)},  // east of the high-Arctic series
        {80, -50},                         // the Arctic reaches 48° W, the high Arctic does not
        {81, -136},                        // west of 910
        {85, -120},                        // where 911 would be
        {85, -130},
        {84, -125}, // on 84° N goes north, where there is no series
        {90, -100},
        {nan, -100},
        {60, nan},
        {kInf, -100},
        {60, -kInf},
        {std::numeric_limits<double>::lowest(), -100},
        {60, std::numeric_limits<double>::max()},
    };
    for (const auto& [latitude, longitude] : outside) {
        for (const Scale scale : kScales) {
            EXPECT_FALSE(
                sheetref::locate({.latitude = latitude, .longitude = longitude}, scale).has_value())
                << latitude << ", " << longitude << " at " << scale;
        }
    }
}

TEST(AgainstIntegerArithmetic, EveryCornerAndJustInsideEachEdge) {
    int checked = 0;
    for (std::int64_t lat = 40 * kNano; lat <= 88 * kNano; lat += kNano / 4) {
        for (std::int64_t lon = -44 * kNano; lon >= -148 * kNano; lon -= kNano / 2) {
            for (const std::int64_t dLat : {-1, 0, 1}) {
                for (const std::int64_t dLon : {-1, 0, 1}) {
                    const double latitude = fromNano(lat + dLat);
                    const double longitude = fromNano(lon + dLon);
                    for (const Scale scale : kScales) {
                        ASSERT_EQ(located(latitude, longitude, scale),
                                  referenceByIntegers(lat + dLat, lon + dLon, scale))
                            << "latitude " << latitude << ", longitude " << longitude;
                    }
                    ++checked;
                }
            }
        }
    }
    EXPECT_EQ(checked, 193 * 209 * 9);
}

TEST(Bounds, OfKnownReferences) {
    EXPECT_EQ(sheetref::bounds(parsed("092G06")), (Bounds{49.25, 49.5, -123.5, -123}));
    EXPECT_EQ(sheetref::bounds(parsed("092G")), (Bounds{49, 50, -124, -122}));
    EXPECT_EQ(sheetref::bounds(parsed("092")), (Bounds{48, 52, -128, -120}));
    EXPECT_EQ(sheetref::bounds(parsed("097C08")), (Bounds{69.25, 69.5, -125, -124}));
    EXPECT_EQ(sheetref::bounds(parsed("340D15")), (Bounds{81.75, 82, -76, -74}));
    EXPECT_EQ(sheetref::bounds(parsed("340")), (Bounds{80, 84, -88, -72}));
    EXPECT_EQ(sheetref::bounds(parsed("910")), (Bounds{80, 84, -136, -120}));
    EXPECT_EQ(sheetref::bounds(parsed("781")), (Bounds{84, 88, -120, -104}));
    EXPECT_EQ(sheetref::bounds(parsed("000A01")), (Bounds{40, 40.25, -48.5, -48}));
}

// The whole grid, at each scale, tiles its three zones exactly once.
TEST(WholeGrid, HasEveryCellOnceAndNothingElse) {
    const std::size_t expected[] = {7 * 12 + 3 * 12 + 9, 7 * 12 * 16 + 3 * 12 * 8 + 9 * 8,
                                    (7 * 12 * 16 + 3 * 12 * 8 + 9 * 8) * 16};
    for (const Scale scale : kScales) {
        const std::vector<Reference> all = covered(kWorld, scale);
        EXPECT_EQ(all.size(), expected[static_cast<int>(scale)]) << scale;
        EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
        EXPECT_EQ(std::set<Reference>(all.begin(), all.end()).size(), all.size());
        double area = 0;
        for (const Reference& r : all) {
            const Bounds b = sheetref::bounds(r);
            area += (b.north - b.south) * (b.east - b.west);
            const double midLatitude = (b.south + b.north) / 2;
            const double midLongitude = (b.west + b.east) / 2;
            ASSERT_EQ(sheetref::locate({.latitude = midLatitude, .longitude = midLongitude}, scale),
                      r);
            ASSERT_EQ(r.scale(), scale);
        }
        // 40°-80° by 96°, 80°-84° by 80°, 84°-88° by 64°.
        EXPECT_EQ(area, 40 * 96 + 4 * 80 + 4 * 64) << scale;
    }
}

TEST(WholeGrid, SeriesHold16Or8MapAreasAndMapAreas16Sheets) {
    for (const Reference& series : covered(kWorld, Scale::Series)) {
        const std::vector<Reference> areas = covered(sheetref::bounds(series), Scale::MapArea);
        const bool southern = series.seriesNumber() < 120 && series.seriesNumber() % 10 < 7;
        ASSERT_EQ(areas.size(), southern ? 16u : 8u) << series;
        for (const Reference& area : areas) {
            EXPECT_EQ(area.at(Scale::Series), series);
            const std::vector<Reference> sheets = covered(sheetref::bounds(area), Scale::Sheet);
            ASSERT_EQ(sheets.size(), 16u) << area;
            for (int i = 0; i < 16; ++i) {
                EXPECT_EQ(sheets[static_cast<std::size_t>(i)],
                          Reference::sheet(series.seriesNumber(), area.letter(), i + 1));
            }
        }
    }
}

// Random points in every zone, and a little beyond it, with the seed printed so that
// a failure can be replayed.
TEST(RandomPoints, RoundTripThroughBoundsTextAndNeighbours) {
    const unsigned seed = 20240611;
    std::cout << "random seed " << seed << "\n";
    std::mt19937 random(seed);
    struct Band {
        double south, north, west, east;
    };
    const Band bands[] = {{39.5, 68.5, -144.5, -47.5},
                          {67.5, 80.5, -144.5, -47.5},
                          {79.5, 84.5, -136.5, -55.5},
                          {83.5, 88.5, -120.5, -55.5}};
    int located = 0;
    for (const Band& band : bands) {
        std::uniform_real_distribution<double> latitudes(band.south, band.north);
        std::uniform_real_distribution<double> longitudes(band.west, band.east);
        for (int i = 0; i < 2000; ++i) {
            double latitude = latitudes(random);
            double longitude = longitudes(random);
            if (i % 4 == 0) { // onto an edge of the 15' x 30' lattice
                latitude = std::round(latitude * 4) / 4;
                longitude = std::round(longitude * 2) / 2;
            }
            for (const Scale scale : kScales) {
                const auto found =
                    sheetref::locate({.latitude = latitude, .longitude = longitude}, scale);
                if (!found) {
                    continue;
                }
                ++located;
                const Reference r = *found;
                const Bounds b = sheetref::bounds(r);
                ASSERT_TRUE(holds(b, latitude, longitude))
                    << r << " " << b << " " << latitude << ", " << longitude;
                ASSERT_EQ(parsed(r.text()), r);
                for (const Scale coarser : kScales) {
                    if (coarser < scale) {
                        ASSERT_EQ(sheetref::locate({.latitude = latitude, .longitude = longitude},
                                                   coarser),
                                  r.at(coarser));
                        ASSERT_TRUE(within(b, sheetref::bounds(*r.at(coarser))));
                    }
                }
                if (i % 16 == 0) {
                    for (const Reference& n : sheetref::neighbours(r)) {
                        const std::vector<Reference> back = sheetref::neighbours(n);
                        ASSERT_NE(std::find(back.begin(), back.end(), r), back.end())
                            << r << " and " << n;
                    }
                }
            }
        }
    }
    EXPECT_GT(located, 20000);
}

struct NeighbourCase {
    const char* name;
    const char* reference;
    std::vector<std::string> neighbours;
};

void PrintTo(const NeighbourCase& c, std::ostream* os) {
    *os << c.name;
}

class Neighbours : public testing::TestWithParam<NeighbourCase> {};

TEST_P(Neighbours, ShareAnEdgeOrACorner) {
    EXPECT_EQ(texts(sheetref::neighbours(parsed(GetParam().reference))), GetParam().neighbours);
}

INSTANTIATE_TEST_SUITE_P(
    Known, Neighbours,
    testing::Values(
        NeighbourCase{
            "InsideAMapArea",
            "092G06",
            {"092G02", "092G03", "092G04", "092G05", "092G07", "092G10", "092G11", "092G12"}},
        NeighbourCase{"CornerOfTheGrid", "000A01", {"000A02", "000A07", "000A08"}},
        NeighbourCase{
            "AcrossSeries", "092", {"081", "082", "083", "091", "093", "101", "102", "103"}},
        // 1°-wide Arctic sheets above 68° N meet 30'-wide southern sheets below it.
        NeighbourCase{"ArcticAbove68",
                      "067B01",
                      {"066N14", "066N15", "066N16", "066O13", "067A04", "067A05", "067B02",
                       "067B07", "067B08"}},
        NeighbourCase{"SouthernBelow68",
                      "066N16",
                      {"066N09", "066N10", "066N15", "066O12", "066O13", "067A04", "067B01"}},
        // 2°-wide high-Arctic sheets above 80° N meet 1°-wide Arctic sheets.
        NeighbourCase{"HighArcticAbove80",
                      "560A01",
                      {"049G13", "059H14", "059H15", "059H16", "340B04", "340B05", "560A02",
                       "560A07", "560A08"}},
        NeighbourCase{"SeriesAcross80", "079", {"068", "069", "078", "088", "089", "560", "780"}},
        // North of 84° N there is nothing west of 120° W.
        NeighbourCase{"HighArcticCornerAt84",
                      "910H16",
                      {"780G12", "780G13", "781B04", "910H09", "910H10", "910H15"}},
        NeighbourCase{"WestOfTheGridAt84", "910G13", {"910G11", "910G12", "910G14"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Neighbours, AgreeWithClosedBoundsOverTheWholeGrid) {
    for (const Scale scale : kScales) {
        const std::vector<Reference> all = covered(kWorld, scale);
        for (std::size_t i = 0; i < all.size(); i += all.size() / 150 + 1) {
            const Bounds b = sheetref::bounds(all[i]);
            std::vector<Reference> expected;
            for (const Reference& other : all) {
                const Bounds o = sheetref::bounds(other);
                if (other != all[i] && o.west <= b.east && b.west <= o.east && o.south <= b.north &&
                    b.south <= o.north) {
                    expected.push_back(other);
                }
            }
            ASSERT_EQ(sheetref::neighbours(all[i]), expected) << all[i];
        }
    }
}

struct CoverCase {
    const char* name;
    Bounds box;
    Scale scale;
    std::vector<std::string> references;
};

void PrintTo(const CoverCase& c, std::ostream* os) {
    *os << c.name;
}

class Cover : public testing::TestWithParam<CoverCase> {};

TEST_P(Cover, TouchesWhatTheBoxShares) {
    EXPECT_EQ(texts(covered(GetParam().box, GetParam().scale)), GetParam().references);
}

// Box edges are read like cell edges: lying on a cell's edge never reaches across it.
INSTANTIATE_TEST_SUITE_P(
    Edges, Cover,
    testing::Values(
        CoverCase{"ExactBoundsOfASheet", {49.25, 49.5, -123.5, -123}, Scale::Sheet, {"092G06"}},
        CoverCase{
            "EastEdgeOnASheetsWestMeridian", {49.3, 49.4, -124, -123.5}, Scale::Sheet, {"092G05"}},
        CoverCase{"EastEdgeJustPastIt",
                  {49.3, 49.4, -124, std::nextafter(-123.5, 0.0)},
                  Scale::Sheet,
                  {"092G05", "092G06"}},
        CoverCase{"NorthEdgeOnASheetsSouthParallel",
                  {49, 49.25, -123.4, -123.1},
                  Scale::Sheet,
                  {"092G03"}},
        CoverCase{"Point", {49.25, 49.25, -123.1, -123.1}, Scale::Sheet, {"092G06"}},
        CoverCase{"PointOnACorner", {49.25, 49.25, -123, -123}, Scale::Sheet, {"092G06"}},
        CoverCase{"LineAlongAParallel",
                  {49.25, 49.25, -123.9, -123.1},
                  Scale::Sheet,
                  {"092G05", "092G06"}},
        CoverCase{"Across68", {67.9, 68.1, -100.4, -100.1}, Scale::Sheet, {"066N16", "067B01"}},
        CoverCase{"Across80", {79.9, 80.1, -56.5, -55.5}, Scale::MapArea, {"009G", "019H", "120A"}},
        CoverCase{"SeriesAcrossAllZones",
                  {66, 82, -100, -98},
                  Scale::Series,
                  {"066", "067", "068", "069", "560"}},
        CoverCase{"OutsideTheGrid", {30, 35, -100, -90}, Scale::Sheet, {}},
        CoverCase{"PartlyOutside", {39, 40.1, -48.6, -40}, Scale::Sheet, {"000A01", "000A02"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Cover, AgreesWithBoundsForRandomBoxes) {
    const unsigned seed = 77;
    std::cout << "random seed " << seed << "\n";
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> latitudes(38, 89);
    std::uniform_real_distribution<double> longitudes(-146, -46);
    std::uniform_int_distribution<int> quarters(0, 24);
    const std::vector<Reference> all = covered(kWorld, Scale::MapArea);
    for (int i = 0; i < 300; ++i) {
        const double south = latitudes(random);
        const double west = longitudes(random);
        // Some boxes end on the lattice, some have no height or width.
        const double north = i % 3 == 0 ? std::floor(south) + quarters(random) / 4.0
                                        : south + quarters(random) / 7.0;
        const double east = i % 5 == 0 ? west : west + quarters(random) / 3.0;
        const Bounds box{std::min(south, north), std::min(90.0, std::max(south, north)), west,
                         east};
        std::vector<Reference> expected;
        for (const Reference& r : all) {
            const Bounds b = sheetref::bounds(r);
            const bool alongLatitude = box.south == box.north
                                           ? b.south <= box.south && box.south < b.north
                                           : b.south < box.north && box.south < b.north;
            const bool alongLongitude = box.west == box.east
                                            ? b.west < box.east && box.east <= b.east
                                            : b.west < box.east && box.west < b.east;
            if (alongLatitude && alongLongitude) {
                expected.push_back(r);
            }
        }
        ASSERT_EQ(covered(box, Scale::MapArea), expected) << box;
    }
}

TEST(Cover, RejectsBadBoxesWithTheEdgeAndValue) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto failure = [](const Bounds& box) {
        const auto result = sheetref::cover(box, Scale::Sheet);
        const auto* found = std::get_if<sheetref::BoxFailure>(&result);
        return found ? sheetref::describe(*found) : std::string("no failure");
    };
    EXPECT_EQ(failure({nan, 50, -124, -122}),
              "the south edge nan is not a number; expected decimal degrees");
    EXPECT_EQ(failure({49, 50, -124, kInf}),
              "the east edge inf is not a number; expected decimal degrees");
    EXPECT_EQ(failure({-123, 50, 49, -122}), "south edge -123 is out of range -90..90");
    EXPECT_EQ(failure({49, 50, -1e300, -122}), "west edge -1e+300 is out of range -180..180");
    EXPECT_EQ(failure({50, 49, -124, -122}),
              "the south edge 50 is north of the north edge 49; expected SOUTH <= NORTH");
    EXPECT_EQ(failure({49, 50, 124, 122}), "the west edge 124 is east of the east edge 122; "
                                           "expected WEST <= EAST, with west longitudes negative");
}

} // namespace
