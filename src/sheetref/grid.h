// SPDX-License-Identifier: MIT
#pragma once

#include "lat_lon.h"
#include "reference.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

// The National Topographic System (NTS) of Canada, and the BC Geographic System (BCGS)
// that refines it in British Columbia: where each cell lies, and which of them covers a
// point or a box.
//
// Coordinates are decimal degrees, longitude negative west of Greenwich and latitude
// positive north. Series are numbered by column and row: outside the high Arctic,
// column 0 starts at 48° W and counts westward in 8° steps to 144° W, and row 0
// starts at 40° N and counts northward in 4° steps, so series 092 is column 09, row 2.
// Each series is cut into lettered map areas and each map area into 16 numbered
// sheets; letters and numbers snake from the south-east corner (west along the
// southern row, back east along the next). The grid has three zones:
//
//   zone         latitude   longitude    series    map areas            sheets
//   southern     [40, 68)   (-144, -48]  8° x 4°   2° x 1°, A-P (16)    30' x 15'
//   Arctic       [68, 80)   (-144, -48]  8° x 4°   4° x 1°, A-H (8)     1° x 15'
//   high Arctic  [80, 84)   (-136, -56]  16° x 4°  8° x 1°, A-H (8)     2° x 15'
//                [84, 88)   (-120, -56]
//
// High-Arctic series are numbered 120, 340, 560, 780, 910 from east to west for 80°
// to 84° N, and 121, 341, 561, 781 for 84° to 88° N.
//
// The BCGS cuts each map area of BC's series (082, 083, 092, 093, 094, 102, 103, 104
// and 114, all southern, so every map area is 2° x 1°) into 10 x 10 cells at 1:20 000,
// 12' x 6', numbered 001 to 100 from the south-west corner: 001 to 010 west to east
// along the southern row, 011 to 020 along the next, up to 100 in the north-east. Each
// finer scale quarters the cell above and adds a digit, 1 south-west, 2 south-east,
// 3 north-west, 4 north-east:
//
//   scale      cell          example
//   1:20 000   12' x 6'      092G025
//   1:10 000   6' x 3'       092G0253
//   1:5 000    3' x 1'30"    092G02532
//   1:2 500    1'30" x 45"   092G025322
//
// BC's series lie within 48° to 60° N and 112° to 144° W, without 084 (56° to 60° N east
// of 120° W) and 112 and 113 (48° to 56° N west of 136° W).
//
// BCGS cells do not nest in NTS 1:50 000 sheets (their 6' rows cut across the sheets'
// 15' rows); both nest in map areas. Outside BC's series there is no BCGS cell, nor
// where they reach into BC's neighbours: a 1:20 000 cell wholly inside Alberta, Yukon,
// the Northwest Territories, Alaska, Washington, Idaho or Montana was never drawn, and
// neither were the cells inside it (Calgary has none). BC's waters keep theirs.
//
// Edge rule, at every level and in every zone: a point exactly on a meridian belongs
// to the cell west of it, and a point exactly on a parallel to the cell north of it.
// So a cell owns its east and south edges: it is west < longitude <= east,
// south <= latitude < north.
namespace sheetref {

// The extent of a cell, or a box to cover, in decimal degrees; west is negative.
struct Bounds {
    double south = 0;
    double north = 0;
    double west = 0;
    double east = 0;

