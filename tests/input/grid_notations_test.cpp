// SPDX-License-Identifier: MIT
#include "grid.h"
#include "grid_notations.h"
#include "point_reader.h"

#include <GeographicLib/MGRS.hpp>
#include <GeographicLib/UTMUPS.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

using sheetfind::InputError;
using sheetfind::InputFailure;
using sheetfind::LatLon;
using sheetfind::PointReader;

namespace {

const PointReader kReader(sheetfind::NumberReader::named("C"));

std::string sheetOf(LatLon point) {
    const auto reference = sheetref::locate(point, sheetref::Scale::Sheet);
    return reference ? reference->text() : "";
}

LatLon readPoint(const std::string& text) {
    const auto result = kReader.read(text);
    if (const auto* failure = std::get_if<InputFailure>(&result)) {
        ADD_FAILURE() << text << ": " << *failure;
        return {};
    }
    return std::get<LatLon>(result);
}

std::string rowName(std::string text) {
    for (char& ch : text) {
        const bool keep =
            ('0' <= ch && ch <= '9') || ('a' <= ch && ch <= 'z') || ('A' <= ch && ch <= 'Z');
        ch = keep ? ch : '_';
    }
    return text.empty() ? "empty" : text;
}

struct Landmark {
    const char* name;
    LatLon point;
    const char* sheet;
};

const Landmark kLandmarks[] = {
    {"Vancouver", {.latitude = 49.25, .longitude = -123.1}, "092G06"},
    {"Ottawa", {.latitude = 45.42, .longitude = -75.7}, "031G05"},
    {"Edmonton", {.latitude = 53.5461, .longitude = -113.4938}, "083H11"},
    {"StJohns", {.latitude = 47.56, .longitude = -52.7}, "001N10"},
    {"BarbeauPeak", {.latitude = 81.9147, .longitude = -75.0092}, "340D15"},
};

struct Utm {
    int zone = 0;
    bool north = false;
    double easting = 0;
    double northing = 0;
    char band = 0; // MGRS's grid zone letter, a second opinion on the band
};

// In the standard zone, or in `zone` when given: a square's centre can lie across the
// zone's edge, as 18XVR's does in zone 17.
Utm utmOf(LatLon point, int zone = GeographicLib::UTMUPS::STANDARD) {
    Utm utm;
    GeographicLib::UTMUPS::Forward(point.latitude, point.longitude, utm.zone, utm.north,
                                   utm.easting, utm.northing, zone);
    std::string gridZone;
    GeographicLib::MGRS::Forward(utm.zone, utm.north, utm.easting, utm.northing, -1, gridZone);
    utm.band = gridZone.back();
    return utm;
}

std::string utmText(const Utm& utm, const char* format, char letter) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, format, utm.zone, letter, utm.easting, utm.northing);
    return buffer;
}

class LandmarksRoundTrip : public testing::TestWithParam<Landmark> {};

// UTM as GPS units show it, with band or hemisphere, comes back to the point to a
// millimetre of easting and northing, and so to the same sheet.
TEST_P(LandmarksRoundTrip, ThroughUtm) {
    const Landmark& landmark = GetParam();
    const Utm utm = utmOf(landmark.point);
    const char hemisphere = utm.north ? 'N' : 'S';
    for (const std::string& text :
         {utmText(utm, "%d%c %.3f %.3f", utm.band), utmText(utm, "%d%c %.3f %.3f", hemisphere),
          utmText(utm, "%d %c %.3fmE %.3fmN", static_cast<char>(std::tolower(utm.band)))}) {
        SCOPED_TRACE(text);
        const LatLon back = readPoint(text);
        EXPECT_NEAR(back.latitude, landmark.point.latitude, 1e-6);
        EXPECT_NEAR(back.longitude, landmark.point.longitude, 1e-6);
        EXPECT_EQ(sheetOf(back), landmark.sheet);
    }
    EXPECT_EQ(sheetOf(landmark.point), landmark.sheet);
}

// How far a point is from the edges of its sheet, in metres, roughly: enough to know
// that a square that small around it cannot reach another sheet.
double metresToSheetEdge(LatLon point) {
    constexpr double kMetresPerDegree = 111000;
    const sheetref::Bounds box = sheetref::bounds(*sheetref::locate(point, sheetref::Scale::Sheet));
    const double across = std::cos(point.latitude * M_PI / 180);
    return kMetresPerDegree *
           std::min({point.latitude - box.south, box.north - point.latitude,
                     across * (point.longitude - box.west), across * (box.east - point.longitude)});
}

