// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

#include "reference.h"

// The National Topographic System (NTS) of Canada, as the desktop lookup uses it:
// the 1:50 000 map sheet that covers a point. This is locate() of grid.h at
// Scale::Sheet, limited to the southern and Arctic zones; grid.h has the whole grid.
//
// The grid starts at 48° W, 40° N. Series are 8° of longitude by 4° of latitude,
// numbered by column (counted westward, two digits) and row (counted northward, one
// digit): series 092 is column 09, row 2. Each series is cut into lettered map
// areas and each map area into 16 numbered sheets, both in a zig-zag that starts at
// the south-east corner:
//   - southern zone, latitude in [40, 68): 16 map areas A-P of 2° x 1°, sheets of 30' x 15';
//   - Arctic zone, latitude in [68, 80): 8 map areas A-H of 4° x 1°, sheets of 1° x 15'.
namespace sheetref {

// Returns the 1:50 000 sheet reference of the point, six characters such as "092G06".
//
//   longitude: decimal degrees, negative west of Greenwich; covered range (-144, -48].
//   latitude:  decimal degrees, positive north; covered range [40, 80).
//
// Edge rule, at every level of the grid: a point exactly on a meridian belongs to
// the cell west of it, and a point exactly on a parallel to the cell north of it.
// That is why -48 is covered and -144 is not, 40 is covered and 80 is not, and
// latitude 68 is already in the Arctic zone.
//
// A point outside the covered band, and any non-finite argument, gives the empty
// text. North of 80° the high-Arctic series take over, which this lookup does not
// cover; south of 40° and outside the two meridians there is no NTS sheet.
//
// Example: sheetfindGrid(-123.1, 49.25) == "092G06" (Vancouver).
std::string sheetfindGrid(double longitude, double latitude);

// The same sheet as a Reference: nullopt where sheetfindGrid gives the empty text.
std::optional<Reference> sheetfindSheet(double longitude, double latitude);

} // namespace sheetref
