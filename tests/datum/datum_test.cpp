// SPDX-License-Identifier: MIT
// A shifted point is flagged where the shift's own error could carry it across a cell
// line, and a box is shifted whole. The shift PROJ picks differs between machines (with
// or without Canada's grid), so points are placed from the shift itself.

#include "datum.h"

#include <gtest/gtest.h>

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

} // namespace
