#pragma once

#include "input_error.h"

#include <string_view>
#include <variant>

// Degrees-minutes-seconds, read with GeographicLib's DMS decoder: "49°15'N",
// "49d15m N", "49:15:00N", "N49 15 0", hemisphere letters in front or behind.
namespace sheetfind {

// Whether a field is meant as degrees-minutes-seconds rather than a decimal number:
// it has a hemisphere letter or a degree, minute or second mark, and no other letter
// ("west" and "nan" are just not numbers). An 'e' followed by a digit or a sign is
// an exponent, not east.
bool looksLikeDms(std::string_view field);

enum class Axis { None, Latitude, Longitude };

struct DmsAngle {
    double degrees = 0;
    Axis axis = Axis::None; // what its hemisphere letter says it is, if it has one
};

// Decodes one angle; `field` names it in a failure (NotDms, with GeographicLib's
// reason as the detail).
std::variant<DmsAngle, InputFailure> decodeDms(std::string_view text, Field field);

} // namespace sheetfind
