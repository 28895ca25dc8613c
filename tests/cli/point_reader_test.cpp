#include "point_reader.h"

#include <gtest/gtest.h>

#include <string>

using sheetfind::GeoPoint;
using sheetfind::PointReader;

namespace {

struct Case {
    const char* name;
    const char* line;
    GeoPoint point;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class PointReaderReads : public testing::TestWithParam<Case> {};

TEST_P(PointReaderReads, DecimalAndDegreesMinutesSeconds) {
    const auto result = PointReader(QLocale::c()).readLine(GetParam().line);
    const auto* error = std::get_if<std::string>(&result);
    ASSERT_EQ(error, nullptr) << *error;
    const GeoPoint& point = std::get<GeoPoint>(result);
    EXPECT_DOUBLE_EQ(point.latitude, GetParam().point.latitude);
    EXPECT_DOUBLE_EQ(point.longitude, GetParam().point.longitude);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PointReaderReads,
    testing::Values(Case{"Decimal", "49.25 -123.1", {49.25, -123.1}},
                    Case{"DecimalWithExponent", "4.925e1 -123.1", {49.25, -123.1}},
                    Case{"DecimalComma", "49.25,-123.1", {49.25, -123.1}},
                    Case{"Symbols", "49°15'N 123°06'W", {49.25, -123.1}},
                    Case{"Primes", "49°15′0″N 123°6′0″W", {49.25, -123.1}},
                    Case{"BlanksAndComma", "49 15 0 N, 123 6 0 W", {49.25, -123.1}},
                    Case{"HemisphereAfter", "49 15 N 123 6 W", {49.25, -123.1}},
                    Case{"HemisphereBefore", "N49 15 W123 6", {49.25, -123.1}},
                    Case{"Colons", "49:15N 123:6W", {49.25, -123.1}},
                    Case{"LowerCase", "49.25n 123.1w", {49.25, -123.1}},
                    Case{"LongitudeFirst", "123°06'W 49°15'N", {49.25, -123.1}},
                    Case{"MixedDecimalAndDms", "49.25 123°06'W", {49.25, -123.1}},
                    Case{"South", "10S 20E", {-10, 20}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PointReaderRejects, WithTheFieldAndTheReason) {
    const PointReader reader(QLocale::c());
    const auto error = [&](const char* line) {
        const auto result = reader.readLine(line);
        const auto* message = std::get_if<std::string>(&result);
        return message ? *message : std::string("no error");
    };
    EXPECT_EQ(error("49.25"), "expected a latitude and a longitude separated by blanks or a "
                              "comma, found 1 field");
    EXPECT_EQ(error("1 2 3"), "expected a latitude and a longitude separated by blanks or a "
                              "comma, found 3 fields");
    EXPECT_EQ(error("1 1e400"), "Overflow: the longitude \"1e400\" is too large for a number; "
                                "expected decimal degrees such as -123.1");
    EXPECT_EQ(error("49°75'N 123W"),
              "Type mismatch: the latitude \"49°75'N\" is not degrees-minutes-seconds (Minutes 75 "
              "not in range [0, 60)); expected such as 49°15'N or 49 15 0 N");
    EXPECT_EQ(error("123W 124W"), "both fields are longitudes (E or W); expected one latitude and "
                                  "one longitude");
    // GeographicLib would read "nan" and "inf"; a coordinate is a finite number.
    EXPECT_EQ(error("nan 1"), "Type mismatch: the latitude \"nan\" is not a number; expected "
                              "decimal degrees such as 49.25");
    EXPECT_EQ(error("1 infW"), "Type mismatch: the longitude \"infW\" is not a number; expected "
                               "decimal degrees such as -123.1");
}

TEST(PointReaderLocale, CommaIsTheDecimalSeparatorInFrench) {
    const PointReader reader(QLocale(QLocale::French, QLocale::Canada));
    EXPECT_EQ(std::get<GeoPoint>(reader.readLine("49,25 -123,1")), (GeoPoint{49.25, -123.1}));
    // A DMS line may still split its halves at a comma.
    EXPECT_EQ(std::get<GeoPoint>(reader.readLine("49 15 N, 123 6 W")), (GeoPoint{49.25, -123.1}));
}

} // namespace
