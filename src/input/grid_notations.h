// SPDX-License-Identifier: MIT
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

// Whether a text is laid out as UTM, a zone with its letter then two more parts,
// whatever those hold: "61U 1 1". Wider than looksLikeUtm, which "49 N 123 6" (degrees
// and minutes) must fail, so it is asked only of texts no other notation claims.
bool laidOutAsUtm(std::string_view text);

// A UTM or UPS point: zone (1 to 60) and latitude band (C-M south, N-X north) or
// hemisphere letter, with or without a blank between them, in either case; then the
// easting and the northing in metres, ASCII digits with an optional fraction and an
// optional "m", "mE" or "mN"; blanks or commas between the parts. N and S are read as
// hemispheres, never as the bands 0°-8°N and 32°-40°N. A band must hold the point
// (UtmBandMismatch otherwise, with 1e-4° to spare at its edges). UPS is a polar band
// A or B (south) or Y or Z (north) without a zone or with zone 0, or zone 0 with N
// or S; A and Y are the western half (easting below 2000000 m), B and Z the eastern.
// Ranges are GeographicLib's: UTM eastings [0, 1000] km, northings [-9100, 9600] km
// north and [900, 19600] km south; UPS [1200, 2800] km north and [700, 3300] km south.
// Failures: NotUtm, UtmZone, UtmBand, UtmBandMismatch, UtmEasting, UtmNorthing, all
// for Field::Point. Example: readUtm("10U 491213 5458885") is about 49.2827, -123.1208.
std::variant<LatLon, InputFailure> readUtm(std::string_view text);

// An MGRS reference at any precision from the 100 km square alone ("10UDV") to 1 m
// (5 digits each for the easting and the northing), in either case, with blanks
// allowed between zone and band, band and square, square and digits, and easting and
// northing. The point taken is the centre of the square it names. A zone without a
// square ("10U") names no point. Failures: NotMgrs (with GeographicLib's reason, such
// as a square letter that the zone does not use), MgrsZone (outside 1 to 60), MgrsBand,
// MgrsDigits (an odd count, or more than 10; the count is in `count`).
// Example: readMgrs("10UDV9121358885") is about 49.2827, -123.1208.
std::variant<LatLon, InputFailure> readMgrs(std::string_view text);

} // namespace sheetfind
