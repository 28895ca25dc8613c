// SPDX-License-Identifier: MIT
#pragma once

#include <ostream>

namespace sheetref {

// A point on the globe in decimal degrees: latitude positive north, longitude
// negative west of Greenwich. Every API of Sheetfind passes points as this one
// type, latitude first, built with designated initialisers so that the order can
// be read at the call: LatLon{.latitude = 49.25, .longitude = -123.1}.
//
// The datum is NAD83 or WGS 84; the two agree to about a metre in Canada, far
// below the size of a sheet.
struct LatLon {
    double latitude = 0;
    double longitude = 0;

    bool operator==(const LatLon&) const = default;
};

std::ostream& operator<<(std::ostream& out, const LatLon& point);

} // namespace sheetref
