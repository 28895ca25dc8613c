// SPDX-License-Identifier: MIT
#include "input_error.h"

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

std::string hintFor(SwapHint hint) {
    switch (hint) {
    case SwapHint::None:
        return "";
    case SwapHint::TryLongitudeFirst:
        return " (longitude first? try --lon-first)";
    case SwapHint::TryLatitudeFirst:
        return " (latitude first? leave out --lon-first)";
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
    case Field::Geometry:
        return "geometry";
    case Field::Layer:
        return "layer";
    }
    return "field";
}

std::string describe(const InputFailure& failure) {
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
        return field + " " + sheetref::decimalText(failure.value) + " is out of range -90..90" +
               hintFor(failure.hint);
    case InputError::LongitudeRange:
        return field + " " + sheetref::decimalText(failure.value) + " is out of range -180..180" +
               hintFor(failure.hint);
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
    case InputError::LineTooLong:
        return "line too long" + because;
    case InputError::NotWkt:
        return "the geometry " + text + " is not WKT" + because +
               "; expected such as LINESTRING(-123.95 49.3, -122.35 49.62), longitude first";
    case InputError::NoCrs:
        return "the layer " + text +
               " has no coordinate reference system; give it with --assume-crs, such as "
               "--assume-crs EPSG:3005";
    case InputError::NotTransformable:
        return "the geometry cannot be transformed to longitude and latitude" + because;
    case InputError::BadGeometry:
        return "the geometry is not in degrees" + because;
    case InputError::LostByFormat:
        return "the layer " + text + " cannot be written in this format" + because +
               "; write a GeoPackage (.gpkg) instead";
    case InputError::EmptyTable:
        return "the table is empty; expected a header row";
    case InputError::NoPointColumns:
        return "the header has no point columns: its names are " + printableText(failure.detail) +
               "; expected lat and lon (or latitude and longitude, y and x...), a point column "
               "such as position, coordinates, utm or mgrs, or --lat and --lon, or --point";
    case InputError::UnknownColumn:
        return "the " + field + " column " + text +
               " is not in the header; expected one of its names or a number from 1 to " +
               std::to_string(failure.count) + ": " + printableText(failure.detail);
    case InputError::MalformedQuotes:
        return "malformed quotes" + because +
               "; expected a quoted field to be wholly in double quotes, with each quote inside "
               "it written twice";
    case InputError::RecordTooLong:
        return "the record is longer than " + std::to_string(failure.count) +
               " bytes; expected a record of a table (is a quote above left open?)";
    case InputError::MissingField:
        return "the record has " + std::to_string(failure.count) +
               (failure.count == 1 ? " field" : " fields") + " and so no " + field + " column " +
               text + "; expected as many fields as the header";
    case InputError::ExtraFields:
        return "the record has " + std::to_string(failure.count) +
               " fields, more than the header; those past the header are kept after the sheet "
               "column";
    }
    return field + " " + text + " is not valid";
}

std::ostream& operator<<(std::ostream& out, const InputFailure& failure) {
    return out << describe(failure);
}

} // namespace sheetfind
