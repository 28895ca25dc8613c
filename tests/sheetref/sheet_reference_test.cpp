// SPDX-License-Identifier: MIT
#include "sheet_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

using sheetref::sheetfindGrid;

namespace {

struct Case {
    const char* name;
    double latitude;
    double longitude;
    const char* reference;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class KnownSheets : public testing::TestWithParam<Case> {};

TEST_P(KnownSheets, GiveTheirReference) {
    const Case& c = GetParam();
    EXPECT_EQ(sheetfindGrid(c.longitude, c.latitude), c.reference)
        << "latitude " << c.latitude << ", longitude " << c.longitude;
}

INSTANTIATE_TEST_SUITE_P(Places, KnownSheets,
                         testing::Values(Case{"Vancouver", 49.25, -123.1, "092G06"},
                                         Case{"Ottawa", 45.42, -75.7, "031G05"},
                                         Case{"Calgary", 51.05, -114.07, "082O01"},
                                         Case{"StJohns", 47.56, -52.7, "001N10"},
                                         Case{"Whitehorse", 60.72, -135.05, "105D11"},
                                         // Reasoned by hand from the grid: 66.372° west of the
                                         // origin is column 8 with 2.372° left, area J, sheet 08.
                                         Case{"Yellowknife", 62.454, -114.372, "085J08"},
                                         Case{"MountLogan", 60.5671, -140.4053, "115C09"},
                                         Case{"Iqaluit", 63.7467, -68.517, "025N10"},
                                         Case{"Paulatuk", 69.3514, -124.0694, "097C08"},
                                         Case{"ArcticNorth", 73.3, -80, "048D08"},
                                         Case{"ArcticEast", 70, -64, "027E01"},
                                         Case{"LastRowOfArctic", 79.99, -62, "019G14"}),
                         [](const auto& row) { return std::string(row.param.name); });

// A point on a meridian belongs to the cell west of it, a point on a parallel to
// the cell north of it, at every level: series, map area and sheet.
INSTANTIATE_TEST_SUITE_P(EdgesGoWestAndNorth, KnownSheets,
                         testing::Values(Case{"Origin", 40, -48, "000A01"},
                                         Case{"SeriesCorner", 44, -56, "011A01"},
                                         Case{"SheetCorner", 49, -123, "092G03"},
                                         Case{"AreaMeridian", 49.1, -122, "092G01"},
                                         Case{"AreaParallel", 50, -123.1, "092J03"},
                                         Case{"SheetMeridian", 49.1, -122.5, "092G02"},
                                         Case{"SheetParallel", 49.25, -122.1, "092G08"},
                                         Case{"WesternmostMeridianInside", 40.1, -143.5, "110D04"},
                                         Case{"ArcticStartsAt68", 68, -123.1, "097A04"},
                                         Case{"JustAbove68", 68.5, -123.1, "097A12"},
                                         Case{"ArcticAreaMeridian", 70.1, -60, "017F01"},
                                         Case{"ArcticSheetMeridian", 70.1, -61, "017F02"}),
                         [](const auto& row) { return std::string(row.param.name); });

// Points that no sheet of the grid covers get the empty text, never a made-up
// reference: east of 48° W the arithmetic would name a sheet far to the west, and a
// forgotten minus sign or a point south of 40° N would give a text like "212" or
// "09-203" that names no sheet.
INSTANTIATE_TEST_SUITE_P(
    OutsideTheGridHasNoReference, KnownSheets,
    testing::Values(Case{"EastOf48West", 45, -40, ""}, Case{"PositiveLongitude", 49.25, 123.1, ""},
                    Case{"SouthOf40", 30, -123.1, ""}, Case{"On36thParallel", 36, -123.1, ""},
                    Case{"JustSouthOf40", 39.9, -100, ""}, Case{"WestOf144", 60, -150, ""},
                    Case{"On144thMeridian", 60, -144, ""}, Case{"Exactly80", 80, -62, ""},
                    Case{"HighArctic", 80.5, -62, ""}, Case{"Latitude85", 85, -100, ""},
                    Case{"NorthPole", 90, -100, ""}, Case{"Greenwich", 51.48, 0, ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(EdgesOfTheBand, AreDecidedOnBothSides) {
    const double inf = std::numeric_limits<double>::infinity();
    // Just inside each limit of the band, then just outside it.
    EXPECT_EQ(sheetfindGrid(-48, 60), "005A01");
    EXPECT_EQ(sheetfindGrid(std::nextafter(-48.0, 0.0), 60), "");
    EXPECT_EQ(sheetfindGrid(std::nextafter(-144.0, 0.0), 60), "115D04");
    EXPECT_EQ(sheetfindGrid(std::nextafter(-144.0, -inf), 60), "");
    EXPECT_EQ(sheetfindGrid(-100, 40), "060C01");
    EXPECT_EQ(sheetfindGrid(-100, std::nextafter(40.0, 0.0)), "");
    EXPECT_EQ(sheetfindGrid(-100, std::nextafter(80.0, 0.0)), "069G16");
    EXPECT_EQ(sheetfindGrid(-100, 80), "");
    // The zone limit: 68 itself is Arctic, the double below it is southern.
    EXPECT_EQ(sheetfindGrid(-100, 68), "067B01");
    EXPECT_EQ(sheetfindGrid(-100, std::nextafter(68.0, 0.0)), "066N16");
}

TEST(NonFiniteArguments, HaveNoReference) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const double bad : {nan, -nan, inf, -inf}) {
        EXPECT_EQ(sheetfindGrid(bad, 49.25), "") << bad;
        EXPECT_EQ(sheetfindGrid(-123.1, bad), "") << bad;
        EXPECT_EQ(sheetfindGrid(bad, bad), "") << bad;
    }
    EXPECT_EQ(sheetfindGrid(-std::numeric_limits<double>::max(), 49.25), "");
    EXPECT_EQ(sheetfindGrid(-123.1, std::numeric_limits<double>::lowest()), "");
}

// An independent method: the grid computed with exact integer arithmetic on
// nanodegrees, with letters and sheet numbers derived from the zig-zag rule rather
// than read from tables.
constexpr std::int64_t kNano = 1'000'000'000;

std::string referenceByIntegers(std::int64_t latitudeNano, std::int64_t longitudeNano) {
    const std::int64_t west = -48 * kNano - longitudeNano;
    const std::int64_t north = latitudeNano - 40 * kNano;
    if (west < 0 || west >= 96 * kNano || north < 0 || north >= 40 * kNano) {
        return "";
    }
    const bool arctic = latitudeNano >= 68 * kNano;
    const std::int64_t areaWidth = arctic ? 4 * kNano : 2 * kNano;
    const std::int64_t areaColumns = arctic ? 2 : 4;
    const std::int64_t sheetWidth = areaWidth / 4;

    const std::int64_t column = west / (8 * kNano), row = north / (4 * kNano);
    const std::int64_t areaColumn = west % (8 * kNano) / areaWidth;
    const std::int64_t areaRow = north % (4 * kNano) / kNano;
    const std::int64_t sheetColumn = west % (8 * kNano) % areaWidth / sheetWidth;
    const std::int64_t sheetRow = north % kNano / (kNano / 4);

    // Boustrophedon: even rows run westward from the east edge, odd rows back.
    const auto snake = [](std::int64_t r, std::int64_t c, std::int64_t columns) {
        return r * columns + (r % 2 == 0 ? c : columns - 1 - c);
    };
    std::string text = std::to_string(100 + column).substr(1) + std::to_string(row);
    text += static_cast<char>('A' + snake(areaRow, areaColumn, areaColumns));
    text += std::to_string(101 + snake(sheetRow, sheetColumn, 4)).substr(1);
    return text;
}

std::string decimal(std::int64_t nano) {
    const std::int64_t magnitude = nano < 0 ? -nano : nano;
    std::string fraction = std::to_string(kNano + magnitude % kNano).substr(1);
    return (nano < 0 ? "-" : "") + std::to_string(magnitude / kNano) + "." + fraction;
}

TEST(AgainstIntegerArithmetic, EverySheetCornerAndJustInsideEachEdge) {
    int checked = 0;
    // Every corner of a 30' x 15' cell; in the Arctic these include every sheet
    // corner and the midpoints of the 1°-wide sheets' edges.
    for (std::int64_t lat = 40 * kNano; lat <= 80 * kNano; lat += kNano / 4) {
        for (std::int64_t lon = -48 * kNano; lon >= -144 * kNano; lon -= kNano / 2) {
            for (const std::int64_t dLat : {-1, 0, 1}) {
                for (const std::int64_t dLon : {-1, 0, 1}) {
                    const std::string latText = decimal(lat + dLat);
                    const std::string lonText = decimal(lon + dLon);
                    const double latitude = std::strtod(latText.c_str(), nullptr);
                    const double longitude = std::strtod(lonText.c_str(), nullptr);
                    ASSERT_EQ(sheetfindGrid(longitude, latitude),
                              referenceByIntegers(lat + dLat, lon + dLon))
                        << "latitude " << latText << ", longitude " << lonText;
                    ++checked;
                }
            }
        }
    }
    EXPECT_EQ(checked, 161 * 193 * 9);
}

TEST(AgainstIntegerArithmetic, TheOracleAgreesWithPublishedSheets) {
    EXPECT_EQ(referenceByIntegers(49'250'000'000, -123'100'000'000), "092G06");
    EXPECT_EQ(referenceByIntegers(73'300'000'000, -80 * kNano), "048D08");
    EXPECT_EQ(referenceByIntegers(69'351'400'000, -124'069'400'000), "097C08");
}

} // namespace