// Every precision names a square that holds the point: the centre read back lies in
// the same square (GeographicLib writes the same reference for it), and where the
// square cannot reach past the sheet's edges, the sheet is the landmark's.
TEST_P(LandmarksRoundTrip, ThroughMgrsAtEveryPrecision) {
    const Landmark& landmark = GetParam();
    const Utm utm = utmOf(landmark.point);
    for (int precision = 0; precision <= 5; ++precision) {
        std::string mgrs;
        GeographicLib::MGRS::Forward(utm.zone, utm.north, utm.easting, utm.northing, precision,
                                     mgrs);
        SCOPED_TRACE(mgrs);
        const LatLon centre = readPoint(mgrs);
        const Utm again = utmOf(centre, utm.zone);
        std::string square;
        GeographicLib::MGRS::Forward(again.zone, again.north, again.easting, again.northing,
                                     precision, square);
        EXPECT_EQ(square, mgrs);
        const double squareMetres = 100000 / std::pow(10, precision);
        if (metresToSheetEdge(landmark.point) > 2 * squareMetres) {
            EXPECT_EQ(sheetOf(centre), landmark.sheet);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Canada, LandmarksRoundTrip, testing::ValuesIn(kLandmarks),
                         [](const auto& row) { return std::string(row.param.name); });

// The texts as they are usually quoted: both are within 4 km of Vancouver's reference
// point 49.25, -123.1 and in its sheet.
TEST(LiteralTexts, AreNearVancouver) {
    for (const char* text : {"10U 491213 5458885", "10UDV9121358885", "10U DV 91213 58885",
                             "10udv9121358885", "10N 491213 5458885", "10 U 491213 5458885"}) {
        SCOPED_TRACE(text);
        const LatLon point = readPoint(text);
        EXPECT_NEAR(point.latitude, 49.2827, 1e-3);
        EXPECT_NEAR(point.longitude, -123.1208, 1e-3);
        EXPECT_EQ(sheetOf(point), "092G06");
    }
}

struct Rejected {
    const char* notation;
    sheetfind::PointResult (*read)(std::string_view);
    const char* text;
    InputError error;
    const char* mentions; // in the message, beside the quoted text
};

const Rejected kRejected[] = {
    {"Utm", sheetfind::readUtm, "10C 491213 5458885", InputError::UtmBandMismatch, "band C is 80"},
    {"Utm", sheetfind::readUtm, "10T 491213 5458885", InputError::UtmBandMismatch, "48.0000°N"},
    {"Utm", sheetfind::readUtm, "10U 1491213 5458885", InputError::UtmEasting, "Easting"},
    {"Utm", sheetfind::readUtm, "10U 491213 9700000", InputError::UtmNorthing, "Northing"},
    {"Utm", sheetfind::readUtm, "10U 4912a3 5458885", InputError::NotUtm, "not a number"},
    {"Utm", sheetfind::readUtm, "10U 5458885mN 491213mE", InputError::NotUtm, "comes first"},
    {"Utm", sheetfind::readUtm, "61U 500000 5000000", InputError::UtmZone, "1 to 60"},
    {"Utm", sheetfind::readUtm, "100U 500000 5000000", InputError::UtmZone, "1 to 60"},
    {"Utm", sheetfind::readUtm, "10I 491213 5458885", InputError::UtmBand, "C to X"},
    {"Utm", sheetfind::readUtm, "10O 491213 5458885", InputError::UtmBand, "C to X"},
    {"Utm", sheetfind::readUtm, "10Z 2000000 2000000", InputError::UtmBand, "polar"},
    {"Utm", sheetfind::readUtm, "0U 500000 500000", InputError::UtmBand, "UPS"},
    {"Utm", sheetfind::readUtm, "A 2100000 2000000", InputError::UtmBandMismatch, "western"},
    {"Utm", sheetfind::readUtm, "10U 491213", InputError::NotUtm, "ZONE BAND"},
    {"Utm", sheetfind::readUtm, "", InputError::NotUtm, "ZONE BAND"},
    {"Mgrs", sheetfind::readMgrs, "10UIV9121358885", InputError::NotMgrs, "letter I"},
    {"Mgrs", sheetfind::readMgrs, "10UDV912135888", InputError::MgrsDigits, "has 9 digits"},
    {"Mgrs", sheetfind::readMgrs, "10UDV123456123456", InputError::MgrsDigits, "has 12 digits"},
    {"Mgrs", sheetfind::readMgrs, "61UDV9121358885", InputError::MgrsZone, "1 to 60"},
    {"Mgrs", sheetfind::readMgrs, "10IDV9121358885", InputError::MgrsBand, "band I"},
    {"Mgrs", sheetfind::readMgrs, "10ODV9121358885", InputError::MgrsBand, "band O"},
    {"Mgrs", sheetfind::readMgrs, "UDV9121358885", InputError::MgrsBand, "A, B, Y or Z"},
    {"Mgrs", sheetfind::readMgrs, "10U", InputError::NotMgrs, "grid zone alone"},
    {"Mgrs", sheetfind::readMgrs, "10U DV 912 1358885", InputError::NotMgrs, "as many digits"},
    {"Mgrs", sheetfind::readMgrs, "1 0UDV9121358885", InputError::NotMgrs, "blanks"},
    {"Mgrs", sheetfind::readMgrs, "10UDV91213-58885", InputError::NotMgrs, "100 km square"},
    {"Mgrs", sheetfind::readMgrs, "", InputError::NotMgrs, "such as 10UDV"},
};

class GridNotationsReject : public testing::TestWithParam<Rejected> {};

// Each kind of mistake is its own InputError, and the message quotes the text and says
// what was expected.
TEST_P(GridNotationsReject, WithTheKindAndAMessage) {
    const Rejected& row = GetParam();
    const auto result = row.read(row.text);
    ASSERT_TRUE(std::holds_alternative<InputFailure>(result)) << std::get<LatLon>(result);
    const InputFailure& failure = std::get<InputFailure>(result);
    EXPECT_EQ(failure.error, row.error) << failure;
    const std::string message = sheetfind::describe(failure);
    EXPECT_NE(message.find('"' + std::string(row.text) + '"'), std::string::npos) << message;
    EXPECT_NE(message.find(row.mentions), std::string::npos) << message;
    EXPECT_NE(message.find("expected"), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(Table, GridNotationsReject, testing::ValuesIn(kRejected),
                         [](const auto& row) {
                             return std::string(row.param.notation) + "_" + rowName(row.param.text);
                         });

// Band edges: a point on the edge between T and U reads with either band; 0.001° (about
// 110 m) into the next band it reads with that band only.
TEST(UtmBands, HoldTheirPointsWithASlackOnlyAtTheEdge) {
    const auto text = [](double latitude, char band) {
        const Utm utm = utmOf({.latitude = latitude, .longitude = -123});
        return utmText(utm, "%d%c %.3f %.3f", band);
    };
    EXPECT_TRUE(std::holds_alternative<LatLon>(sheetfind::readUtm(text(48, 'U'))));
    EXPECT_TRUE(std::holds_alternative<LatLon>(sheetfind::readUtm(text(48, 'T'))));
    EXPECT_TRUE(std::holds_alternative<InputFailure>(sheetfind::readUtm(text(48.001, 'T'))));
    EXPECT_TRUE(std::holds_alternative<InputFailure>(sheetfind::readUtm(text(47.999, 'U'))));
    // X is 12° tall, up to 84°N.
    EXPECT_TRUE(std::holds_alternative<LatLon>(sheetfind::readUtm(text(83.9, 'X'))));
}

// N and S are hemispheres even where they could be the bands 0°-8°N and 32°-40°N.
TEST(UtmBands, NAndSAreHemispheres) {
    const auto south = sheetfind::readUtm("10S 491213 5458885");
    ASSERT_TRUE(std::holds_alternative<LatLon>(south));
    EXPECT_LT(std::get<LatLon>(south).latitude, -40);
    const auto north = sheetfind::readUtm("10N 491213 5458885");
    ASSERT_TRUE(std::holds_alternative<LatLon>(north));
    EXPECT_NEAR(std::get<LatLon>(north).latitude, 49.28, 0.01);
}

// UPS: the false origin is the pole, written with a polar band or zone 0.
TEST(Ups, ThePoleFromEachWriting) {
    for (const char* text :
         {"Z 2000000 2000000", "0Z 2000000 2000000", "0N 2000000 2000000", "B 2000000 2000000"}) {
        SCOPED_TRACE(text);
        const auto result = sheetfind::readUtm(text);
        ASSERT_TRUE(std::holds_alternative<LatLon>(result)) << std::get<InputFailure>(result);
        EXPECT_DOUBLE_EQ(std::abs(std::get<LatLon>(result).latitude), 90);
    }
}

// What the detection takes for UTM or MGRS, and what it leaves to the other readers.
TEST(Detection, TellsTheNotationsApart) {
    EXPECT_TRUE(sheetfind::looksLikeUtm("10U 491213 5458885"));
    EXPECT_TRUE(sheetfind::looksLikeUtm("10 u 491213mE 5458885mN"));
    EXPECT_TRUE(sheetfind::looksLikeUtm("Z 2000000 2000000"));
    EXPECT_FALSE(sheetfind::looksLikeUtm("N 49 15"));    // degrees and minutes
    EXPECT_FALSE(sheetfind::looksLikeUtm("49 N 123 6")); // likewise
    EXPECT_FALSE(sheetfind::looksLikeUtm("N49 15 W123 6"));
    EXPECT_TRUE(sheetfind::looksLikeMgrs("10U DV 91213 58885"));
    EXPECT_TRUE(sheetfind::looksLikeMgrs("ZAH1234"));
    EXPECT_FALSE(sheetfind::looksLikeMgrs("10U 491213 5458885"));
    EXPECT_FALSE(sheetfind::looksLikeMgrs("49d15m"));
    // Not a point 123 m east and 6 m north of zone 49's origin, but a longitude
    // without a mark, which the DMS reader refuses.
    const auto result = kReader.read("49 N 123 6");
    ASSERT_TRUE(std::holds_alternative<InputFailure>(result));
    EXPECT_EQ(std::get<InputFailure>(result).error, InputError::NotANumber);
}

} // namespace
