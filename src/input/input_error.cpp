// SPDX-License-Identifier: MIT
#include "input_error.h"

#include "coordinates.h"
#include "decimal_text.h"
#include "quote.h"

#include <charconv>

namespace sheetfind {
namespace {

bool isLatitudeLike(Field field) {
    return field == Field::Latitude || field == Field::South || field == Field::North;
}

// A value such as the user would type it in the reader's locale: 49.25 or 49,25.
std::string example(const InputFailure& failure) {
    if (isLatitudeLike(failure.field)) {
        return "49" + failure.style.decimalPoint + "25";
    }
    return failure.style.minusSign + "123" + failure.style.decimalPoint + "1";
}

std::string hintFor(SwapHint hint, const HintWords& words) {
    const auto question = [](std::string_view asked, std::string_view action) {
        return " (" + std::string(asked) + "?" +
               (action.empty() ? std::string() : " " + std::string(action)) + ")";
    };
    switch (hint) {
    case SwapHint::None:
        return "";
    case SwapHint::TryLongitudeFirst:
        return question("longitude first", words.readLongitudeFirst);
    case SwapHint::TryLatitudeFirst:
        return question("latitude first", words.readLatitudeFirst);
    }
    return "";
}

std::string expectedFor(Field field) {
    switch (field) {
    case Field::Latitude:
    case Field::South:
    case Field::North:
        return "such as 49°15'N or 49 15 0 N";
    default:
        return "such as 123°06'W or 123 6 0 W";
    }
}

} // namespace

std::string fieldName(Field field) {
    switch (field) {
    case Field::Latitude:
        return "latitude";
    case Field::Longitude:
        return "longitude";
    case Field::Point:
        return "point";
    case Field::South:
        return "south edge";
    case Field::West:
        return "west edge";
    case Field::North:
        return "north edge";
    case Field::East:
        return "east edge";
    case Field::Reference:
        return "reference";
    case Field::Line:
        return "line";
    }
    return "field";
}

std::string describe(const InputFailure& failure, const HintWords& words) {
    const std::string field = fieldName(failure.field);
    const std::string text = quoteText(failure.text);
    const std::string because =
        failure.detail.empty() ? "" : " (" + printableText(failure.detail) + ")";
    switch (failure.error) {
    case InputError::NotANumber:
        return "Type mismatch: the " + field + " " + text +
               " is not a number; expected decimal degrees such as " + example(failure);
    case InputError::TooLarge:
        return "Overflow: the " + field + " " + text +
               " is too large for a number; expected decimal degrees such as " + example(failure);
    case InputError::LatitudeRange:
    case InputError::LongitudeRange:
        return sheetref::describeRange(field,
                                       failure.error == InputError::LatitudeRange
                                           ? sheetref::Coordinate::Latitude
                                           : sheetref::Coordinate::Longitude,
                                       failure.value) +
               hintFor(failure.hint, words);
    case InputError::FieldCount:
        return "expected a latitude and a longitude separated by blanks or a comma, found " +
               std::to_string(failure.count) + (failure.count == 1 ? " field" : " fields");
    case InputError::NotDms:
        return "Type mismatch: the " + field + " " + text + " is not degrees-minutes-seconds" +
               because + "; expected " + expectedFor(failure.field);
    case InputError::SameAxisTwice:
        return "the point " + text + " has two " +
               (failure.field == Field::Latitude ? "latitudes (N or S)" : "longitudes (E or W)") +
               "; expected one latitude and one longitude";
    case InputError::NotUtm:
        return "the point " + text + " is not UTM" + because +
               "; expected ZONE BAND EASTING NORTHING such as 10U 491213 5458885";
    case InputError::UtmZone:
        return "the UTM zone in " + text + " is not 1 to 60" + because +
               "; expected such as 10U 491213 5458885";
    case InputError::UtmBand:
        return "the latitude band in " + text + " is not a UTM band or hemisphere" + because +
               "; expected C to X without I and O, or N or S for the hemisphere";
    case InputError::UtmBandMismatch:
        return "the latitude band in " + text + " does not hold the point" + because +
               "; expected the band of the northing";
    case InputError::UtmEasting:
        return "the easting in " + text + " is out of range" + because +
               "; expected about 100000 to 900000 metres in a UTM zone";
    case InputError::UtmNorthing:
        return "the northing in " + text + " is out of range" + because +
               "; expected 0 to 9600000 metres north, 1100000 to 10000000 south";
    case InputError::NotMgrs:
        return "the point " + text + " is not MGRS" + because +
               "; expected such as 10UDV9121358885 or 10U DV 91213 58885";
    case InputError::MgrsDigits:
        return "the MGRS reference " + text + " has " + std::to_string(failure.count) +
               " digits; expected an even number, from 0 to 10 (easting then northing)";
    case InputError::MgrsZone:
        return "the MGRS zone in " + text + " is not 1 to 60" + because +
               "; expected such as 10UDV9121358885";
    case InputError::MgrsBand:
        return "the latitude band in " + text + " is not an MGRS band" + because +
               "; expected C to X without I and O after the zone, or A, B, Y or Z without one";
    case InputError::NotAReference:
        return failure.detail.empty() ? "the reference " + text + " is not an NTS reference"
                                      : printableText(failure.detail);
    case InputError::BadBox:
        return printableText(failure.detail);
    case InputError::NotAPoint:
        return "the text " + text +
               " is not a point in any notation read here; expected decimal degrees such as 49" +
               failure.style.decimalPoint + "25 " + failure.style.minusSign + "123" +
               failure.style.decimalPoint +
               "1, degrees-minutes-seconds such as 49°15'N 123°06'W, UTM such as 10U 491213 "
               "5458885, or MGRS such as 10UDV9121358885";
    case InputError::NotShifted:
        return failure.detail;
    case InputError::WrongAxis:
        return "the " + field + " " + text + " has the hemisphere letter of a " +
               (failure.field == Field::Latitude ? "longitude (E or W)" : "latitude (N or S)") +
               "; expected a " + field + " such as " + example(failure) + " or " +
               (failure.field == Field::Latitude ? "49°15'N" : "123°06'W");
    }
    return field + " " + text + " is not valid";
}

std::ostream& operator<<(std::ostream& out, const InputFailure& failure) {
    return out << describe(failure);
}

} // namespace sheetfind
