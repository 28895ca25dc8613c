// SPDX-License-Identifier: MIT
#include "reference_parser.h"

#include <gtest/gtest.h>

#include <string>

using sheetref::ParseError;
using sheetref::ParseFailure;
using sheetref::Reference;
using sheetref::Scale;

namespace {

struct Good {
    const char* name;
    std::string text;
    const char* canonical;
    Scale scale;
};

void PrintTo(const Good& c, std::ostream* os) {
    *os << c.name;
}

class ParseReads : public testing::TestWithParam<Good> {};

TEST_P(ParseReads, AsPeopleWriteThem) {
    const auto result = sheetref::parseReference(GetParam().text);
    const auto* failure = std::get_if<ParseFailure>(&result);
    ASSERT_EQ(failure, nullptr) << sheetref::describe(*failure);
    EXPECT_EQ(std::get<Reference>(result).text(), GetParam().canonical);
    EXPECT_EQ(std::get<Reference>(result).scale(), GetParam().scale);
}

INSTANTIATE_TEST_SUITE_P(
    Good, ParseReads,
    testing::Values(Good{"Canonical", "092G06", "092G06", Scale::Sheet},
                    Good{"ShortDigits", "92G6", "092G06", Scale::Sheet},
                    Good{"LowerCase", "92g6", "092G06", Scale::Sheet},
                    Good{"BlankAndSlash", "92 G/6", "092G06", Scale::Sheet},
                    Good{"Slash", "092G/06", "092G06", Scale::Sheet},
                    Good{"Hyphens", "92-G-6", "092G06", Scale::Sheet},
                    Good{"HyphensPadded", "021-H-01", "021H01", Scale::Sheet},
                    Good{"BlankBeforeLetter", "021 O07", "021O07", Scale::Sheet},
                    Good{"BlanksAroundSeparators", "92 - G / 6", "092G06", Scale::Sheet},
                    Good{"BlanksAround", " \t092G06 ", "092G06", Scale::Sheet},
                    Good{"HighArctic", "340 D15", "340D15", Scale::Sheet},
                    Good{"HighArcticNorth", "781h16", "781H16", Scale::Sheet},
                    Good{"OneDigitSeries", "1N10", "001N10", Scale::Sheet},
                    Good{"MapArea", "82O", "082O", Scale::MapArea},
                    Good{"MapAreaLowerCase", "82o", "082O", Scale::MapArea},
                    Good{"Series", "92", "092", Scale::Series},
                    Good{"SeriesZero", "0", "000", Scale::Series},
                    Good{"HighArcticSeries", "910", "910", Scale::Series},
                    Good{"LastSouthernLetter", "116P16", "116P16", Scale::Sheet},
                    Good{"LastArcticLetter", "119H", "119H", Scale::MapArea},
                    Good{"Bcgs20k", "092G025", "092G025", Scale::Bcgs20k},
                    Good{"BcgsShortSeries", "92G025", "092G025", Scale::Bcgs20k},
                    Good{"BcgsDot", "092G.025", "092G025", Scale::Bcgs20k},
                    Good{"BcgsShortDot", "92G.025", "092G025", Scale::Bcgs20k},
                    Good{"BcgsDotted", "092G.025.3.4.2", "092G025342", Scale::Bcgs2500},
                    Good{"BcgsRunTogether", "092G025342", "092G025342", Scale::Bcgs2500},
                    Good{"BcgsUnderscores", "092g025_3_4_2", "092G025342", Scale::Bcgs2500},
                    Good{"BcgsMixed", "92 G-025/34", "092G02534", Scale::Bcgs5k},
                    Good{"Bcgs10k", "114P1004", "114P1004", Scale::Bcgs10k}),
    [](const auto& row) { return std::string(row.param.name); });

struct Bad {
    const char* name;
    std::string text;
    ParseError error;
    const char* message;
};

void PrintTo(const Bad& c, std::ostream* os) {
    *os << c.name;
}

class ParseRejects : public testing::TestWithParam<Bad> {};

TEST_P(ParseRejects, SayingWhatAndWhere) {
    const auto result = sheetref::parseReference(GetParam().text);
    const auto* failure = std::get_if<ParseFailure>(&result);
    ASSERT_NE(failure, nullptr) << std::get<Reference>(result);
    EXPECT_EQ(failure->error, GetParam().error);
    EXPECT_EQ(sheetref::describe(*failure), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Bad, ParseRejects,
    testing::Values(
        Bad{"Empty", "  ", ParseError::Empty,
            "reference \"  \": nothing to read; expected a series such as 92, a map area such as "
            "92G, a sheet such as 92G6 or a BCGS cell such as 92G025"},
        Bad{"NoSeries", "G06", ParseError::SeriesExpected,
            "reference \"G06\": expected a series number of 1 to 3 digits at character 1, found "
            "\"G\""},
        Bad{"FourDigits", "0920G", ParseError::SeriesTooLong,
            "reference \"0920G\": series \"0920\" at character 1 has 4 digits; expected 1 to 3"},
        Bad{"NoSeries911", "911A", ParseError::SeriesNotInGrid,
            "reference \"911A\": series \"911\" at character 1 is not in the grid; expected 0 to "
            "119, or a high-Arctic series 120, 121, 340, 341, 560, 561, 780, 781 or 910"},
        Bad{"SeriesBetween", "125", ParseError::SeriesNotInGrid,
            "reference \"125\": series \"125\" at character 1 is not in the grid; expected 0 to "
            "119, or a high-Arctic series 120, 121, 340, 341, 560, 561, 780, 781 or 910"},
        Bad{"ArcticLetter", "27K06", ParseError::LetterNotInSeries,
            "reference \"27K06\": map-area letter \"K\" at character 3 is not in Arctic series "
            "027; expected A to H"},
        Bad{"HighArcticLetter", "340 J1", ParseError::LetterNotInSeries,
            "reference \"340 J1\": map-area letter \"J\" at character 5 is not in high-Arctic "
            "series 340; expected A to H"},
        Bad{"LetterBeyondP", "92Q", ParseError::LetterNotInSeries,
            "reference \"92Q\": map-area letter \"Q\" at character 3 is not in southern series "
            "092; expected A to P"},
        Bad{"NotALetter", "92*6", ParseError::LetterExpected,
            "reference \"92*6\": expected a map-area letter after series 092 at character 3, "
            "found \"*\""},
        Bad{"SeparatorThenNothing", "92-", ParseError::LetterExpected,
            "reference \"92-\": expected a map-area letter after series 092 at character 4, "
            "found the end"},
        Bad{"SheetMissing", "92G/", ParseError::SheetExpected,
            "reference \"92G/\": expected a sheet number 1 to 16 after 092G at character 5, "
            "found the end"},
        Bad{"SheetNotANumber", "92G x", ParseError::SheetExpected,
            "reference \"92G x\": expected a sheet number 1 to 16 after 092G at character 5, "
            "found \"x\""},
        Bad{"Sheet17", "92G17", ParseError::SheetOutOfRange,
            "reference \"92G17\": sheet number \"17\" at character 4 is not in 1 to 16"},
        Bad{"Sheet0", "92G0", ParseError::SheetOutOfRange,
            "reference \"92G0\": sheet number \"0\" at character 4 is not in 1 to 16"},
        Bad{"BcgsOutsideBc", "21H006", ParseError::MapAreaNotInBcgs,
            "reference \"21H006\": BCGS number \"006\" at character 4 follows map area 021H, "
            "which is not in BC's series; expected a sheet number 1 to 16, or a map area of "
            "series 082, 083, 092, 093, 094, 102, 103, 104 or 114"},
        Bad{"BcgsNumber0", "92G000", ParseError::BcgsNumberOutOfRange,
            "reference \"92G000\": BCGS number \"000\" at character 4 is not in 001 to 100"},
        Bad{"BcgsNumber101", "92G.101", ParseError::BcgsNumberOutOfRange,
            "reference \"92G.101\": BCGS number \"101\" at character 5 is not in 001 to 100"},
        Bad{"BcgsInAlberta", "82O0104", ParseError::OutsideBc,
            "reference \"82O0104\": BCGS number \"010\" at character 4 of map area 082O lies "
            "outside British Columbia, where the BCGS has no cells"},
        Bad{"Quarter5", "92G02535", ParseError::QuarterOutOfRange,
            "reference \"92G02535\": quarter digit \"5\" at character 8 after 092G0253 is not in "
            "1 to 4; expected 1 (south-west), 2 (south-east), 3 (north-west) or 4 (north-east)"},
        Bad{"QuarterMissing", "92G025.", ParseError::QuarterExpected,
            "reference \"92G025.\": expected a quarter digit 1 to 4 after 092G025 at character 8, "
            "found the end"},
        Bad{"FourQuarters", "92G0251234", ParseError::TrailingText,
            "reference \"92G0251234\": unexpected \"4\" at character 10 after 092G025123; "
            "expected the end"},
        Bad{"TrailingJunk", "092G06x", ParseError::TrailingText,
            "reference \"092G06x\": unexpected \"x\" at character 7 after 092G06; expected the "
            "end"},
        Bad{"TrailingAfterArea", "82Ox", ParseError::TrailingText,
            "reference \"82Ox\": unexpected \"x\" at character 4 after 082O; expected the end"},
        Bad{"TwoSeparators", "92--G", ParseError::LetterExpected,
            "reference \"92--G\": expected a map-area letter after series 092 at character 4, "
            "found \"-\""},
        // The position counts characters, not bytes, and odd bytes are shown safely.
        Bad{"Unicode", "92\xC3\xA9", ParseError::LetterExpected,
            "reference \"92\xC3\xA9\": expected a map-area letter after series 092 at character "
            "3, found \"\xC3\xA9\""},
        Bad{"NotUtf8", "92G\xFF", ParseError::TrailingText,
            "reference \"92G\\xFF\": unexpected \"\\xFF\" at character 4 after 092G; expected the "
            "end"},
        Bad{"ControlCharacter", std::string("92G6\0", 5), ParseError::TrailingText,
            "reference \"92G6\\x00\": unexpected \"\\x00\" at character 5 after 092G06; "
            "expected the end"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ParseRejects, ShortensLongText) {
    const auto result = sheetref::parseReference("92G6" + std::string(1000, 'x'));
    const std::string message = sheetref::describe(std::get<ParseFailure>(result));
    EXPECT_LT(message.size(), 200u) << message;
    EXPECT_NE(message.find("\xE2\x80\xA6"), std::string::npos) << message;
}

TEST(ParseRejects, SeriesDigitsAreNeverConvertedWhenTooMany) {
    const auto result = sheetref::parseReference(std::string(400, '9') + "G6");
    EXPECT_EQ(std::get<ParseFailure>(result).error, ParseError::SeriesTooLong);
}

} // namespace
