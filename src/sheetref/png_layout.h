// SPDX-License-Identifier: MIT
#pragma once

// The layout of British Columbia's petroleum and natural gas (PNG) grid: how it cuts
// each 1:50 000 sheet of BC's series into blocks, units and quarter units. Everything
// in this library that names, places or reads a PNG reference takes the layout from
// here. Internal to the library.
//
// The grid is drawn on the NAD27 graticule: its degrees are NAD27's, and a point in
// another datum is shifted before it is placed, outside this library.

#include "bc_extent.h"
#include "bcgs_layout.h"

#include <cstdint>

namespace sheetref::layout {

// Every PNG edge lies on a whole number of quarter units: 15" of latitude (1/240°)
// and 22.5" of longitude (1/160°). Edges are reckoned in these ticks and turned into
// degrees by one division, as the BCGS's are.
inline constexpr int kPngRowTicksPerDegree = 240;
inline constexpr int kPngColumnTicksPerDegree = 160;
// A sheet of BC's series (all southern, so 15' x 30') is 60 x 80 ticks.
inline constexpr int kPngSheetRowTicks = 60;
inline constexpr int kPngSheetColumnTicks = 80;
static_assert(kPngSheetRowTicks * 4 == kPngRowTicksPerDegree);       // 15'
static_assert(kPngSheetColumnTicks * 2 == kPngColumnTicksPerDegree); // 30'

// A sheet holds 3 x 4 blocks of 5' x 7.5', lettered A to L in a serpentine from the
// south-east corner: the south row east to west, the middle row west to east, the
// north row east to west. Indexed [row][column], rows northward from the sheet's
// south edge and columns EASTWARD from its west edge.
inline constexpr int kPngBlockRows = 3;
inline constexpr int kPngBlockColumns = 4;
inline constexpr int kPngBlockTicks = 20; // each way
static_assert(kPngBlockRows * kPngBlockTicks == kPngSheetRowTicks);
static_assert(kPngBlockColumns * kPngBlockTicks == kPngSheetColumnTicks);
inline constexpr char kPngBlockLetters[kPngBlockRows][kPngBlockColumns] = {
    {'D', 'C', 'B', 'A'}, // row 0: A in the south-east corner, running west
    {'E', 'F', 'G', 'H'}, // row 1: back east
    {'L', 'K', 'J', 'I'}, // row 2: west again, L in the north-west corner
};
inline constexpr char kFirstPngBlock = 'A';
inline constexpr char kLastPngBlock = 'L';

// A block holds 10 x 10 units of 30" x 45", numbered from its south-east corner
// westward along each row, every row again from the east: no serpentine. Indexed as
// the blocks are, columns eastward.
inline constexpr int kPngUnitRows = 10;
inline constexpr int kPngUnitColumns = 10;
inline constexpr int kPngUnitTicks = 2; // each way
static_assert(kPngUnitRows * kPngUnitTicks == kPngBlockTicks);
inline constexpr int kPngUnitNumbers[kPngUnitRows][kPngUnitColumns] = {
    {10, 9, 8, 7, 6, 5, 4, 3, 2, 1},           // row 0: 1 in the south-east corner
    {20, 19, 18, 17, 16, 15, 14, 13, 12, 11},  // row 1: again from the east
    {30, 29, 28, 27, 26, 25, 24, 23, 22, 21},  //
    {40, 39, 38, 37, 36, 35, 34, 33, 32, 31},  //
    {50, 49, 48, 47, 46, 45, 44, 43, 42, 41},  //
    {60, 59, 58, 57, 56, 55, 54, 53, 52, 51},  //
    {70, 69, 68, 67, 66, 65, 64, 63, 62, 61},  //
    {80, 79, 78, 77, 76, 75, 74, 73, 72, 71},  //
    {90, 89, 88, 87, 86, 85, 84, 83, 82, 81},  //
    {100, 99, 98, 97, 96, 95, 94, 93, 92, 91}, // row 9: 100 in the north-west corner
};
inline constexpr int kFirstPngUnit = 1;
inline constexpr int kLastPngUnit = kPngUnitRows * kPngUnitColumns;

// A unit holds 2 x 2 quarter units: a south-east, b south-west, c north-west, d
// north-east. Indexed as above.
inline constexpr char kPngQuarterLetters[2][2] = {
    {'b', 'a'}, // the southern half: west, east
    {'c', 'd'}, // the northern half
};
inline constexpr char kFirstPngQuarter = 'a';
inline constexpr char kLastPngQuarter = 'd';

// Whether BC's grid has block `block` of sheet `sheet` of map area `series` `letter`:
// the sheet lies in BC's series, and the block is not wholly inside BC's neighbours
// (bc_extent.h).
inline bool isPngBlockInBc(int series, char letter, int sheet, char block) {
    const auto at = std::find(kBcgsSeries.begin(), kBcgsSeries.end(), series);
    if (at == kBcgsSeries.end() || !('A' <= letter && letter <= 'P') ||
        !(kFirstSheet <= sheet && sheet <= kLastSheet) ||
        !(kFirstPngBlock <= block && block <= kLastPngBlock)) {
        return false;
    }
    constexpr int kAreasPerSeries = 16;
    constexpr int kBlocksPerSheet = kPngBlockRows * kPngBlockColumns;
    constexpr int kBitsPerWord = 64;
    const auto area =
        static_cast<std::size_t>((at - kBcgsSeries.begin()) * kAreasPerSeries + (letter - 'A'));
    const int bit = (sheet - kFirstSheet) * kBlocksPerSheet + (block - kFirstPngBlock);
    return (kPngBlocksInBc[area][static_cast<std::size_t>(bit / kBitsPerWord)] >>
                (bit % kBitsPerWord) &
            1U) != 0;
}

} // namespace sheetref::layout
