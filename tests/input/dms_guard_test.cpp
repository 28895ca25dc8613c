// SPDX-License-Identifier: MIT
#include "dms.h"
#include "point_reader.h"

#include <gtest/gtest.h>

#include <string>

using sheetfind::InputError;
using sheetfind::InputFailure;
using sheetfind::LatLon;

namespace {

const sheetfind::PointReader kReader(sheetfind::NumberReader::named("C"));

struct Refused {
    const char* name;
    std::string text;
    const char* reason;
};

class DmsGuard : public testing::TestWithParam<Refused> {};

// Shapes that GeographicLib 2.1.2 overflows its stack arrays on (the first two crash
// it outright), or reads as a sum of angles, never reach it.
TEST_P(DmsGuard, RefusesWithNotDms) {
    const Refused& row = GetParam();
    const auto result = sheetfind::decodeDms(row.text, sheetfind::Field::Latitude);
    ASSERT_TRUE(std::holds_alternative<InputFailure>(result));
    const InputFailure& failure = std::get<InputFailure>(result);
    EXPECT_EQ(failure.error, InputError::NotDms);
    EXPECT_EQ(failure.detail, row.reason);
    EXPECT_NE(describe(failure).find("the latitude \""), std::string::npos) << failure;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DmsGuard,
    testing::Values(Refused{"SixParts", "1:2:3:4:5:6N", "more than three parts"},
                    Refused{"SevenParts", "1:1:1:1:1:1:1N", "more than three parts"},
                    Refused{"FourParts", "1:2:3:4", "more than three parts"},
                    Refused{"ColonAfterSeconds", "1\"2:3:4:5N", "more than three parts"},
                    Refused{"ColonAfterQuotePair", "1''2:3:4:5N", "more than three parts"},
                    Refused{"ColonAfterPrimes", "1\u2032\u20322:3", "more than three parts"},
                    Refused{"ColonAfterMarks", "1d2'3\"4:5:6N", "more than three parts"},
                    Refused{"BlanksAfterSeconds", "1 2 3 4 5 6 N", "more than three parts"},
                    Refused{"DashesAsSeparators", "49-15-30N", "a sign inside the angle"},
                    Refused{"PlusInside", "N49+1", "a sign inside the angle"},
                    Refused{"TooLong", std::string(65, '1') + "N", "longer than 64 bytes"}),
    [](const auto& row) { return std::string(row.param.name); });

// The crashing texts as the command line hands them over, latitude then longitude.
TEST(DmsGuard, ThroughThePointReader) {
    for (const char* latitude : {"1:2:3:4:5:6N", "1:1:1:1:1:1:1N"}) {
        SCOPED_TRACE(latitude);
        const auto result = kReader.read(latitude, "1W");
        ASSERT_TRUE(std::holds_alternative<InputFailure>(result));
        EXPECT_EQ(std::get<InputFailure>(result).error, InputError::NotDms);
        EXPECT_EQ(std::get<InputFailure>(result).field, sheetfind::Field::Latitude);
    }
}

// A control byte that GeographicLib would copy into its message is refused with a
// message that shows it escaped.
TEST(DmsGuard, StrayCharactersAreNamedEscaped) {
    const auto result = sheetfind::decodeDms("49\x01N", sheetfind::Field::Latitude);
    ASSERT_TRUE(std::holds_alternative<InputFailure>(result));
    const std::string message = describe(std::get<InputFailure>(result));
    EXPECT_NE(message.find("\\x01"), std::string::npos) << message;
    EXPECT_EQ(message.find('\x01'), std::string::npos) << message;
}

struct Written {
    const char* name;
    const char* text;
};

class DmsForms : public testing::TestWithParam<Written> {};

// 49°15' N, 123°06' W written in the usual ways; 15' is 0.25° and 6' is 0.1°.
TEST_P(DmsForms, ReadAsVancouver) {
    const auto result = kReader.read(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<LatLon>(result)) << std::get<InputFailure>(result);
    EXPECT_NEAR(std::get<LatLon>(result).latitude, 49 + 15.0 / 60, 1e-12);
    EXPECT_NEAR(std::get<LatLon>(result).longitude, -(123 + 6.0 / 60), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DmsForms,
    testing::Values(Written{"Marks", "49°15'N 123°06'W"}, Written{"Letters", "49d15m N, 123d6m W"},
                    Written{"LettersWithSeconds", "49d15m0s N, 123d6m0s W"},
                    Written{"Colons", "49:15:00N 123:06:00W"},
                    Written{"LettersInFront", "N49 15 W123 6"},
                    Written{"Primes", "49\u00B015\u2032N 123\u00B006\u2032W"},
                    Written{"NoBreakSpaces", "49\u00A015\u00A0N, 123\u00A06\u00A0W"},
                    Written{"LongitudeFirst", "123°06'W 49°15'N"}),
    [](const auto& row) { return std::string(row.param.name); });

// An s after the number that follows an m is seconds; elsewhere it is south.
TEST(DmsLetters, SIsSecondsOnlyInTheLetterStyle) {
    const auto seconds = sheetfind::decodeDms("49d15m36s", sheetfind::Field::Latitude);
    ASSERT_TRUE(std::holds_alternative<sheetfind::DmsAngle>(seconds));
    EXPECT_NEAR(std::get<sheetfind::DmsAngle>(seconds).degrees, 49 + 15.0 / 60 + 36.0 / 3600,
                1e-12);
    const auto south = sheetfind::decodeDms("49°15'36S", sheetfind::Field::Latitude);
    ASSERT_TRUE(std::holds_alternative<sheetfind::DmsAngle>(south));
    EXPECT_NEAR(std::get<sheetfind::DmsAngle>(south).degrees, -(49 + 15.0 / 60 + 36.0 / 3600),
                1e-12);
    EXPECT_EQ(std::get<sheetfind::DmsAngle>(south).axis, sheetfind::Axis::Latitude);
}

} // namespace
