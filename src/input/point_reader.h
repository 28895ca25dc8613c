// SPDX-License-Identifier: MIT
#pragma once

#include "coordinates.h"
#include "input_error.h"
#include "lat_lon.h"
#include "number_reader.h"

#include <optional>
#include <string_view>
#include <variant>

namespace sheetfind {

using sheetref::LatLon;

// The ways people write a point.
enum class Notation {
    Auto,    // detected text by text, in the order below
    Decimal, // decimal degrees in the locale: "49.25 -123.1", "49,25;-123,1" in French
    Dms,     // degrees-minutes-seconds: "49°15'N 123°06'W", "49 15 0 N, 123 6 0 W"
    Utm,     // UTM or UPS: "10U 491213 5458885", "10N 491213 5458885"
    Mgrs,    // MGRS: "10UDV9121358885", "10U DV 91213 58885"
};

// "auto", "decimal", "dms", "utm" or "mgrs".
std::optional<Notation> notationNamed(std::string_view name);

struct PointOptions {
    Notation notation = Notation::Auto;
    // Decimal lines hold the longitude first, as GIS exports write them.
    bool longitudeFirst = false;
    // Two texts are a latitude field and a longitude field, as named columns are, in
    // the order above: a hemisphere letter that says otherwise is a failure
    // (WrongAxis), never a reason to swap them.
    bool namedFields = false;
};

using PointResult = std::variant<LatLon, InputFailure>;

// The window's reading: a latitude text and a longitude text, each a decimal number
// in the locale, the latitude converted first so that it is the one reported when
// both are bad. No range check: a number is a point, even one that no sheet covers.
PointResult readDecimalPair(const NumberReader& numbers, std::string_view latitude,
                            std::string_view longitude);

// One edge of a box to cover, in decimal degrees, range-checked as a latitude for
// Field::South and Field::North and as a longitude for Field::West and Field::East.
std::variant<double, InputFailure> readEdge(const NumberReader& numbers, std::string_view text,
                                            Field edge);

// Reads points in every notation, with the same range checks everywhere: a latitude
// outside [-90, 90] or a longitude outside [-180, 180] is an error.
class PointReader {
public:
    explicit PointReader(NumberReader numbers = NumberReader(), PointOptions options = {});

    // A whole point in one text: a line of input, a command-line argument, a cell.
    // Detecting the notation, a text with no digit at all is NotAPoint, and one laid
    // out as UTM ("61U 1 1") is reported as UTM.
    PointResult read(std::string_view text) const;

    // The batch path: a line of two plain decimals that make a point, read in one pass;
    // read() gives the same point for it. nullopt for any other line, and for any line
    // in a notation other than auto or decimal: read() then reads it, with its messages.
    // Inline, as the batch reads every line through it.
    std::optional<LatLon> readPlain(std::string_view text) const {
        if (m_options.notation != Notation::Auto && m_options.notation != Notation::Decimal) {
            return std::nullopt;
        }
        const auto plain = m_numbers.readPlainLine(text);
        if (!plain) {
            return std::nullopt;
        }
        return plainPoint(plain->first, plain->second);
    }

    // A point given as two texts, such as two arguments or two columns: latitude
    // then longitude (or the other way round with longitudeFirst), each decimal or
    // degrees-minutes-seconds, where hemisphere letters, when present, decide which
    // is which (unless namedFields).
    PointResult read(std::string_view first, std::string_view second) const;

    const NumberReader& numbers() const { return m_numbers; }
    const PointOptions& options() const { return m_options; }

private:
    std::optional<LatLon> readPlainPair(std::string_view first, std::string_view second) const;
    // Two numbers as a point, in the order of the options, when both are in range.
    std::optional<LatLon> plainPoint(double one, double two) const {
        const LatLon point = m_options.longitudeFirst ? LatLon{.latitude = two, .longitude = one}
                                                      : LatLon{.latitude = one, .longitude = two};
        if (!sheetref::inRange(sheetref::Coordinate::Latitude, point.latitude) ||
            !sheetref::inRange(sheetref::Coordinate::Longitude, point.longitude)) {
            return std::nullopt;
        }
        return point;
    }
    PointResult readDecimal(std::string_view text) const;
    PointResult readDms(std::string_view text) const;
    PointResult checked(LatLon point, std::string_view first, std::string_view second,
                        bool couldBeSwapped) const;

    NumberReader m_numbers;
    PointOptions m_options;
};

} // namespace sheetfind
