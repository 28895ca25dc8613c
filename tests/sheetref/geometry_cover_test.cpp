// SPDX-License-Identifier: MIT
#include "cover_oracle.h"
#include "geometry_cover.h"
#include "grid.h"
#include "nts_oracle.h"
#include "oracle_scale.h"
#include "stepped.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <numbers>
#include <random>
#include <set>
#include <string>
#include <vector>

using sheetref::LatLon;
using sheetref::Reference;
using sheetref::Scale;

namespace {

constexpr Scale kScales[] = {Scale::Series, Scale::MapArea, Scale::Sheet};
const double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::numeric_limits<double>::quiet_NaN();

using Line = std::vector<LatLon>;
using Rings = std::vector<std::vector<LatLon>>;

std::vector<std::string> texts(const sheetref::GeometryCover& cover) {
    if (const auto* failure = std::get_if<sheetref::GeometryFailure>(&cover)) {
        ADD_FAILURE() << sheetref::describe(*failure);
        return {};
    }
    std::vector<std::string> result;
    for (const Reference& reference : std::get<std::vector<Reference>>(cover)) {
        result.push_back(reference.text());
    }
    return result;
}

std::vector<std::string> lineCover(const Line& line, Scale scale) {
    return texts(sheetref::coverLine(line, scale));
}

std::vector<std::string> polygonCover(const Rings& rings, Scale scale) {
    return texts(sheetref::coverPolygon(rings, scale));
}

oracle::Vertex vertex(const LatLon& point) {
    return {point.latitude, point.longitude};
}

struct Box {
    double south = kInf;
    double north = -kInf;
    double west = kInf;
    double east = -kInf;
};

Box boxOf(const Line& points) {
    Box box;
    for (const LatLon& p : points) {
        box.south = std::min(box.south, p.latitude);
        box.north = std::max(box.north, p.latitude);
        box.west = std::min(box.west, p.longitude);
        box.east = std::max(box.east, p.longitude);
    }
    return box;
}

std::vector<std::string> candidates(const Box& box, Scale scale) {
    return oracle::cellsNear(box.south, box.north, box.west, box.east, toOracle(scale));
}

// The oracle's cover of a line: every candidate cell that some segment meets.
std::vector<std::string> oracleLine(const Line& line, Scale scale) {
    std::vector<std::string> found;
    if (line.empty()) {
        return found;
    }
    for (const std::string& text : candidates(boxOf(line), scale)) {
        const oracle::Extent cell = *oracle::oracleBounds(text);
        bool meets =
            line.size() == 1 && oracle::segmentMeetsCell(vertex(line[0]), vertex(line[0]), cell);
        for (std::size_t i = 1; i < line.size() && !meets; ++i) {
            meets = oracle::segmentMeetsCell(vertex(line[i - 1]), vertex(line[i]), cell);
        }
        if (meets) {
            found.push_back(text);
        }
    }
    return found;
}

// Areas this far from zero in square degrees are judged; the oracle clips in long
// double, so between the two it cannot tell a sliver from a touch.
constexpr long double kSureArea = 1e-9L;
constexpr long double kSureNoArea = 1e-13L;

struct PolygonJudgement {
    std::vector<std::string> mustHave;    // a clear share of area
    std::vector<std::string> mustNotHave; // no area, or not near the polygon at all
    int undecided = 0;
};

PolygonJudgement judge(const Rings& rings, Scale scale) {
    PolygonJudgement judgement;
    std::vector<std::vector<oracle::Vertex>> oracleRings;
    for (const auto& ring : rings) {
        oracleRings.emplace_back();
        for (const LatLon& p : ring) {
            oracleRings.back().push_back(vertex(p));
        }
    }
    for (const std::string& text : candidates(boxOf(rings.at(0)), scale)) {
        const long double area = oracle::sharedArea(oracleRings, *oracle::oracleBounds(text));
        if (area > kSureArea) {
            judgement.mustHave.push_back(text);
        } else if (area < kSureNoArea) {
            judgement.mustNotHave.push_back(text);
        } else {
            ++judgement.undecided;
        }
    }
    return judgement;
}

// The polygon's cover agrees with the oracle's areas; returns how many cells the
// oracle could not judge.
int expectCoverMatchesAreas(const Rings& rings, Scale scale) {
    const std::vector<std::string> found = polygonCover(rings, scale);
    const PolygonJudgement judgement = judge(rings, scale);
    const std::set<std::string> cover(found.begin(), found.end());
    for (const std::string& text : judgement.mustHave) {
        EXPECT_TRUE(cover.count(text)) << text << " shares area but is missing at " << scale;
    }
    for (const std::string& text : judgement.mustNotHave) {
        EXPECT_FALSE(cover.count(text)) << text << " shares no area but is covered at " << scale;
    }
    const std::vector<std::string> near = candidates(boxOf(rings.at(0)), scale);
    for (const std::string& text : found) {
        EXPECT_TRUE(std::binary_search(near.begin(), near.end(), text))
            << text << " is nowhere near the polygon";
    }
    return judgement.undecided;
}

Rings boundsRing(const sheetref::Bounds& b) {
    return {{{.latitude = b.south, .longitude = b.west},
             {.latitude = b.south, .longitude = b.east},
             {.latitude = b.north, .longitude = b.east},
             {.latitude = b.north, .longitude = b.west}}};
}

std::vector<Reference> wholeGrid(Scale scale) {
    return std::get<std::vector<Reference>>(sheetref::cover({-90, 90, -180, 180}, scale));
}

// ---------------------------------------------------------------------------------
// Lines

struct LineCase {
    const char* name;
    Line line;
    Scale scale;
    std::vector<std::string> expected;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class LineCover : public testing::TestWithParam<LineCase> {};

TEST_P(LineCover, TakesTheCellOfEveryPoint) {
    const LineCase& c = GetParam();
    EXPECT_EQ(lineCover(c.line, c.scale), c.expected);
    EXPECT_EQ(oracleLine(c.line, c.scale), c.expected);
}

LatLon at(double latitude, double longitude) {
    return {.latitude = latitude, .longitude = longitude};
}

// 092G06 is [49.25, 49.5) x (-123.5, -123]. Round its south-east corner (49.25, -123)
// lie 03 to the south, 02 to the south-east and 07 to the east; 05 is west of it and
// 11 north of it. A line through that corner takes the corner's own cell, 06.
INSTANTIATE_TEST_SUITE_P(
    EdgesAndCorners, LineCover,
    testing::Values(
        LineCase{"NoVertex", {}, Scale::Sheet, {}},
        LineCase{"SingleVertex", {at(49.3, -123.1)}, Scale::Sheet, {"092G06"}},
        LineCase{"SingleVertexOnACorner", {at(49.25, -123)}, Scale::Sheet, {"092G06"}},
        LineCase{"RepeatedVertex", {at(49.3, -123.1), at(49.3, -123.1)}, Scale::Sheet, {"092G06"}},
        LineCase{"AlongAMeridianGoesWest",
                 {at(49.3, -123.5), at(49.45, -123.5)},
                 Scale::Sheet,
                 {"092G05"}},
        LineCase{"AlongAParallelGoesNorth",
                 {at(49.25, -123.9), at(49.25, -123.1)},
                 Scale::Sheet,
                 {"092G05", "092G06"}},
        LineCase{"AlongAParallelOverACorner",
                 {at(49.25, -123.2), at(49.25, -122.8)},
                 Scale::Sheet,
                 {"092G06", "092G07"}},
        LineCase{"NorthEastThroughACorner",
                 {at(49.125, -123.25), at(49.375, -122.75)},
                 Scale::Sheet,
                 {"092G03", "092G06", "092G07"}},
        LineCase{"NorthWestThroughACorner",
                 {at(49.125, -122.75), at(49.375, -123.25)},
                 Scale::Sheet,
                 {"092G02", "092G06"}},
        LineCase{"SouthEastThroughACorner",
                 {at(49.375, -123.25), at(49.125, -122.75)},
                 Scale::Sheet,
                 {"092G02", "092G06"}},
        // Lines that miss the corner (49.25, -123) by less than a rounding error: a
        // floating-point determinant says they go through it.
        LineCase{"PassesJustSouthEastOfACorner",
                 {at(49.13630521579208, -123.33031334373689),
                  at(49.46242959087158, -122.38283599411976)},
                 Scale::Sheet,
                 {"092G02", "092G03", "092G07", "092G08"}},
        LineCase{"PassesJustNorthWestOfACorner",
                 {at(49.126896795532716, -123.12563592188361),
                  at(49.53677832516837, -122.70732151600211)},
                 Scale::Sheet,
                 {"092G03", "092G06", "092G07", "092G10"}},
        LineCase{"EndsOnAMeridianFromTheWest",
                 {at(49.3, -123.7), at(49.3, -123.5)},
                 Scale::Sheet,
                 {"092G05"}},
        LineCase{"EndsOnAMeridianFromTheEast",
                 {at(49.3, -123.3), at(49.3, -123.5)},
                 Scale::Sheet,
                 {"092G05", "092G06"}},
        LineCase{"EndsOnAParallelFromTheNorth",
                 {at(49.4, -123.3), at(49.25, -123.3)},
                 Scale::Sheet,
                 {"092G06"}},
        LineCase{"EndsOnAParallelFromTheSouth",
                 {at(49.1, -123.3), at(49.25, -123.3)},
                 Scale::Sheet,
                 {"092G03", "092G06"}},
        LineCase{
            "Across68", {at(67.9, -100.3), at(68.1, -100.3)}, Scale::Sheet, {"066N16", "067B01"}},
        LineCase{"Across68Diagonally",
                 {at(67.9, -100.9), at(68.1, -99.1)},
                 Scale::Sheet,
                 {"066N15", "066N16", "067A04", "067B01"}},
        LineCase{
            "Across80", {at(79.9, -56.25), at(80.1, -56.25)}, Scale::MapArea, {"019H", "120A"}},
        LineCase{"Along80GoesNorth", {at(80, -58.5), at(80, -55)}, Scale::MapArea, {"120A"}},
        LineCase{
            "Along84WestOf120IsOutside", {at(84, -125), at(84, -119)}, Scale::MapArea, {"781B"}},
        LineCase{
            "PartlyOutsideTheGrid", {at(39.5, -48.25), at(40.1, -48.25)}, Scale::Sheet, {"000A01"}},
        LineCase{"AlongTheEasternLimit", {at(60.1, -48), at(60.2, -48)}, Scale::Sheet, {"005A01"}},
        LineCase{
            "AlongTheWesternLimitIsOutside", {at(60.1, -144), at(60.2, -144)}, Scale::Sheet, {}},
        LineCase{"WhollyOutside", {at(30, -100), at(35, -90)}, Scale::Sheet, {}},
        LineCase{
            "FromOutsideToTheFarSide",
            {at(45.1, -30), at(45.1, -160)},
            Scale::Series,
            {"001", "011", "021", "031", "041", "051", "061", "071", "081", "091", "101", "111"}}),
    [](const auto& row) { return std::string(row.param.name); });

struct LineFailureCase {
    const char* name;
    Line line;
    std::string message;
};

void PrintTo(const LineFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class LineCoverRejects : public testing::TestWithParam<LineFailureCase> {};

TEST_P(LineCoverRejects, TheFirstBadVertex) {
    const auto result = sheetref::coverLine(GetParam().line, Scale::Sheet);
    const auto* failure = std::get_if<sheetref::GeometryFailure>(&result);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(sheetref::describe(*failure), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    BadVertices, LineCoverRejects,
    testing::Values(
        LineFailureCase{"NanLatitude",
                        {at(49, -123), at(49.5, -123), at(kNan, -123)},
                        "vertex 2 of the line: the latitude nan is not a number; expected "
                        "decimal degrees"},
        LineFailureCase{"InfiniteLongitude",
                        {at(49, -kInf)},
                        "vertex 0 of the line: the longitude -inf is not a number; expected "
                        "decimal degrees"},
        LineFailureCase{"LongitudeFirst",
                        {at(-123, 49)},
                        "vertex 0 of the line: latitude -123 is out of range -90..90"},
        LineFailureCase{"LongitudeBeyond180",
                        {at(49, -123), at(49, 200)},
                        "vertex 1 of the line: longitude 200 is out of range -180..180"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PointCover, NamesABadPointAsAPoint) {
    const auto result = sheetref::coverPoint(at(91, -123.1), Scale::Sheet);
    const auto* failure = std::get_if<sheetref::GeometryFailure>(&result);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(sheetref::describe(*failure), "the point: latitude 91 is out of range -90..90");
}

// A route across the Strait of Georgia, in the middle of map area 092G.
TEST(LineCover, TheNamedRouteAtEachScale) {
    const Line route = {at(49.3, -123.95), at(49.62, -122.35)};
    const std::vector<std::string> expected[] = {
        {"092"},
        {"092G"},
        {"092G05", "092G06", "092G07", "092G09", "092G10"},
    };
    for (const Scale scale : kScales) {
        const std::vector<std::string> found = lineCover(route, scale);
        std::cout << scale << ": " << found.size() << " cells\n";
        EXPECT_EQ(found, oracleLine(route, scale)) << scale;
        EXPECT_EQ(found, expected[static_cast<int>(scale)]) << scale;
    }
}

// A line along the whole outline of a cell holds the cell's south and east edges and
// its corners by the edge rule: the cell itself, and the cells west of its west edge,
// north of its north edge and at its north-west corner.
TEST(LineCover, OfACellsOutlineTakesItsNorthAndWestNeighbours) {
    const std::vector<LatLon> ring = *sheetref::cellRing(*Reference::sheet(92, 'G', 6), 1);
    EXPECT_EQ(lineCover(ring, Scale::Sheet),
              (std::vector<std::string>{"092G05", "092G06", "092G11", "092G12"}));
}

// Random polylines, many starting or ending on the lattice or a few doubles from it,
// judged cell by cell by the exact oracle; every vertex's cell, and every sampled
// point away from a lattice line, must be in the cover.
TEST(LineCover, AgreesWithTheExactOracleOnARandomSweep) {
    const unsigned seed = 4242;
    std::cout << "random seed " << seed << "\n";
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> latitudes(38, 89);
    std::uniform_real_distribution<double> longitudes(-146, -46);
    std::uniform_real_distribution<double> steps(-1.5, 1.5);
    std::uniform_int_distribution<int> kinds(0, 5);
    std::uniform_int_distribution<int> lengths(1, 5);
    std::uniform_int_distribution<int> ulps(-2, 2);
    const auto nudge = [&](double value) { return stepped(value, ulps(random)); };
    constexpr int kLines = 3000;
    int segments = 0;
    for (int i = 0; i < kLines; ++i) {
        const Scale scale = kScales[i % 3];
        Line line;
        LatLon point = at(latitudes(random), longitudes(random));
        for (int n = lengths(random); n > 0; --n) {
            switch (kinds(random)) {
            case 0: // onto the lattice
                point = at(std::round(point.latitude * 4) / 4, std::round(point.longitude * 2) / 2);
                break;
            case 1: // a few doubles beside it
                point = at(nudge(std::round(point.latitude * 4) / 4),
                           nudge(std::round(point.longitude * 2) / 2));
                break;
            case 2: // along a meridian
                point.latitude = std::clamp(point.latitude + steps(random), 38.0, 89.0);
                break;
            case 3: // along a parallel
                point.longitude = std::clamp(point.longitude + steps(random), -146.0, -46.0);
                break;
            default:
                point = at(std::clamp(point.latitude + steps(random), 38.0, 89.0),
                           std::clamp(point.longitude + steps(random), -146.0, -46.0));
                break;
            }
            line.push_back(point);
        }
        segments += static_cast<int>(line.size()) - 1;
        const std::vector<std::string> found = lineCover(line, scale);
        ASSERT_EQ(found, oracleLine(line, scale)) << "line " << i << " at " << scale;
        const std::set<std::string> cover(found.begin(), found.end());
        for (const LatLon& p : line) {
            const std::string own =
                oracle::oracleReference(p.latitude, p.longitude, toOracle(scale));
            ASSERT_TRUE(own.empty() || cover.count(own)) << own << " of a vertex, line " << i;
        }
        for (std::size_t s = 1; s < line.size(); ++s) {
            for (int k = 1; k < 64; ++k) {
                const double t = k / 64.0;
                const LatLon p =
                    at(line[s - 1].latitude + t * (line[s].latitude - line[s - 1].latitude),
                       line[s - 1].longitude + t * (line[s].longitude - line[s - 1].longitude));
                const double offLatitude = std::abs(p.latitude * 4 - std::round(p.latitude * 4));
                const double offLongitude = std::abs(p.longitude * 2 - std::round(p.longitude * 2));
                if (offLatitude < 1e-9 || offLongitude < 1e-9) {
                    continue; // a rounded sample so near a lattice line may be off the line
                }
                const std::string own =
                    oracle::oracleReference(p.latitude, p.longitude, toOracle(scale));
                ASSERT_TRUE(own.empty() || cover.count(own)) << own << " sampled, line " << i;
            }
        }
    }
    std::cout << kLines << " lines, " << segments << " segments\n";
}

// ---------------------------------------------------------------------------------
// Polygons

struct PolygonCase {
    const char* name;
    Rings rings;
    Scale scale;
    std::vector<std::string> expected;
};

void PrintTo(const PolygonCase& c, std::ostream* os) {
    *os << c.name;
}

class PolygonCover : public testing::TestWithParam<PolygonCase> {};

TEST_P(PolygonCover, TakesTheCellsItSharesAreaWith) {
    const PolygonCase& c = GetParam();
    EXPECT_EQ(polygonCover(c.rings, c.scale), c.expected);
    if (!c.rings.empty()) {
        EXPECT_EQ(expectCoverMatchesAreas(c.rings, c.scale), 0);
    }
}

Rings square(double south, double north, double west, double east) {
    return boundsRing({south, north, west, east});
}

Rings withHole(Rings outer, const Rings& hole) {
    outer.push_back(hole[0]);
    return outer;
}

std::vector<std::string> sheetsOf092GBut(const std::set<int>& left) {
    std::vector<std::string> result;
    for (int sheet = 1; sheet <= 16; ++sheet) {
        if (!left.count(sheet)) {
            result.push_back((sheet < 10 ? "092G0" : "092G") + std::to_string(sheet));
        }
    }
    return result;
}

INSTANTIATE_TEST_SUITE_P(
    EdgesAndHoles, PolygonCover,
    testing::Values(
        PolygonCase{"NoRings", {}, Scale::Sheet, {}},
        PolygonCase{
            "ASheetsOwnBounds", square(49.25, 49.5, -123.5, -123), Scale::Sheet, {"092G06"}},
        PolygonCase{"ASheetsOwnBoundsClosed",
                    {{at(49.25, -123.5), at(49.25, -123), at(49.5, -123), at(49.5, -123.5),
                      at(49.25, -123.5)}},
                    Scale::Sheet,
                    {"092G06"}},
        PolygonCase{"ASheetsOwnBoundsClockwise",
                    {{at(49.25, -123.5), at(49.5, -123.5), at(49.5, -123), at(49.25, -123)}},
                    Scale::Sheet,
                    {"092G06"}},
        PolygonCase{"TouchingASheetAlongItsEastEdge",
                    square(49.3, 49.4, -123, -122.9),
                    Scale::Sheet,
                    {"092G07"}},
        PolygonCase{"AVertexOnTheCornerOfFourSheets",
                    {{at(49.25, -123), at(49.1, -122.9), at(49.1, -122.7)}},
                    Scale::Sheet,
                    {"092G02"}},
        PolygonCase{"DiamondThroughTheMidpointsOfASheet",
                    {{at(49.25, -123.25), at(49.375, -123), at(49.5, -123.25), at(49.375, -123.5)}},
                    Scale::Sheet,
                    {"092G06"}},
        PolygonCase{"DiamondOnACorner",
                    {{at(49.125, -123), at(49.25, -122.75), at(49.375, -123), at(49.25, -123.25)}},
                    Scale::Sheet,
                    {"092G02", "092G03", "092G06", "092G07"}},
        PolygonCase{"AMapAreaLessOneSheet",
                    withHole(square(49, 50, -124, -122), square(49.25, 49.5, -123.5, -123)),
                    Scale::Sheet, sheetsOf092GBut({6})},
        PolygonCase{"AMapAreaLessAHoleInsideOneSheet",
                    withHole(square(49, 50, -124, -122), square(49.3, 49.4, -123.4, -123.1)),
                    Scale::Sheet, sheetsOf092GBut({})},
        PolygonCase{"AMapAreaAtItsOwnScale", square(49, 50, -124, -122), Scale::MapArea, {"092G"}},
        PolygonCase{
            "Across68", square(67.9, 68.1, -100.4, -100.1), Scale::Sheet, {"066N16", "067B01"}},
        PolygonCase{
            "Across80", square(79.9, 80.1, -56.5, -55.5), Scale::MapArea, {"009G", "019H", "120A"}},
        PolygonCase{"Across84WestOf120",
                    square(83.5, 84.5, -125, -115),
                    Scale::MapArea,
                    {"780G", "781B", "910H"}},
        PolygonCase{"PartlyOutsideTheGrid",
                    square(39, 40.1, -48.6, -40),
                    Scale::Sheet,
                    {"000A01", "000A02"}},
        PolygonCase{"WhollyOutside", square(30, 35, -100, -90), Scale::Sheet, {}}),
    [](const auto& row) { return std::string(row.param.name); });

// A polygon collapsed to a point or a line has no area to share, yet it is somewhere:
// it covers its outline's cells, as a box of no size does (the area oracle cannot
// judge these).
class PolygonWithoutArea : public testing::TestWithParam<PolygonCase> {};

TEST_P(PolygonWithoutArea, CoversItsOutlineAsALine) {
    EXPECT_EQ(polygonCover(GetParam().rings, GetParam().scale), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Collapsed, PolygonWithoutArea,
    testing::Values(
        PolygonCase{"OnePointRepeated",
                    {{at(49.3, -123.3), at(49.3, -123.3), at(49.3, -123.3), at(49.3, -123.3)}},
                    Scale::Sheet,
                    {"092G06"}},
        PolygonCase{"TwoVerticesAcrossASheetEdge",
                    {{at(49.3, -123.7), at(49.4, -123.1)}},
                    Scale::Sheet,
                    {"092G05", "092G06"}},
        PolygonCase{"AllOnOneLine",
                    {{at(49.125, -123.875), at(49.375, -123.375), at(49.875, -122.375),
                      at(49.625, -122.875)}},
                    Scale::Sheet,
                    {"092G04", "092G05", "092G06", "092G10", "092G11", "092G15", "092G16"}},
        PolygonCase{"HolesOfAnOuterRingWithNoAreaAreIgnored",
                    withHole({{at(49.3, -123.3), at(49.4, -123.1)}}, square(49, 50, -124, -122)),
                    Scale::Sheet,
                    {"092G06"}},
        PolygonCase{"OnACornerTakesTheCellThatOwnsIt",
                    {{at(49.25, -123), at(49.25, -123), at(49.25, -123)}},
                    Scale::Sheet,
                    {"092G06"}},
        PolygonCase{"AnEmptyRing", {{}}, Scale::Sheet, {}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PolygonCover, RejectsTheFirstBadVertexAndNamesItsRing) {
    const Rings rings = {{at(49, -124), at(49, -122), at(50, -122)},
                         {at(49.2, -123), at(49.3, kNan), at(49.3, -123.2)}};
    const auto result = sheetref::coverPolygon(rings, Scale::Sheet);
    const auto* failure = std::get_if<sheetref::GeometryFailure>(&result);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->error, sheetref::GeometryError::NotANumber);
    EXPECT_EQ(failure->ring, 1u);
    EXPECT_EQ(failure->vertex, 1u);
    EXPECT_EQ(failure->coordinate, sheetref::Coordinate::Longitude);
    EXPECT_EQ(sheetref::describe(*failure), "vertex 1 of ring 1 (a hole): the longitude nan is "
                                            "not a number; expected decimal degrees");
}

// The property that makes a cover of sheet outlines safe to feed back: every cell's
// own polygon, as corners or densified, covers that cell alone, at every scale.
TEST(PolygonCover, OfEveryCellsOwnOutlineIsThatCellAlone) {
    int checked = 0;
    for (const Scale scale : kScales) {
        for (const Reference& reference : wholeGrid(scale)) {
            const std::vector<std::string> alone = {reference.text()};
            ASSERT_EQ(polygonCover(boundsRing(sheetref::bounds(reference)), scale), alone);
            ASSERT_EQ(polygonCover({*sheetref::cellRing(reference, 3)}, scale), alone);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 129 + 1704 + 1704 * 16);
}

// A star-shaped ring round a centre: simple whatever the radii, since its angles only
// grow. Snapped to 1/8 degree when asked, so that many edges lie on lattice lines.
std::vector<LatLon> star(std::mt19937_64& random, LatLon centre, double radius, int vertices,
                         bool snapped) {
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    std::uniform_real_distribution<double> stretch(1.0, 1.6);
    std::vector<LatLon> ring;
    for (int i = 0; i < vertices; ++i) {
        const double angle = (i + jitter(random)) * 2 * std::numbers::pi / vertices;
        const double r = radius * stretch(random);
        LatLon p =
            at(centre.latitude + r * std::sin(angle) / 2, centre.longitude + r * std::cos(angle));
        if (snapped) {
            p = at(std::round(p.latitude * 8) / 8, std::round(p.longitude * 8) / 8);
        }
        ring.push_back(p);
    }
    return ring;
}

TEST(PolygonCover, AgreesWithClippedAreasOnARandomSweep) {
    const unsigned seed = 1234567;
    std::cout << "random seed " << seed << "\n";
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> latitudes(39, 87);
    std::uniform_real_distribution<double> longitudes(-145, -47);
    std::uniform_int_distribution<int> vertexCounts(3, 12);
    constexpr int kPolygons = 600;
    int undecided = 0;
    int withHoles = 0;
    for (int i = 0; i < kPolygons; ++i) {
        const Scale scale = kScales[i % 3];
        const double radius = scale == Scale::Series ? 5.0 : scale == Scale::MapArea ? 1.5 : 0.8;
        const bool snapped = i % 2 == 0;
        // Centres near the zone limits too, where cells of two widths meet.
        LatLon centre = at(latitudes(random), longitudes(random));
        if (i % 5 == 1) {
            centre.latitude = i % 10 == 1 ? 68 : 80;
        }
        Rings rings = {star(random, centre, radius, vertexCounts(random), snapped)};
        if (i % 3 == 0) {
            // Inside the outer ring: its radii are at least 0.8 of `radius` wherever its
            // angular gaps allow.
            rings.push_back(star(random, centre, radius / 4, vertexCounts(random), snapped));
            ++withHoles;
        }
        undecided += expectCoverMatchesAreas(rings, scale);
        if (HasFailure()) {
            FAIL() << "polygon " << i << " at " << scale;
        }
    }
    std::cout << kPolygons << " polygons (" << withHoles << " with a hole), " << undecided
              << " cells too close to call for the oracle\n";
}

// A province-sized polygon with 10 000 vertices over about a thousand sheets.
TEST(PolygonCover, OfALargeWavyPolygonMatchesTheOracle) {
    Rings rings(1);
    constexpr int kVertices = 10'000;
    for (int i = 0; i < kVertices; ++i) {
        const double angle = i * 2 * std::numbers::pi / kVertices;
        const double r = 9 + 0.5 * std::sin(37 * angle);
        rings[0].push_back(at(55 + r * std::sin(angle) / 2, -105 + r * std::cos(angle)));
    }
    const std::vector<std::string> found = polygonCover(rings, Scale::Sheet);
    std::cout << found.size() << " sheets\n";
    EXPECT_GT(found.size(), 1000u);
    EXPECT_EQ(expectCoverMatchesAreas(rings, Scale::Sheet), 0);
}

// ---------------------------------------------------------------------------------
// Merging and outlines

TEST(MergeCovers, SortsAndDropsDuplicates) {
    const auto r = [](int sheet) { return *Reference::sheet(92, 'G', sheet); };
    const std::vector<std::vector<Reference>> covers = {{r(6), r(7)}, {}, {r(2), r(6)}, {r(16)}};
    EXPECT_EQ(sheetref::mergeCovers(covers), (std::vector<Reference>{r(2), r(6), r(7), r(16)}));
}

struct RingCase {
    const char* name;
    const char* reference;
    int pointsPerEdge;
};

void PrintTo(const RingCase& c, std::ostream* os) {
    *os << c.name;
}

class CellRing : public testing::TestWithParam<RingCase> {};

TEST_P(CellRing, IsClosedCounterClockwiseAndOnTheEdges) {
    const RingCase& c = GetParam();
    const std::optional<oracle::Extent> b = oracle::oracleBounds(c.reference);
    ASSERT_TRUE(b.has_value());
    const std::optional<Reference> reference =
        sheetref::locate(at((b->south + b->north) / 2, (b->west + b->east) / 2),
                         std::string(c.reference).size() == 6   ? Scale::Sheet
                         : std::string(c.reference).size() == 4 ? Scale::MapArea
                                                                : Scale::Series);
    const std::optional<std::vector<LatLon>> ring = sheetref::cellRing(*reference, c.pointsPerEdge);
    ASSERT_TRUE(ring.has_value());
    ASSERT_EQ(ring->size(), 4 * static_cast<std::size_t>(c.pointsPerEdge) + 1);
    EXPECT_EQ(ring->front(), at(b->south, b->west));
    EXPECT_EQ(ring->back(), ring->front());
    EXPECT_EQ((*ring)[static_cast<std::size_t>(c.pointsPerEdge)], at(b->south, b->east));
    EXPECT_EQ((*ring)[2 * static_cast<std::size_t>(c.pointsPerEdge)], at(b->north, b->east));
    EXPECT_EQ((*ring)[3 * static_cast<std::size_t>(c.pointsPerEdge)], at(b->north, b->west));
    double twiceArea = 0;
    for (std::size_t i = 0; i + 1 < ring->size(); ++i) {
        const LatLon p = (*ring)[i];
        const LatLon q = (*ring)[i + 1];
        twiceArea += p.longitude * q.latitude - q.longitude * p.latitude;
        const bool onMeridian = (p.longitude == b->west || p.longitude == b->east) &&
                                b->south <= p.latitude && p.latitude <= b->north;
        const bool onParallel = (p.latitude == b->south || p.latitude == b->north) &&
                                b->west <= p.longitude && p.longitude <= b->east;
        EXPECT_TRUE(onMeridian || onParallel) << "point " << i << " " << p;
        EXPECT_NE(p, q) << "point " << i << " repeated";
    }
    // Positive: counter-clockwise with longitude as x.
    EXPECT_EQ(twiceArea / 2, (b->north - b->south) * (b->east - b->west));
}

INSTANTIATE_TEST_SUITE_P(Cells, CellRing,
                         testing::Values(RingCase{"CornersOfASheet", "092G06", 1},
                                         RingCase{"SheetInThirds", "092G06", 3},
                                         RingCase{"HighArcticSheetInSevenths", "340D15", 7},
                                         RingCase{"SeriesFinely", "910", 100}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(CellRing, RefusesAStepCountOutsideItsRange) {
    const Reference sheet = *Reference::sheet(92, 'G', 6);
    EXPECT_FALSE(sheetref::cellRing(sheet, 0).has_value());
    EXPECT_FALSE(sheetref::cellRing(sheet, -1).has_value());
    EXPECT_FALSE(sheetref::cellRing(sheet, sheetref::kMaxPointsPerEdge + 1).has_value());
    EXPECT_TRUE(sheetref::cellRing(sheet, sheetref::kMaxPointsPerEdge).has_value());
}

// ---------------------------------------------------------------------------------
// The BCGS scales

constexpr Scale kBcgsScales[] = {Scale::Bcgs20k, Scale::Bcgs10k, Scale::Bcgs5k, Scale::Bcgs2500};

// Lines in BC with vertices on BCGS edges as typed (49.1), beside them, and anywhere,
// across map areas and out of BC's series.
TEST(BcgsCover, LinesAgreeWithTheOracle) {
    const unsigned seed = 5150;
    std::cout << "random seed " << seed << "\n";
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> latitudes(47.9, 60.1);
    std::uniform_real_distribution<double> longitudes(-144.1, -111.9);
    std::uniform_real_distribution<double> steps(-0.15, 0.15);
    std::uniform_int_distribution<int> ulps(-2, 2);
    for (int i = 0; i < 400; ++i) {
        const Scale scale = kBcgsScales[i % 4];
        Line line{at(latitudes(random), longitudes(random))};
        for (int n = i % 4; n > 0; --n) {
            LatLon p =
                at(line.back().latitude + steps(random), line.back().longitude + steps(random));
            if (n % 2 == 0) {
                p = at(std::round(p.latitude * 80) / 80, std::round(p.longitude * 40) / 40);
            } else if (i % 3 == 0) {
                p = at(stepped(std::round(p.latitude * 80) / 80, ulps(random)), p.longitude);
            }
            line.push_back(i % 5 == 0 ? at(p.latitude, line.back().longitude) : p);
        }
        ASSERT_EQ(lineCover(line, scale), oracleLine(line, scale))
            << "line " << i << " at " << scale;
    }
}

TEST(BcgsCover, OfEachCellsOwnOutlineIsThatCellAlone) {
    const sheetref::Bounds box = sheetref::bounds(*Reference::bcgs(92, 'G', 25));
    for (const Scale scale : kBcgsScales) {
        sheetref::coverEach(box, scale, [scale](const Reference& reference) {
            const std::vector<std::string> alone = {reference.text()};
            EXPECT_EQ(polygonCover(boundsRing(sheetref::bounds(reference)), scale), alone);
            EXPECT_EQ(polygonCover({*sheetref::cellRing(reference, 3)}, scale), alone);
            return !::testing::Test::HasFailure();
        });
    }
}

TEST(BcgsCover, PolygonsAgreeWithClippedAreas) {
    const unsigned seed = 77;
    std::cout << "random seed " << seed << "\n";
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> latitudes(48, 60);
    std::uniform_real_distribution<double> longitudes(-144, -112);
    std::uniform_int_distribution<int> vertexCounts(3, 9);
    for (int i = 0; i < 120; ++i) {
        const Scale scale = kBcgsScales[i % 4];
        const double radius = scale == Scale::Bcgs20k ? 0.5 : scale == Scale::Bcgs10k ? 0.2 : 0.06;
        expectCoverMatchesAreas({star(random, at(latitudes(random), longitudes(random)), radius,
                                      vertexCounts(random), false)},
                                scale);
        if (HasFailure()) {
            FAIL() << "polygon " << i << " at " << scale;
        }
    }
}

} // namespace
