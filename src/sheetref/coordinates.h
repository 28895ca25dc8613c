// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

// The one range check of a coordinate, and its one message, for every reader of
// points, boxes and geometries.
namespace sheetref {

enum class Coordinate { Latitude, Longitude };

inline constexpr double kMaxLatitude = 90.0;
inline constexpr double kMaxLongitude = 180.0;

// Whether `value` is a latitude in [-90, 90] or a longitude in [-180, 180]. Written so
// that NaN fails.
inline bool inRange(Coordinate coordinate, double value) {
    const double limit = coordinate == Coordinate::Latitude ? kMaxLatitude : kMaxLongitude;
    return -limit <= value && value <= limit;
}

// The message for a value out of range, after the name of what holds it:
// describeRange("south edge", Coordinate::Latitude, 95) ==
//   "south edge 95 is out of range -90..90".
std::string describeRange(std::string_view name, Coordinate coordinate, double value);

} // namespace sheetref
