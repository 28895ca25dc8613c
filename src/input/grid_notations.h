#pragma once

#include "input_error.h"
#include "lat_lon.h"

#include <string_view>
#include <variant>

// Points written as grid coordinates, read with GeographicLib: UTM and UPS as GPS
// units show them, and MGRS as search-and-rescue teams write it.
namespace sheetfind {

using sheetref::LatLon;

// Whether a text has the shape of UTM ("10U 491213 5458885", "10N 491213 5458885")
// or of MGRS ("10UDV9121358885", "10U DV 91213 58885"); the readers decide whether
// it is well formed.
bool looksLikeUtm(std::string_view text);
bool looksLikeMgrs(std::string_view text);

// A UTM or UPS point: zone and latitude band (C-M south, N-X north) or hemisphere
// letter, easting, northing in metres.
std::variant<LatLon, InputFailure> readUtm(std::string_view text);

// An MGRS reference at any precision from 100 km down to 1 m; the point taken is
// the centre of the square it names.
std::variant<LatLon, InputFailure> readMgrs(std::string_view text);

} // namespace sheetfind
