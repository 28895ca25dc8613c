// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A second, independent reckoning of the NTS grid, for tests only. It shares no code
// and no header with the library it checks: it counts in whole integers (nanodegrees,
// or quarter degrees for doubles), derives letters and sheet numbers from the zig-zag
// rule instead of reading tables, and returns references as canonical text.
//
// It knows the BCGS too, as a count of 45" ticks (1/80°) from the equator and from
// Greenwich: the cells of a map area of BC's series are numbered row by row from the
// south-west, and each quarter digit is 1 + (east half) + 2 * (north half). A BCGS edge
// as a double is the one its decimal text reads as (49.1 for 3928 ticks).
//
// Edge rule, as in the grid: a cell holds west < longitude <= east and
// south <= latitude < north.
namespace oracle {

enum class Scale { Series, MapArea, Sheet, Bcgs20k, Bcgs10k, Bcgs5k, Bcgs2500 };

inline constexpr std::int64_t kNano = 1'000'000'000;

// The reference of the cell holding a point given in exact integer nanodegrees, or ""
// when no cell holds it. Example: referenceByIntegers(49'250'000'000, -123'100'000'000,
// Scale::Sheet) == "092G06".
std::string referenceByIntegers(std::int64_t latitudeNano, std::int64_t longitudeNano, Scale scale);

// The same for any pair of doubles, decided on their exact values; "" outside the grid
// and for NaN or infinite arguments. Example: oracleReference(49.25, -123, Scale::Sheet)
// == "092G06".
std::string oracleReference(double latitude, double longitude, Scale scale);

// The double nearest to a nanodegree value, read from its decimal text.
double fromNano(std::int64_t nano);

// A cell's extent in decimal degrees; every NTS edge is a multiple of 15' and exact,
// every BCGS edge the double its decimal text reads as.
struct Extent {
    double south = 0;
    double north = 0;
    double west = 0;
    double east = 0;
};

// The extent of the cell named by canonical text ("092", "092G", "092G06", "340D15",
// "092G025", "092G025342"), or nullopt when the grid has no such cell.
std::optional<Extent> oracleBounds(std::string_view reference);

// BC's petroleum and natural gas grid, on the NAD27 graticule: the block, unit or quarter
// unit holding a point given in NAD27 degrees, as canonical text ("H/094-A-15",
// "096-H/094-A-15", "d-096-H/094-A-15"), or "" where BC drew none. It counts in ticks
// of 15" of latitude and 22.5" of longitude, and derives the letters and numbers from
// the serpentine and row rules rather than tables. An edge is the double nearest its
// tick line.
enum class PngLevel { Block, Unit, QuarterUnit };
std::string pngReference(double latitude, double longitude, PngLevel level);

} // namespace oracle
