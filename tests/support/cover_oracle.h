// SPDX-License-Identifier: MIT
#pragma once

#include "nts_oracle.h"

#include <string>
#include <vector>

// Independent judges of which cells a line or a polygon needs, for tests only. They
// decide on one cell at a time from its extent (oracleBounds), by other means than
// the library: exact rational arithmetic for segments, polygon clipping for areas.
namespace oracle {

struct Vertex {
    double latitude = 0;
    double longitude = 0;
};

// Whether the closed segment from a to b holds a point of the cell, by the edge rule
// (west < longitude <= east, south <= latitude < north); a == b is a point. Exact in
// 128-bit integers for coordinates that are whole multiples of 2^-47 below 1024 in
// magnitude: every double from 32 to 1024 in magnitude, and every lattice value.
// Throws std::domain_error for any other coordinate.
bool segmentMeetsCell(Vertex a, Vertex b, const Extent& cell);

// The area in square degrees that a polygon (outer ring, then holes; closed or not)
// shares with the closed cell, by Sutherland-Hodgman clipping of each ring to the cell
// in long double: the outer ring's share less the holes'.
long double sharedArea(const std::vector<std::vector<Vertex>>& rings, const Extent& cell);

// Every cell at `scale` that has some part within the box widened by one 30' x 15'
// step, as canonical texts in reference order: the candidates for a cover.
std::vector<std::string> cellsNear(double south, double north, double west, double east,
                                   Scale scale);

} // namespace oracle
