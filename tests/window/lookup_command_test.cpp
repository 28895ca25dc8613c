#include "lookup_command.h"

#include <gtest/gtest.h>

#include <string>

using sheetfind::Box;
using sheetfind::ConversionError;
using sheetfind::LookupCommand;
using sheetfind::LookupFailure;
using sheetfind::LookupResult;

namespace {

LookupResult run(const char* latitude, const char* longitude, const char* locale = "C") {
    return LookupCommand(QLocale(QString::fromLatin1(locale)))
        .run(QString::fromUtf8(latitude), QString::fromUtf8(longitude));
}

LookupResult caption(const char* text) {
    return QString::fromLatin1(text);
}

TEST(LookupCommand, ShowsTheSheetOfThePoint) {
    EXPECT_EQ(run("49.25", "-123.1"), caption("092G06"));
    EXPECT_EQ(run(" 68 ", "-123.1"), caption("097A04"));
    EXPECT_EQ(run("49,25", "-123,1", "fr_CA"), caption("092G06"));
    EXPECT_EQ(run("49.25", "-123.1", "fr_CA"), caption("092G06"));
    EXPECT_EQ(run("49,25", "-123,1", "de_DE"), caption("092G06"));
}

TEST(LookupCommand, GivesAnEmptyCaptionWhereNoSheetCovers) {
    EXPECT_EQ(run("85", "-100"), caption(""));
    // A western point typed without its minus sign.
    EXPECT_EQ(run("49.25", "123.1"), caption(""));
    // Swapped boxes are not detected: they are simply a point outside the grid.
    EXPECT_EQ(run("-123.1", "49.25"), caption(""));
}

TEST(LookupCommand, ReportsTheBoxTheErrorAndTheText) {
    EXPECT_EQ(run("", "-123.1"),
              LookupResult(LookupFailure{Box::Latitude, ConversionError::TypeMismatch, ""}));
    EXPECT_EQ(run("49.25", "123.1W"),
              LookupResult(LookupFailure{Box::Longitude, ConversionError::TypeMismatch, "123.1W"}));
    EXPECT_EQ(run("49.25", "-1e400"),
              LookupResult(LookupFailure{Box::Longitude, ConversionError::Overflow, "-1e400"}));
    // In de_DE the dot groups thousands, so 49.25 is not a latitude there.
    EXPECT_EQ(run("49.25", "-123,1", "de_DE"),
              LookupResult(LookupFailure{Box::Latitude, ConversionError::TypeMismatch, "49.25"}));
}

TEST(LookupCommand, ReportsTheLatitudeWhenBothAreBad) {
    EXPECT_EQ(run("abc", "1e400"),
              LookupResult(LookupFailure{Box::Latitude, ConversionError::TypeMismatch, "abc"}));
}

TEST(DescribeFailure, NamesErrorBoxTextAndWhatWasExpected) {
    const LookupFailure failure{Box::Latitude, ConversionError::TypeMismatch,
                                QString::fromUtf8("49°15'N")};
    EXPECT_EQ(sheetfind::describe(failure, QLocale::c()),
              QString::fromUtf8("Type mismatch: the latitude \"49°15'N\" is not a number; "
                                "expected decimal degrees such as 49.25"));
    const LookupFailure overflow{Box::Longitude, ConversionError::Overflow, "1e400"};
    EXPECT_EQ(sheetfind::describe(overflow, QLocale("fr_CA")),
              "Overflow: the longitude \"1e400\" is too large for a number; expected decimal "
              "degrees such as -123,1");
}

TEST(DescribeFailure, ShortensLongTextsAndHidesControlCharacters) {
    const LookupFailure failure{Box::Longitude, ConversionError::TypeMismatch,
                                QString(100'000, u'x')};
    const QString message = sheetfind::describe(failure, QLocale::c());
    EXPECT_LT(message.size(), 200);
    EXPECT_TRUE(message.contains(QString(40, u'x') + QString::fromUtf8("…\"")));

    const LookupFailure control{Box::Latitude, ConversionError::TypeMismatch,
                                QString::fromLatin1("4\x00\r9", 4)};
    EXPECT_TRUE(sheetfind::describe(control, QLocale::c()).contains(u"\"4\uFFFD\uFFFD9\""));
}

} // namespace
