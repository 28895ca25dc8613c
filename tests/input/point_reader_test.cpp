// SPDX-License-Identifier: MIT
#include "point_reader.h"

#include <gtest/gtest.h>

#include <string>

using sheetfind::InputError;
using sheetfind::InputFailure;
using sheetfind::LatLon;
using sheetfind::Notation;
using sheetfind::NumberReader;
using sheetfind::PointOptions;
using sheetfind::PointReader;

namespace {

std::string show(const sheetfind::PointResult& result) {
    if (const auto* failure = std::get_if<InputFailure>(&result)) {
        return describe(*failure);
    }
    const LatLon& point = std::get<LatLon>(result);
    return std::to_string(point.latitude) + " " + std::to_string(point.longitude);
}

struct Case {
    const char* name;
    const char* line;
    LatLon point;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class PointReaderReads : public testing::TestWithParam<Case> {};

TEST_P(PointReaderReads, DecimalAndDegreesMinutesSeconds) {
    const auto result = PointReader(NumberReader::named("C")).read(GetParam().line);
    ASSERT_TRUE(std::holds_alternative<LatLon>(result)) << show(result);
    const LatLon& point = std::get<LatLon>(result);
    EXPECT_DOUBLE_EQ(point.latitude, GetParam().point.latitude);
    EXPECT_DOUBLE_EQ(point.longitude, GetParam().point.longitude);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PointReaderReads,
    testing::Values(Case{"Decimal", "49.25 -123.1", {49.25, -123.1}},
                    Case{"DecimalWithExponent", "4.925e1 -123.1", {49.25, -123.1}},
                    Case{"DecimalComma", "49.25,-123.1", {49.25, -123.1}},
                    Case{"TabAndBlanks", " 49.25\t -123.1 ", {49.25, -123.1}},
                    Case{"MinusSignU2212", "49.25 \u2212123.1", {49.25, -123.1}},
                    Case{"Symbols", "49°15'N 123°06'W", {49.25, -123.1}},
                    Case{"Primes", "49°15′0″N 123°6′0″W", {49.25, -123.1}},
                    Case{"BlanksAndComma", "49 15 0 N, 123 6 0 W", {49.25, -123.1}},
                    Case{"HemisphereAfter", "49 15 N 123 6 W", {49.25, -123.1}},
                    Case{"HemisphereBefore", "N49 15 W123 6", {49.25, -123.1}},
                    Case{"Colons", "49:15N 123:6W", {49.25, -123.1}},
                    Case{"LowerCase", "49.25n 123.1w", {49.25, -123.1}},
                    Case{"LongitudeFirstByLetters", "123°06'W 49°15'N", {49.25, -123.1}},
                    Case{"MixedDecimalAndDms", "49.25 123°06'W", {49.25, -123.1}},
                    Case{"South", "10S 20E", {-10, 20}}, Case{"Poles", "90 180", {90, 180}}),
    [](const auto& row) { return std::string(row.param.name); });

struct Rejected {
    const char* name;
    const char* line;
    InputError error;
    const char* message;
};

void PrintTo(const Rejected& c, std::ostream* os) {
    *os << c.name;
}

class PointReaderRejects : public testing::TestWithParam<Rejected> {};

TEST_P(PointReaderRejects, WithTheFieldAndTheReason) {
    const auto result = PointReader(NumberReader::named("C")).read(GetParam().line);
    ASSERT_TRUE(std::holds_alternative<InputFailure>(result)) << show(result);
    EXPECT_EQ(std::get<InputFailure>(result).error, GetParam().error);
    EXPECT_EQ(show(result), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PointReaderRejects,
    testing::Values(
        Rejected{"OneField", "49.25", InputError::FieldCount,
                 "expected a latitude and a longitude separated by blanks or a comma, found 1 "
                 "field"},
        Rejected{"ThreeFields", "1 2 3", InputError::FieldCount,
                 "expected a latitude and a longitude separated by blanks or a comma, found 3 "
                 "fields"},
        Rejected{"Overflow", "1 1e400", InputError::TooLarge,
                 "Overflow: the longitude \"1e400\" is too large for a number; expected decimal "
                 "degrees such as -123.1"},
        Rejected{"BadMinutes", "49°75'N 123W", InputError::NotDms,
                 "Type mismatch: the latitude \"49°75'N\" is not degrees-minutes-seconds (Minutes "
                 "75 not in range [0, 60)); expected such as 49°15'N or 49 15 0 N"},
        Rejected{"TwoLongitudes", "123W 124W", InputError::SameAxisTwice,
                 "the point \"123W 124W\" has two longitudes (E or W); expected one latitude and "
                 "one longitude"},
        // GeographicLib would read "nan" and "inf"; a coordinate is a finite number.
        Rejected{"NaN", "nan 1", InputError::NotANumber,
                 "Type mismatch: the latitude \"nan\" is not a number; expected decimal degrees "
                 "such as 49.25"},
        Rejected{"InfinityWest", "1 infW", InputError::NotANumber,
                 "Type mismatch: the longitude \"infW\" is not a number; expected decimal degrees "
                 "such as -123.1"},
        Rejected{"LatitudeRange", "95 -100", InputError::LatitudeRange,
                 "latitude 95 is out of range -90..90"},
        Rejected{"LongitudeRange", "49 -200", InputError::LongitudeRange,
                 "longitude -200 is out of range -180..180"},
        Rejected{"LooksLongitudeFirst", "-123.1 49.25", InputError::LatitudeRange,
                 "latitude -123.1 is out of range -90..90 (longitude first?)"},
        Rejected{"DmsSouthPastPole", "95S 1W", InputError::LatitudeRange,
                 "latitude -95 is out of range -90..90"},
        // Shaped as a polar MGRS square, but no notation writes a point without digits.
        Rejected{"NoDigitAtAll", "abc", InputError::NotAPoint,
                 "the text \"abc\" is not a point in any notation read here; expected decimal "
                 "degrees such as 49.25 -123.1, degrees-minutes-seconds such as 49°15'N 123°06'W, "
                 "UTM such as 10U 491213 5458885, or MGRS such as 10UDV9121358885"},
        Rejected{"UtmZoneBeyond60WithShortNumbers", "61U 1 1", InputError::UtmZone,
                 "the UTM zone in \"61U 1 1\" is not 1 to 60; expected such as 10U 491213 "
                 "5458885"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PointReaderLongitudeFirst, SwapsDecimalFieldsOnly) {
    const PointReader reader(NumberReader::named("C"), PointOptions{.longitudeFirst = true});
    EXPECT_EQ(show(reader.read("-123.1 49.25")), show(LatLon{49.25, -123.1}));
    // Hemisphere letters still say which is which.
    EXPECT_EQ(show(reader.read("49°15'N 123°06'W")), show(LatLon{49.25, -123.1}));
    EXPECT_EQ(show(reader.read("49.25 -123.1")),
              "latitude -123.1 is out of range -90..90 (latitude first?)");
}

TEST(PointReaderNamedFields, AHemisphereLetterCannotSwapThem) {
    const PointReader reader(NumberReader::named("C"), PointOptions{.namedFields = true});
    EXPECT_EQ(show(reader.read("49.25N", "123.1W")), show(LatLon{49.25, -123.1}));
    EXPECT_EQ(show(reader.read("123.1W", "49.25N")),
              "the latitude \"123.1W\" has the hemisphere letter of a longitude (E or W); "
              "expected a latitude such as 49.25 or 49°15'N");
    EXPECT_EQ(show(reader.read("49.25e", "-123.1")),
              "the latitude \"49.25e\" has the hemisphere letter of a longitude (E or W); "
              "expected a latitude such as 49.25 or 49°15'N");
    EXPECT_EQ(show(reader.read("49.25", "49.25N")),
              "the longitude \"49.25N\" has the hemisphere letter of a latitude (N or S); "
              "expected a longitude such as -123.1 or 123°06'W");
}

TEST(PointReaderNotation, ForcedDecimalRefusesDms) {
    const PointReader reader(NumberReader::named("C"), PointOptions{.notation = Notation::Decimal});
    EXPECT_EQ(show(reader.read("49°15'N 123°06'W")),
              "Type mismatch: the latitude \"49°15'N\" is not a number; expected decimal degrees "
              "such as 49.25");
}

TEST(PointReaderNotation, ForcedGridNotationsReadTwoTextsAsOne) {
    const PointReader utm(NumberReader::named("C"), PointOptions{.notation = Notation::Utm});
    EXPECT_EQ(std::get<InputFailure>(utm.read("49.25", "-123.1")).error, InputError::NotUtm);
    const PointReader mgrs(NumberReader::named("C"), PointOptions{.notation = Notation::Mgrs});
    EXPECT_TRUE(std::holds_alternative<LatLon>(mgrs.read("10UDV", "9121358885")));
}

TEST(PointReaderLocale, CommaIsTheDecimalSeparatorInFrench) {
    const PointReader reader(NumberReader::named("fr_CA"));
    EXPECT_EQ(show(reader.read("49,25 -123,1")), show(LatLon{49.25, -123.1}));
    // A DMS line may still split its halves at a comma.
    EXPECT_EQ(show(reader.read("49 15 N, 123 6 W")), show(LatLon{49.25, -123.1}));
    EXPECT_EQ(show(reader.read("abc 1")),
              "Type mismatch: the latitude \"abc\" is not a number; expected decimal degrees such "
              "as 49,25");
}

} // namespace