    bool operator==(const Bounds&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Bounds& bounds);

// The reference of the cell at `scale` that holds the point, or nullopt when no
// cell of the grid holds it: south of 40° N, north of 88° N, east of 48° W or west of
// 144° W, in the high-Arctic band outside its series, or a non-finite argument.
//
// At a BCGS scale, also nullopt outside BC's series and where BC drew no cell.
//
// Example: locate({.latitude = 49.25, .longitude = -123.1}, Scale::Sheet)->text() == "092G06",
// and at Scale::Bcgs2500 "092G025322": both coordinates lie on BCGS edges, so the cell
// is the one north of 49.25 and west of -123.1 at every BCGS scale.
std::optional<Reference> locate(LatLon point, Scale scale);

// The extent of a cell; the cell holds exactly the points with
// west < longitude <= east and south <= latitude < north. Every NTS edge is a multiple
// of 15' and exact. A BCGS edge is a multiple of 45" (1/80°), which a double cannot hold
// exactly: it is given as the double nearest its true value, the one a user types for
// it (49.1, -123.2), and locate decides on that very double, so a cell holds exactly the
// doubles its bounds enclose. Example: bounds(092G06) == {49.25, 49.5, -123.5, -123},
// bounds(092G025) == {49.2, 49.3, -123.2, -123}.
Bounds bounds(const Reference& reference);

// Every cell at the reference's scale that shares an edge or a corner with it, in
// reference order. Across 68° N and 80° N cells of different widths meet, so a cell
// can have more than eight neighbours; at the edges of the grid it has fewer. BCGS
// neighbours reach across map areas and series, and a BCGS cell at the edge of BC's
// series has fewer.
std::vector<Reference> neighbours(const Reference& reference);

// What can be wrong with a box to cover.
enum class BoxError {
    NotANumber,     // an edge is NaN or infinite
    LatitudeRange,  // a south or north edge outside [-90, 90]
    LongitudeRange, // a west or east edge outside [-180, 180]
    SouthOfNorth,   // south > north
    WestOfEast,     // west > east: the box would wrap round the globe
};

enum class BoxEdge { South, West, North, East };

struct BoxFailure {
    BoxError error;
    BoxEdge edge; // the edge at fault; for the two order errors, south or west
    double value;
    double other = 0; // for the two order errors, the north or east edge

    bool operator==(const BoxFailure&) const = default;
};

// One English sentence naming the edge, its value and what was expected.
std::string describe(const BoxFailure& failure);

// What is wrong with a box to cover, or nullopt: the check cover and coverEach make
// first, for callers that must know before they begin to write.
std::optional<BoxFailure> checkBox(const Bounds& box);

// Every cell at `scale` that the box touches, in reference order, across zones.
//
// A box touches a cell when they share some area. Box edges are read like cell
// edges, so an edge that lies exactly on a cell's edge never reaches across it: the
// bounds of a sheet cover that sheet alone, and a box whose east edge is a sheet's
// west meridian does not touch that sheet. A box with no height or no width is a
// line or a point, and touches the cells that own its points by the edge rule:
// a point box covers exactly what locate gives.
//
// Parts of the box outside the grid are ignored, so the largest cover is the whole
// grid (27 264 sheets) and the result never grows beyond it. At the BCGS scales the
// result can be large: BC holds 11 758 cells at 1:20 000 and 752 512 at 1:2 500 (some
// 6 MB of References); coverEach visits them without holding them.
using CoverResult = std::variant<std::vector<Reference>, BoxFailure>;
CoverResult cover(const Bounds& box, Scale scale);

// The cells cover() gives, in the same order, handed to `visit` one at a time, after
// the first `skip` of them; the walk stops early when `visit` returns false. Returns
// the failure of a bad box (and visits nothing), or nullopt. At the BCGS scales the
// skipped cells are counted a map area at a time, not made, so a page far into a large
// cover costs about what the first one does.
//
// Memory: at the BCGS scales nothing is gathered; each cell is made when it is
// visited, so any box takes the same small, constant memory, whatever the scale. At
// the NTS scales the cells are gathered first and then visited: at most the 27 264
// sheets of the whole grid, about 220 kB.
//
// Example: counting the 1:2 500 cells of map area 092G (6 400) holds no list:
//   std::size_t n = 0;
//   coverEach(bounds(area), Scale::Bcgs2500, [&n](const Reference&) { ++n; return true; });
std::optional<BoxFailure> coverEach(const Bounds& box, Scale scale,
                                    const std::function<bool(const Reference&)>& visit,
                                    std::size_t skip = 0);

// How many cells cover() gives, counted without making them: at the BCGS scales a
// map area at a time. Example: coverCount(bounds(092G), Scale::Bcgs2500) == 6400.
std::variant<std::size_t, BoxFailure> coverCount(const Bounds& box, Scale scale);

// A page of a cover: at most `limit` of the cells cover() gives, from `offset`, and how
// many the whole cover holds. Only the page's cells are kept; at the BCGS scales the
// cells before it are counted, not made, so the 752 512 sheets of BC at 1:2 500 page
// in the time and memory of one page.
struct CoverPage {
    std::vector<Reference> cells;
    std::size_t matched = 0;
};
std::variant<CoverPage, BoxFailure> coverPage(const Bounds& box, Scale scale, std::size_t offset,
                                              std::size_t limit);

} // namespace sheetref
