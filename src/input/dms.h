// SPDX-License-Identifier: MIT
#pragma once

#include "input_error.h"

#include <string_view>
#include <variant>

// Degrees-minutes-seconds, read with GeographicLib's DMS decoder: "49°15'N",
// "49d15m N", "49d15m30s", "49:15:00N", "N49 15 0", hemisphere letters in front or
// behind. The decoder is only handed texts of a shape it reads safely.
namespace sheetfind {

// Whether a field is meant as degrees-minutes-seconds rather than a decimal number:
// it has a hemisphere letter or a degree, minute or second mark, and no other letter
// ("west" and "nan" are just not numbers). An 'e' followed by a digit or a sign is
// an exponent, not east.
bool looksLikeDms(std::string_view field);

// N, S, E or W, in either case.
bool isHemisphereLetter(char ch);

enum class Axis { None, Latitude, Longitude };

struct DmsAngle {
    double degrees = 0;
    Axis axis = Axis::None; // what its hemisphere letter says it is, if it has one
};

// Decodes one angle; `field` names it in a failure: NotDms, with the reason as the
// detail. Refused before GeographicLib sees them: more than three parts ("1:2:3:4:5:6N",
// "1\"2:3"), a sign after the first digit ("49-15-30N", which GeographicLib would read
// as the sum 49 - 15 - 30), characters that are neither digits, '.', marks, signs nor
// hemisphere letters, and texts over 64 bytes. Example: decodeDms("49°15'N", ...) gives
// 49.25 with Axis::Latitude.
std::variant<DmsAngle, InputFailure> decodeDms(std::string_view text, Field field);

} // namespace sheetfind
