// SPDX-License-Identifier: MIT
#include "form1.h"
#include "form1_layout.h"
#include "lookup_command.h"

#include <gtest/gtest.h>

#include <string>

using sheetfind::Box;
using sheetfind::Field;
using sheetfind::InputError;
using sheetfind::InputFailure;
using sheetfind::LookupCommand;
using sheetfind::LookupResult;
using sheetfind::numberSymbols;

namespace {

LookupResult run(const char* latitude, const char* longitude, const char* locale = "C") {
    return LookupCommand(numberSymbols(QLocale(QString::fromLatin1(locale))))
        .run(latitude, longitude);
}

// What the user is shown: the caption, or the failure's message.
std::string shown(const LookupResult& result) {
    if (const auto* failure = std::get_if<InputFailure>(&result)) {
        return "failure: " + describe(*failure);
    }
    return std::get<std::string>(result);
}

struct Row {
    const char* name;
    const char* latitude;
    const char* longitude;
    const char* locale;
    std::string shown;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class LookupCommandShows : public testing::TestWithParam<Row> {};

TEST_P(LookupCommandShows, TheCaptionOrTheFailure) {
    const Row& row = GetParam();
    EXPECT_EQ(shown(run(row.latitude, row.longitude, row.locale)), row.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, LookupCommandShows,
    testing::Values(
        Row{"Vancouver", "49.25", "-123.1", "C", "092G06"},
        Row{"BlanksAround", " 68 ", "-123.1", "C", "097A04"},
        Row{"FrenchComma", "49,25", "-123,1", "fr_CA", "092G06"},
        Row{"FrenchWithDot", "49.25", "-123.1", "fr_CA", "092G06"},
        Row{"GermanComma", "49,25", "-123,1", "de_DE", "092G06"},
        Row{"WebMinusSign", "49.25", "\u2212123.1", "C", "092G06"},
        // Qt's own symbols: Arabic's separator, sign and digits, and Chakma's digits,
        // which lie past U+FFFF.
        Row{"ArabicDigits", "\u0664\u0669\u066B\u0662\u0665",
            "\u061C-\u0661\u0662\u0663\u066B\u0661", "ar_EG", "092G06"},
        Row{"ChakmaDigits", "\U0001113A\U0001113F.\U00011138\U0001113B",
            "-\U00011137\U00011138\U00011139.\U00011137", "ccp", "092G06"},
        Row{"NorthOfTheGrid", "85", "-100", "C", ""},
        // A western point typed without its minus sign.
        Row{"MissingMinus", "49.25", "123.1", "C", ""},
        // Swapped boxes are not detected: they are simply a point outside the grid.
        Row{"Swapped", "-123.1", "49.25", "C", ""},
        Row{"EmptyLatitude", "", "-123.1", "C",
            "failure: Type mismatch: the latitude \"\" is not a number; expected decimal degrees "
            "such as 49.25"},
        Row{"Hemisphere", "49.25", "123.1W", "C",
            "failure: Type mismatch: the longitude \"123.1W\" is not a number; expected decimal "
            "degrees such as -123.1"},
        Row{"Overflow", "49.25", "-1e400", "fr_CA",
            "failure: Overflow: the longitude \"-1e400\" is too large for a number; expected "
            "decimal degrees such as -123,1"},
        // In de_DE the dot groups thousands, so 49.25 is not a latitude there.
        Row{"GermanDot", "49.25", "-123,1", "de_DE",
            "failure: Type mismatch: the latitude \"49.25\" is not a number; expected decimal "
            "degrees such as 49,25"},
        Row{"BothBadLatitudeFirst", "abc", "1e400", "C",
            "failure: Type mismatch: the latitude \"abc\" is not a number; expected decimal "
            "degrees such as 49.25"},
        Row{"DegreesMinutesSeconds", "49°15'N", "-123.1", "C",
            "failure: Type mismatch: the latitude \"49°15'N\" is not a number; expected decimal "
            "degrees such as 49.25"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(LookupFailure, NamesTheBoxAndKeepsTheTypedText) {
    const auto result = run("49.25", "x\x01y");
    const auto& failure = std::get<InputFailure>(result);
    EXPECT_EQ(failure.field, Field::Longitude);
    EXPECT_EQ(boxAtFault(failure), Box::Longitude);
    EXPECT_EQ(boxAtFault(std::get<InputFailure>(run("", "x"))), Box::Latitude);
    // Both views show it under the window's own title.
    EXPECT_EQ(failureMessage(failure).title, sheetfind::form1::kTitle);
    EXPECT_EQ(failureMessage(failure).text, describe(failure));
    EXPECT_EQ(failure.error, InputError::NotANumber);
    EXPECT_EQ(failure.text, "x\x01y");
    // The message never carries the raw control byte.
    EXPECT_NE(describe(failure).find("\"x\\x01y\""), std::string::npos);
}

TEST(LookupFailure, ShortensLongTexts) {
    const std::string message = shown(LookupCommand().run(std::string(100'000, 'x'), "-123.1"));
    EXPECT_LT(message.size(), 200u);
    EXPECT_NE(message.find(std::string(40, 'x') + "…\""), std::string::npos);
}

} // namespace
