// SPDX-License-Identifier: MIT
#pragma once

// The layout of the BC Geographic System (BCGS): which NTS series it covers, and how it
// cuts their map areas into 1:20 000 cells and those into quarters. Everything in this
// library that names, places or reads a BCGS reference takes the layout from here.
// Internal to the library.

#include "bc_extent.h"
#include "nts_layout.h"

#include <algorithm>
#include <array>

namespace sheetref::layout {

// British Columbia's NTS series. All lie in the southern zone, so every map area the
// BCGS cuts is 2° x 1°.
inline constexpr std::array<int, 9> kBcgsSeries = {82, 83, 92, 93, 94, 102, 103, 104, 114};

inline bool isBcgsSeries(int series) {
    return std::find(kBcgsSeries.begin(), kBcgsSeries.end(), series) != kBcgsSeries.end();
}

// Every BCGS edge lies on a whole number of 45" (1/80°, the height of a 1:2 500 cell)
// from the equator and from Greenwich. Edges are reckoned in these ticks and turned into
// degrees by one division, tick / kTicksPerDegree, which rounds once: so each edge is
// the double nearest its true value, the same double a user types for it (49.1 for
// 49°06'), and the same at every scale that shares it.
inline constexpr int kTicksPerDegree = 80;
inline constexpr int kBcgsAreaHeightTicks = kTicksPerDegree * 1; // 1°
inline constexpr int kBcgsAreaWidthTicks = kTicksPerDegree * 2;  // 2°
static_assert(kBcgsAreaHeightTicks == kAreaHeight * kTicksPerDegree);
static_assert(kBcgsAreaWidthTicks == kSouthernAreaWidth * kTicksPerDegree);

// A map area holds 10 x 10 cells at 1:20 000 (6' x 12'), numbered 001 to 100.
inline constexpr int kBcgsRows = 10;
inline constexpr int kBcgsColumns = 10;
inline constexpr int kFirstBcgsNumber = 1;
inline constexpr int kLastBcgsNumber = kBcgsRows * kBcgsColumns;
inline constexpr int kBcgs20kHeightTicks = kBcgsAreaHeightTicks / kBcgsRows;  // 6'
inline constexpr int kBcgs20kWidthTicks = kBcgsAreaWidthTicks / kBcgsColumns; // 12'
static_assert(kBcgs20kHeightTicks * kBcgsRows == kBcgsAreaHeightTicks);
static_assert(kBcgs20kWidthTicks * kBcgsColumns == kBcgsAreaWidthTicks);

// Unlike the NTS tables, the BCGS numbers run from the south-west corner: indexed
// [row][column] with rows northward from the map area's south edge and columns EASTWARD
// from its west edge. No zig-zag: every row runs west to east.
inline constexpr int kBcgsNumbers[kBcgsRows][kBcgsColumns] = {
    {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},           // row 0: 001 in the south-west corner
    {11, 12, 13, 14, 15, 16, 17, 18, 19, 20},  // row 1: again west to east
    {21, 22, 23, 24, 25, 26, 27, 28, 29, 30},  //
    {31, 32, 33, 34, 35, 36, 37, 38, 39, 40},  //
    {41, 42, 43, 44, 45, 46, 47, 48, 49, 50},  //
    {51, 52, 53, 54, 55, 56, 57, 58, 59, 60},  //
    {61, 62, 63, 64, 65, 66, 67, 68, 69, 70},  //
    {71, 72, 73, 74, 75, 76, 77, 78, 79, 80},  //
    {81, 82, 83, 84, 85, 86, 87, 88, 89, 90},  //
    {91, 92, 93, 94, 95, 96, 97, 98, 99, 100}, // row 9: 100 in the north-east corner
};

// Each finer scale (1:10 000, 1:5 000, 1:2 500) quarters the cell above it and adds one
// digit, indexed [row][column] as above: south-west 1, south-east 2, north-west 3,
// north-east 4.
inline constexpr int kQuarterSide = 2;
inline constexpr int kQuarterDigits[kQuarterSide][kQuarterSide] = {
    {1, 2}, // the southern half: west, east
    {3, 4}, // the northern half
};
inline constexpr int kFirstQuarterDigit = 1;
inline constexpr int kLastQuarterDigit = kQuarterSide * kQuarterSide;
// 1:20 000 is cut three times, down to 1:2 500.
inline constexpr int kQuarterLevels = 3;
// A 1:2 500 cell is one tick high and two wide: 45" x 1'30".
inline constexpr int kBcgs2500HeightTicks = kBcgs20kHeightTicks >> kQuarterLevels;
inline constexpr int kBcgs2500WidthTicks = kBcgs20kWidthTicks >> kQuarterLevels;
static_assert(kBcgs2500HeightTicks == 1 && kBcgs2500WidthTicks == 2);

// Whether BC drew the 1:20 000 cell `number` of map area `series` `letter`: BC's series
// reach into Alberta, Yukon, the Northwest Territories, Alaska, Washington, Idaho and
// Montana, and a cell wholly inside them (bc_extent.h) is no cell of the BCGS. Nor is
// any cell outside BC's series, or a number outside 1 to 100.
inline bool isInBc(int series, char letter, int number) {
    const auto at = std::find(kBcgsSeries.begin(), kBcgsSeries.end(), series);
    if (at == kBcgsSeries.end() || !('A' <= letter && letter <= 'P') ||
        !(kFirstBcgsNumber <= number && number <= kLastBcgsNumber)) {
        return false;
    }
    constexpr int kAreasPerSeries = 16;
    constexpr int kBitsPerWord = 64;
    const auto area =
        static_cast<std::size_t>((at - kBcgsSeries.begin()) * kAreasPerSeries + (letter - 'A'));
    const int bit = number - kFirstBcgsNumber;
    return (kBcExtent[area][static_cast<std::size_t>(bit / kBitsPerWord)] >> (bit % kBitsPerWord) &
            1U) != 0;
}

} // namespace sheetref::layout
