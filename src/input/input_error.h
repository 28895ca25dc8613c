// SPDX-License-Identifier: MIT
#pragma once

#include "quote.h"

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

// The one vocabulary of what can be wrong with typed or read input: every reader of
// the input layer reports a failure as an InputFailure, and describe() is the only
// place that spells its message. The window, the command line tool, the CSV and GIS
// readers and the Python module all show these same sentences.
namespace sheetfind {

// Typed text goes into every message through the grid library's one quoting routine.
using sheetref::printableText;
using sheetref::quoteText;

// What a failed text was meant to be.
enum class Field {
    Latitude,
    Longitude,
    Point, // a whole point in one text: "49.25 -123.1", "10U 491213 5458885"...
    South, // the four edges of a box to cover
    West,
    North,
    East,
    Reference, // an NTS reference such as 092G06
    Line,      // an input line as a whole
};

// Each kind of failure is one enumerator.
enum class InputError {
    NotANumber,      // "Type mismatch": not a decimal number in the reader's locale
    TooLarge,        // "Overflow": a number beyond the range of a double
    LatitudeRange,   // a latitude outside [-90, 90]
    LongitudeRange,  // a longitude outside [-180, 180]
    FieldCount,      // a line without exactly two coordinates
    NotDms,          // meant as degrees-minutes-seconds, and not readable as such
    SameAxisTwice,   // two latitudes (N/S) or two longitudes (E/W)
    NotUtm,          // not "ZONE BAND EASTING NORTHING"
    UtmZone,         // a zone outside 1..60 (or 0 for UPS)
    UtmBand,         // a letter that is neither a latitude band nor a hemisphere
    UtmBandMismatch, // a latitude band that does not hold the point
    UtmEasting,      // an easting outside what the zone can hold
    UtmNorthing,     // a northing outside what the hemisphere can hold
    NotMgrs,         // not a readable MGRS reference
    MgrsDigits,      // an odd number of digits, or more than 5 + 5
    MgrsZone,        // a zone outside 1..60
    MgrsBand,        // a letter that is not a latitude band (or, without a zone, a polar one)
    NotAReference,   // not an NTS reference; `detail` says what is wrong
    BadBox,          // a box to cover whose edges do not make a box
    NotAPoint,       // a text in none of the notations, when the notation is detected
    WrongAxis,       // a hemisphere letter that the field's column contradicts
    NotShifted,      // a point that could not be shifted into the grid's datum; `detail` says why
};

// A range error on a decimal line whose values would make a point the other way
// round: the commonest slip with GIS exports, which write the longitude first.
enum class SwapHint {
    None,
    TryLongitudeFirst, // read latitude first; longitude first would be valid
    TryLatitudeFirst,  // read longitude first; latitude first would be valid
};

// How a face tells the user to read the other order, in its own terms: an option of a
// program ("try --lon-first"), a parameter in Python ("try lon_first=True").
struct HintWords {
    std::string_view readLongitudeFirst;
    std::string_view readLatitudeFirst;
};

// How the reader that failed writes numbers, for the example in the message: a
// French user is shown "49,25", not "49.25".
struct NumberStyle {
    std::string decimalPoint = ".";
    std::string minusSign = "-";

    bool operator==(const NumberStyle&) const = default;
};

struct InputFailure {
    InputError error;
    Field field;
    std::string text;               // what was typed or read, as UTF-8 bytes, unquoted
    std::string detail;             // the reason a library gave, when it gave one
    double value = 0;               // for the range errors: the value read
    std::size_t count = 0;          // for FieldCount and the table's errors: how many
    SwapHint hint = SwapHint::None; // for the range errors
    NumberStyle style;

    bool operator==(const InputFailure&) const = default;
};

// "latitude", "south edge", "point"...
std::string fieldName(Field field);

// One English sentence naming the field, the text (quoted) and what was expected,
// with no "ERROR: " prefix and no final newline; a swap hint in the face's words, or
// as a bare question without them. For example:
//   Type mismatch: the latitude "abc" is not a number; expected decimal degrees such as 49.25
//   latitude -123.1 is out of range -90..90 (longitude first? try --lon-first)
std::string describe(const InputFailure& failure, const HintWords& words = {});

std::ostream& operator<<(std::ostream& out, const InputFailure& failure);

} // namespace sheetfind
