// SPDX-License-Identifier: MIT
#pragma once

// The layout of the NTS grid: its limits, its three zones and its lettering and
// numbering tables. Everything in this library that names, places or reads a
// reference takes the grid from here. Internal to the library.

#include "reference.h"

#include <array>
#include <string_view>

namespace sheetref::layout {

// Outside the high Arctic, series columns count westward from this meridian and
// series rows northward from this parallel: series 092 is column 09, row 2.
inline constexpr double kOriginLongitude = -48.0;
inline constexpr double kOriginLatitude = 40.0;
// Twelve 8° series columns reach 144° W.
inline constexpr double kWesternLimit = -144.0;

// North of 68° meridians have converged enough that map areas and sheets are twice
// as wide; north of 80° twice as wide again, and the series are 16° wide.
inline constexpr double kArcticLatitude = 68.0;
inline constexpr double kHighArcticLatitude = 80.0;
inline constexpr double kNorthernLimit = 88.0;
// The high-Arctic series cover only the islands: 56° W to 136° W from 80° to 84° N,
// and 56° W to 120° W from 84° to 88° N.
inline constexpr double kHighArcticEastLimit = -56.0;

inline constexpr double kSeriesWidth = 8.0;
inline constexpr double kSouthernAreaWidth = 2.0;
inline constexpr double kSouthernSheetWidth = 0.5; // 30'
inline constexpr double kArcticAreaWidth = 4.0;
inline constexpr double kArcticSheetWidth = 1.0;
inline constexpr double kHighArcticSeriesWidth = 16.0;
inline constexpr double kHighArcticAreaWidth = 8.0;
inline constexpr double kHighArcticSheetWidth = 2.0;
inline constexpr double kSeriesHeight = 4.0;
inline constexpr double kAreaHeight = 1.0;
inline constexpr double kSheetHeight = 0.25; // 15'

inline constexpr int kAreaRows = 4;  // map areas per series, north to south
inline constexpr int kSheetRows = 4; // sheets per map area, north to south
inline constexpr int kSheetColumns = 4;
inline constexpr int kFirstSheet = 1;
inline constexpr int kLastSheet = kSheetRows * kSheetColumns;

// Every table is indexed [row][column]: rows count northward from the cell's south
// edge and columns westward from its east edge. The numbering snakes from the
// south-east corner: west along the southern row, back east along the next one, and
// so on.
inline constexpr std::string_view kSouthernLetters = "ABCD"  // row 0: A in the south-east corner
                                                     "HGFE"  // row 1: back eastward
                                                     "IJKL"  // row 2
                                                     "PONM"; // row 3
inline constexpr std::string_view kArcticLetters = "AB"
                                                   "DC"
                                                   "EF"
                                                   "HG";
inline constexpr int kSheetNumbers[kSheetRows][kSheetColumns] = {
    {1, 2, 3, 4},     // row 0: 01 in the south-east corner
    {8, 7, 6, 5},     // row 1: back eastward
    {9, 10, 11, 12},  // row 2
    {16, 15, 14, 13}, // row 3
};

// The high-Arctic series numbers, east to west from 56° W. There is no series west
// of 120° W north of 84° N.
inline constexpr int kNoSeries = -1;
inline constexpr int kHighArcticColumns = 5;
inline constexpr int kHighArcticRows = 2;
inline constexpr int kHighArcticSeries[kHighArcticRows][kHighArcticColumns] = {
    {120, 340, 560, 780, 910},       // 80° to 84° N
    {121, 341, 561, 781, kNoSeries}, // 84° to 88° N
};

// Below this, a series number is its column (tens) and its row (units).
inline constexpr int kSeriesDigitBase = 10;
inline constexpr int kSeriesColumns = 12;

struct Zone {
    std::string_view name;
    double south; // the zone is [south, north)
    double north;
    double east;  // the east edge of its series column 0
    double width; // from east to west, in its widest row
    double seriesWidth;
    double areaWidth;
    double sheetWidth;
    int seriesColumns; // in its widest row
    int seriesRows;
    int firstSeriesRow; // the series row of its row 0, in the series numbers
    int areaColumns;    // map areas per series, east to west
    std::string_view letters;
};

// Southern series hold 16 map areas of 2° x 1°, with sheets of 30' x 15'. Series
// rows 0 to 6 fill 40° to 68° N.
inline constexpr Zone kSouthern{.name = "southern",
                                .south = kOriginLatitude,
                                .north = kArcticLatitude,
                                .east = kOriginLongitude,
                                .width = kOriginLongitude - kWesternLimit,
                                .seriesWidth = kSeriesWidth,
                                .areaWidth = kSouthernAreaWidth,
                                .sheetWidth = kSouthernSheetWidth,
                                .seriesColumns = kSeriesColumns,
                                .seriesRows = 7,
                                .firstSeriesRow = 0,
                                .areaColumns = 4,
                                .letters = kSouthernLetters};
// Arctic series, rows 7 to 9, hold 8 map areas of 4° x 1°, with sheets of 1° x 15'.
inline constexpr Zone kArctic{.name = "Arctic",
                              .south = kArcticLatitude,
                              .north = kHighArcticLatitude,
                              .east = kOriginLongitude,
                              .width = kOriginLongitude - kWesternLimit,
                              .seriesWidth = kSeriesWidth,
                              .areaWidth = kArcticAreaWidth,
                              .sheetWidth = kArcticSheetWidth,
                              .seriesColumns = kSeriesColumns,
                              .seriesRows = 3,
                              .firstSeriesRow = 7,
                              .areaColumns = 2,
                              .letters = kArcticLetters};
// High-Arctic series are 16° x 4° and hold 8 map areas of 8° x 1°, with sheets of
// 2° x 15', lettered as in the Arctic.
inline constexpr Zone kHighArctic{.name = "high-Arctic",
                                  .south = kHighArcticLatitude,
                                  .north = kNorthernLimit,
                                  .east = kHighArcticEastLimit,
                                  .width = kHighArcticColumns * kHighArcticSeriesWidth,
                                  .seriesWidth = kHighArcticSeriesWidth,
                                  .areaWidth = kHighArcticAreaWidth,
                                  .sheetWidth = kHighArcticSheetWidth,
                                  .seriesColumns = kHighArcticColumns,
                                  .seriesRows = kHighArcticRows,
                                  .firstSeriesRow = 0,
                                  .areaColumns = 2,
                                  .letters = kArcticLetters};

// The widths nest: series into map areas, map areas into four sheets.
static_assert(kSouthern.seriesWidth == kSouthern.areaColumns * kSouthern.areaWidth);
static_assert(kArctic.seriesWidth == kArctic.areaColumns * kArctic.areaWidth);
static_assert(kHighArctic.seriesWidth == kHighArctic.areaColumns * kHighArctic.areaWidth);
static_assert(kSouthern.areaWidth == kSheetColumns * kSouthern.sheetWidth);
static_assert(kArctic.areaWidth == kSheetColumns * kArctic.sheetWidth);
static_assert(kHighArctic.areaWidth == kSheetColumns * kHighArctic.sheetWidth);
static_assert(kSouthern.width == kSouthern.seriesColumns * kSouthern.seriesWidth);

inline constexpr std::array<const Zone*, 3> kZones = {&kSouthern, &kArctic, &kHighArctic};

// The zone whose band holds the latitude, or nullptr (also for NaN).
inline const Zone* zoneAt(double latitude) {
    if (!(kOriginLatitude <= latitude && latitude < kNorthernLimit)) {
        return nullptr;
    }
    return latitude < kArcticLatitude       ? &kSouthern
           : latitude < kHighArcticLatitude ? &kArctic
                                            : &kHighArctic;
}

// The series number at a column and row of a zone, or kNoSeries.
inline int seriesNumber(const Zone& zone, int column, int row) {
    if (&zone == &kHighArctic) {
        return kHighArcticSeries[row][column];
    }
    return column * kSeriesDigitBase + zone.firstSeriesRow + row;
}

struct SeriesPlace {
    const Zone* zone = nullptr; // nullptr: no such series
    int column = 0;
    int row = 0;
};

// Where a series number lies in the grid.
inline SeriesPlace findSeries(int number) {
    if (0 <= number && number < kSeriesColumns * kSeriesDigitBase) {
        const int column = number / kSeriesDigitBase;
        const int row = number % kSeriesDigitBase;
        return row < kArctic.firstSeriesRow
                   ? SeriesPlace{&kSouthern, column, row}
                   : SeriesPlace{&kArctic, column, row - kArctic.firstSeriesRow};
    }
    for (int row = 0; row < kHighArcticRows; ++row) {
        for (int column = 0; column < kHighArcticColumns; ++column) {
            if (kHighArcticSeries[row][column] == number) {
                return {&kHighArctic, column, row};
            }
        }
    }
    return {};
}

} // namespace sheetref::layout
