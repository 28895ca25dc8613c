// SPDX-License-Identifier: MIT
#include "fields.h"
#include "input_error.h"
#include "quote.h"

#include <gtest/gtest.h>

#include <string>

using sheetfind::quoteText;

namespace {

struct QuoteCase {
    const char* name;
    std::string text;
    std::string shown;
};

void PrintTo(const QuoteCase& c, std::ostream* os) {
    *os << c.name;
}

class QuotedText : public testing::TestWithParam<QuoteCase> {};

TEST_P(QuotedText, IsSafeInAOneLineMessage) {
    EXPECT_EQ(quoteText(GetParam().text), GetParam().shown);
}

const std::string kFortyAccents = [] {
    std::string text;
    for (int i = 0; i < 45; ++i) {
        text += "é";
    }
    return text;
}();

INSTANTIATE_TEST_SUITE_P(
    Texts, QuotedText,
    testing::Values(
        QuoteCase{"Plain", "49.25", "\"49.25\""}, QuoteCase{"Empty", "", "\"\""},
        // A raw control byte would reach the terminal: it is written out instead.
        QuoteCase{"ControlByte",
                  "4\x01"
                  "9",
                  "\"4\\x019\""},
        QuoteCase{"NulAndCarriageReturn", std::string("4\0\r9", 4), "\"4\\x00\\x0D9\""},
        QuoteCase{"Delete", "\x7F", "\"\\x7F\""},
        QuoteCase{"C1Control", "\xC2\x85", "\"\\xC2\\x85\""},
        QuoteCase{"NotUtf8", "\xFF\xFE", "\"\\xFF\\xFE\""},
        QuoteCase{"CutSequence", "ab\xE2\x82", "\"ab\\xE2\\x82\""},
        QuoteCase{"Surrogate", "\xED\xA0\x80", "\"\\xED\\xA0\\x80\""},
        QuoteCase{"QuoteAndBackslash", "4\"9\\", "\"4\\\"9\\\\\""},
        QuoteCase{"Degrees", "49°15'N", "\"49°15'N\""},
        QuoteCase{"LongAscii", std::string(100, 'x'), "\"" + std::string(40, 'x') + "…\""},
        // Forty characters are kept, not forty bytes: no sequence is split.
        QuoteCase{"LongAccents", kFortyAccents, "\"" + kFortyAccents.substr(0, 80) + "…\""},
        QuoteCase{"Emoji", "\xF0\x9F\x97\xBA", "\"\xF0\x9F\x97\xBA\""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Describe, EscapesALibrarysAccountOfTheText) {
    const sheetfind::InputFailure failure{.error = sheetfind::InputError::NotDms,
                                          .field = sheetfind::Field::Latitude,
                                          .text = "4\x01N",
                                          .detail = "Illegal character \x01 in \"4\x01N\""};
    EXPECT_EQ(describe(failure), "Type mismatch: the latitude \"4\\x01N\" is not "
                                 "degrees-minutes-seconds (Illegal character \\x01 in "
                                 "\"4\\x01N\"); expected such as 49°15'N or 49 15 0 N");
}

TEST(Describe, WritesTheExampleInTheReadersNotation) {
    const sheetfind::InputFailure failure{.error = sheetfind::InputError::NotANumber,
                                          .field = sheetfind::Field::Longitude,
                                          .text = "x",
                                          .style = {.decimalPoint = ",", .minusSign = "-"}};
    EXPECT_EQ(describe(failure), "Type mismatch: the longitude \"x\" is not a number; expected "
                                 "decimal degrees such as -123,1");
}

struct SplitCase {
    const char* name;
    const char* line;
    bool commaSeparates;
    const char* first;
    const char* second;
    std::size_t count;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

class SplitFields : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitFields, AtBlanksOrCommas) {
    const SplitCase& c = GetParam();
    const sheetfind::FieldPair fields = sheetfind::splitFields(c.line, c.commaSeparates);
    EXPECT_EQ(fields.count, c.count);
    EXPECT_EQ(fields.first, c.first);
    EXPECT_EQ(fields.second, c.second);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitFields,
    testing::Values(SplitCase{"Blanks", "  49.25 \t -123.1 ", true, "49.25", "-123.1", 2},
                    SplitCase{"Comma", "49.25, -123.1", true, "49.25", "-123.1", 2},
                    SplitCase{"CommaIsDecimal", "49,25 -123,1", false, "49,25", "-123,1", 2},
                    SplitCase{"EmptyFieldsAtCommas", ",,", true, "", "", 3},
                    SplitCase{"Empty", "", true, "", "", 0},
                    SplitCase{"Three", "1 2 3", true, "1", "2", 3}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(BlankOrComment, HoldsNoInput) {
    EXPECT_TRUE(sheetfind::isBlankOrComment(""));
    EXPECT_TRUE(sheetfind::isBlankOrComment(" \t"));
    EXPECT_TRUE(sheetfind::isBlankOrComment("  # 49.25 -123.1"));
    EXPECT_FALSE(sheetfind::isBlankOrComment("49.25 -123.1 # Vancouver"));
}

} // namespace
