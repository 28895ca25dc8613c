// SPDX-License-Identifier: MIT
// A shifted point is flagged where the shift's own error could carry it across a cell
// line, and a box is shifted whole. The shift PROJ picks differs between machines (with
// or without Canada's grid), so points are placed from the shift itself.

#include "datum.h"
#include "nts_oracle.h"

#include <gtest/gtest.h>
#include <proj.h>

#include <random>

namespace {

using sheetfind::Datum;
using sheetfind::DatumLocator;
using sheetref::LatLon;
using sheetref::Scale;

constexpr double kMetresPerDegree = 111'320;
// The parallel between quarter units d and a of d-096-H/094-A-15, in NAD27.
constexpr double kLine = 56.9125;

// The NAD83 point that the shift puts `metres` north of kLine, at -120.565 NAD27.
LatLon northOfLine(DatumLocator& locator, double metres) {
    const LatLon wanted{.latitude = kLine + metres / kMetresPerDegree, .longitude = -120.565};
    LatLon point = wanted;
    for (int i = 0; i < 4; ++i) { // the shift barely changes over a few metres
        const LatLon shifted = *locator.inGridDatum(point, Scale::PngQuarterUnit);
        point.latitude += wanted.latitude - shifted.latitude;
        point.longitude += wanted.longitude - shifted.longitude;
    }
    return point;
}

TEST(Datum, PointsCloserToALineThanTheShiftsAccuracyAreFlagged) {
    DatumLocator locator(Datum::Nad83);
    ASSERT_TRUE(locator.inGridDatum({56.9, -120.5}, Scale::PngQuarterUnit)) << locator.failure();
    double accuracy = locator.accuracyMetres();
    if (accuracy < 0) {
        accuracy = DatumLocator::kUnknownAccuracyMetres;
    }
    struct Case {
        double metres; // north of the line, once shifted
        bool uncertain;
    };
    for (const Case c : {Case{accuracy / 2, true}, Case{-accuracy / 2, true},
                         Case{2 * accuracy + 1, false}, Case{-2 * accuracy - 1, false}}) {
        const auto located =
            locator.locateFlagged(northOfLine(locator, c.metres), Scale::PngQuarterUnit);
        ASSERT_TRUE(located.cell);
        EXPECT_EQ(located.cell->text(), c.metres > 0 ? "d-096-H/094-A-15" : "a-096-H/094-A-15");
        EXPECT_EQ(located.uncertain, c.uncertain) << c.metres << " m from the line";
    }
    // Without a shift an answer is exact, however near the line.
    DatumLocator nad27(Datum::Nad27);
    EXPECT_FALSE(nad27.locateFlagged({kLine + 1e-9, -120.565}, Scale::PngQuarterUnit).uncertain);
}

// PROJ picks an operation for each point by where it lies: a point is judged by the one
// that moved it, not by the first point's, and the notice names each.
TEST(Datum, EachPointIsJudgedByTheShiftThatMovedIt) {
    const LatLon arctic{.latitude = 85.25063, .longitude = -100.3};
    DatumLocator alone(Datum::Nad27);
    const bool flaggedAlone = alone.locateFlagged(arctic, Scale::Sheet).uncertain;
    const double arcticAccuracy = alone.accuracyMetres();

    DatumLocator after(Datum::Nad27);
    after.locateFlagged({56.9125, -120.5656}, Scale::Sheet); // in BC first
    const double bcAccuracy = after.accuracyMetres();
    EXPECT_EQ(after.locateFlagged(arctic, Scale::Sheet).uncertain, flaggedAlone);
    EXPECT_EQ(after.accuracyMetres(), arcticAccuracy);
    if (bcAccuracy != arcticAccuracy) {
        EXPECT_EQ(after.operationsUsed(), 2U) << after.notice();
        EXPECT_NE(after.notice().find(", and by \""), std::string::npos) << after.notice();
    }
    after.forgetNotice();
    EXPECT_EQ(after.operationsUsed(), 0U);
    EXPECT_EQ(after.notice(), "");
}

TEST(Datum, ABoxIsShiftedWhole) {
    DatumLocator locator(Datum::Nad83);
    const sheetref::Bounds box{.south = 56.9, .north = 56.92, .west = -120.6, .east = -120.56};
    const auto shifted = locator.boxInGridDatum(box, Scale::PngBlock);
    ASSERT_TRUE(shifted) << locator.failure();
    for (const LatLon corner : {LatLon{box.south, box.west}, LatLon{box.north, box.east}}) {
        const LatLon moved = *locator.inGridDatum(corner, Scale::PngBlock);
        EXPECT_LE(shifted->south, moved.latitude);
        EXPECT_GE(shifted->north, moved.latitude);
        EXPECT_LE(shifted->west, moved.longitude);
        EXPECT_GE(shifted->east, moved.longitude);
    }
    // NAD27 to NAD27 is no shift at all.
    EXPECT_EQ(DatumLocator(Datum::Nad27).boxInGridDatum(box, Scale::PngBlock), box);
}

// NAD83 points get the cell the oracle gives after PROJ's NAD83 to NAD27 shift, made
// here with PROJ's own API, except within a metre of a line.
TEST(Datum, Nad83PointsGetTheOraclesCellAfterProjsShift) {
    PJ_CONTEXT* context = proj_context_create();
    PJ* made = proj_create_crs_to_crs(context, "EPSG:4269", "EPSG:4267", nullptr);
    ASSERT_NE(made, nullptr);
    PJ* shift = proj_normalize_for_visualization(context, made);
    DatumLocator locator(Datum::Nad83);
    std::mt19937 random(26);
    std::uniform_real_distribution<double> latitude(49, 60), longitude(-126, -114.1);
    const double metre = 1 / kMetresPerDegree;
    int compared = 0;
    for (int i = 0; i < 3000; ++i) {
        const LatLon point{.latitude = latitude(random), .longitude = longitude(random)};
        const PJ_COORD to =
            proj_trans(shift, PJ_FWD, proj_coord(point.longitude, point.latitude, 0, 0));
        const auto cell = [&](double north, double east) {
            return oracle::pngReference(to.lp.phi + north * metre, to.lp.lam + east * metre,
                                        oracle::PngLevel::QuarterUnit);
        };
        const std::string expected = cell(0, 0);
        if (cell(1, 0) != expected || cell(-1, 0) != expected || cell(0, 2) != expected ||
            cell(0, -2) != expected) {
            continue;
        }
        ++compared;
        const auto located = locator.locate(point, Scale::PngQuarterUnit);
        EXPECT_EQ(located ? located->text() : "", expected)
            << point.latitude << ", " << point.longitude;
    }
    EXPECT_GT(compared, 2900);
    proj_destroy(shift);
    proj_destroy(made);
    proj_context_destroy(context);
}

} // namespace
