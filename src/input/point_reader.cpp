// SPDX-License-Identifier: MIT
#include "point_reader.h"

#include "coordinates.h"
#include "dms.h"
#include "fields.h"
#include "grid_notations.h"

#include <string>
#include <utility>

namespace sheetfind {
namespace {

bool isLatitude(double value) {
    return sheetref::inRange(sheetref::Coordinate::Latitude, value);
}

bool isLongitude(double value) {
    return sheetref::inRange(sheetref::Coordinate::Longitude, value);
}

// A DMS line with more than two blank-separated parts, split into its two angles by
// its hemisphere letters: after the first part that ends with one ("49 15 N 123 6
// W"), or before the first later part that starts with one ("N49 15 W123 6").
std::optional<std::pair<std::string_view, std::string_view>>
splitByHemisphere(std::string_view line) {
    std::optional<std::size_t> afterLetter;  // where the second angle starts
    std::optional<std::size_t> beforeLetter; // ditto, when a letter leads it
    std::optional<char> previousLast;        // the last character of the word before
    forEachWord(line, isBlank, [&](std::string_view word) {
        const auto at = static_cast<std::size_t>(word.data() - line.data());
        if (previousLast && !afterLetter && isHemisphereLetter(*previousLast)) {
            afterLetter = at;
        }
        if (previousLast && !beforeLetter && isHemisphereLetter(word.front())) {
            beforeLetter = at;
        }
        previousLast = word.back();
    });
    const std::optional<std::size_t> split = afterLetter ? afterLetter : beforeLetter;
    if (!split) {
        return std::nullopt;
    }
    return std::pair(trimBlanks(line.substr(0, *split)), trimBlanks(line.substr(*split)));
}

// Every notation writes a point with digits; a text without one is meant as none.
bool hasDigit(std::string_view text) {
    return text.find_first_of("0123456789") != std::string_view::npos;
}

// The two texts of a point as one, for a message.
std::string joined(std::string_view first, std::string_view second) {
    std::string text(first);
    text += ' ';
    text += second;
    return text;
}

} // namespace

std::optional<Notation> notationNamed(std::string_view name) {
    if (name == "auto") {
        return Notation::Auto;
    }
    if (name == "decimal") {
        return Notation::Decimal;
    }
    if (name == "dms") {
        return Notation::Dms;
    }
    if (name == "utm") {
        return Notation::Utm;
    }
    if (name == "mgrs") {
        return Notation::Mgrs;
    }
    return std::nullopt;
}

PointResult readDecimalPair(const NumberReader& numbers, std::string_view latitude,
                            std::string_view longitude) {
    auto lat = numbers.read(latitude, Field::Latitude);
    if (auto* failure = std::get_if<InputFailure>(&lat)) {
        return std::move(*failure);
    }
    auto lon = numbers.read(longitude, Field::Longitude);
    if (auto* failure = std::get_if<InputFailure>(&lon)) {
        return std::move(*failure);
    }
    return LatLon{.latitude = std::get<double>(lat), .longitude = std::get<double>(lon)};
}

std::variant<double, InputFailure> readEdge(const NumberReader& numbers, std::string_view text,
                                            Field edge) {
    auto value = numbers.read(text, edge);
    if (auto* failure = std::get_if<InputFailure>(&value)) {
        return std::move(*failure);
    }
    const double degrees = std::get<double>(value);
    const bool latitude = edge == Field::South || edge == Field::North;
    if (latitude ? !isLatitude(degrees) : !isLongitude(degrees)) {
        return InputFailure{.error =
                                latitude ? InputError::LatitudeRange : InputError::LongitudeRange,
                            .field = edge,
                            .text = std::string(text),
                            .value = degrees};
    }
    return degrees;
}

PointReader::PointReader(NumberReader numbers, PointOptions options)
    : m_numbers(std::move(numbers)), m_options(options) {}

PointResult PointReader::checked(LatLon point, std::string_view first, std::string_view second,
                                 bool couldBeSwapped) const {
    const auto failure = [&](InputError error, Field field, double value) {
        // Values written in the wrong order are the commonest mistake with GIS
        // exports; say so when the swap would make a valid point.
        const bool swapped =
            couldBeSwapped && isLatitude(point.longitude) && isLongitude(point.latitude);
        const SwapHint hint = !swapped                   ? SwapHint::None
                              : m_options.longitudeFirst ? SwapHint::TryLatitudeFirst
                                                         : SwapHint::TryLongitudeFirst;
        return InputFailure{.error = error,
                            .field = field,
                            .text = joined(first, second),
                            .value = value,
                            .hint = hint};
    };
    if (!isLatitude(point.latitude)) {
        return failure(InputError::LatitudeRange, Field::Latitude, point.latitude);
    }
    if (!isLongitude(point.longitude)) {
        return failure(InputError::LongitudeRange, Field::Longitude, point.longitude);
    }
    return point;
}

PointResult PointReader::readDecimal(std::string_view text) const {
    const FieldPair fields = splitFields(text, !m_numbers.commaIsDecimal());
    if (fields.count != 2) {
        return InputFailure{.error = InputError::FieldCount,
                            .field = Field::Line,
                            .text = std::string(text),
                            .count = fields.count};
    }
    return read(fields.first, fields.second);
}

PointResult PointReader::readDms(std::string_view text) const {
    const std::string_view trimmed = trimBlanks(text);
    const FieldPair fields = splitFields(trimmed, true);
    if (fields.count == 2) {
        return read(fields.first, fields.second);
    }
    if (const auto halves = splitByHemisphere(trimmed)) {
        return read(halves->first, halves->second);
    }
    return InputFailure{.error = InputError::FieldCount,
                        .field = Field::Line,
                        .text = std::string(text),
                        .count = splitFields(trimmed, false).count};
}

PointResult PointReader::read(std::string_view text) const {
    switch (m_options.notation) {
    case Notation::Decimal:
        return readDecimal(text);
    case Notation::Dms:
        return readDms(text);
    case Notation::Utm:
        return readUtm(text);
    case Notation::Mgrs:
        return readMgrs(text);
    case Notation::Auto:
        break;
    }
    // Nearly every line is two decimal numbers: that case is settled first, without
    // looking at the other notations, and the plainest of them in one pass.
    if (const auto point = readPlain(text)) {
        return *point;
    }
    const FieldPair fields = splitFields(text, !m_numbers.commaIsDecimal());
    if (fields.count == 2) {
        PointResult pair = read(fields.first, fields.second);
        // "10UDV 9121358885" has two fields too; only a pair that fails is looked at
        // again, so the decimal path pays nothing for it, and a pair that is no MGRS
        // either is reported as the pair it looks like.
        if (std::holds_alternative<InputFailure>(pair) && looksLikeMgrs(text)) {
            PointResult mgrs = readMgrs(text);
            if (std::holds_alternative<LatLon>(mgrs)) {
                return mgrs;
            }
        }
        return pair;
    }
    const auto notAPoint = [&] {
        return m_numbers.failure(InputError::NotAPoint, Field::Point, text);
    };
    if (looksLikeMgrs(text)) {
        // "abc" has the shape of a polar MGRS square, but nobody meant it as one.
        PointResult mgrs = readMgrs(text);
        return std::holds_alternative<InputFailure>(mgrs) && !hasDigit(text) ? notAPoint() : mgrs;
    }
    if (looksLikeUtm(text)) {
        return readUtm(text);
    }
    if (looksLikeDms(text)) {
        return readDms(text);
    }
    // Too short to be told from degrees above, yet laid out as UTM: its own reader
    // says what is wrong with it (a zone past 60, numbers that are not metres).
    if (laidOutAsUtm(text)) {
        return readUtm(text);
    }
    if (!hasDigit(text) && !trimBlanks(text).empty()) {
        return notAPoint();
    }
    return readDecimal(text);
}

std::optional<LatLon> PointReader::readPlainPair(std::string_view first,
                                                 std::string_view second) const {
    const auto a = m_numbers.read(first);
    const auto b = m_numbers.read(second);
    if (!std::holds_alternative<double>(a) || !std::holds_alternative<double>(b)) {
        return std::nullopt;
    }
    return plainPoint(std::get<double>(a), std::get<double>(b));
}

PointResult PointReader::read(std::string_view first, std::string_view second) const {
    // The batch path: two plain numbers in range, settled without building any of
    // the failures the general path below is ready to report.
    if (m_options.notation != Notation::Utm && m_options.notation != Notation::Mgrs) {
        if (const std::optional<LatLon> point = readPlainPair(first, second)) {
            return *point;
        }
    }
    if (m_options.notation == Notation::Utm || m_options.notation == Notation::Mgrs) {
        // Grid coordinates are one text; two halves of it are read together.
        return read(joined(first, second));
    }
    first = trimBlanks(first);
    second = trimBlanks(second);
    const bool dmsAllowed = m_options.notation != Notation::Decimal;
    const auto angle = [&](std::string_view field,
                           Field name) -> std::variant<DmsAngle, InputFailure> {
        const auto number = m_numbers.read(field, name);
        if (const double* value = std::get_if<double>(&number)) {
            return DmsAngle{*value, Axis::None};
        }
        if (dmsAllowed && looksLikeDms(field)) {
            return decodeDms(field, name);
        }
        return std::get<InputFailure>(number);
    };
    const Field firstName = m_options.longitudeFirst ? Field::Longitude : Field::Latitude;
    const Field secondName = m_options.longitudeFirst ? Field::Latitude : Field::Longitude;
    auto a = angle(first, firstName);
    if (auto* failure = std::get_if<InputFailure>(&a)) {
        return std::move(*failure);
    }
    auto b = angle(second, secondName);
    if (auto* failure = std::get_if<InputFailure>(&b)) {
        return std::move(*failure);
    }
    const DmsAngle& one = std::get<DmsAngle>(a);
    const DmsAngle& two = std::get<DmsAngle>(b);
    const auto contradicted = [this](const DmsAngle& read, Field field) {
        return m_options.namedFields && read.axis != Axis::None &&
               (read.axis == Axis::Latitude) != (field == Field::Latitude);
    };
    if (contradicted(one, firstName)) {
        return m_numbers.failure(InputError::WrongAxis, firstName, first);
    }
    if (contradicted(two, secondName)) {
        return m_numbers.failure(InputError::WrongAxis, secondName, second);
    }
    if (one.axis != Axis::None && one.axis == two.axis) {
        return InputFailure{.error = InputError::SameAxisTwice,
                            .field =
                                one.axis == Axis::Latitude ? Field::Latitude : Field::Longitude,
                            .text = joined(first, second)};
    }
    // Hemisphere letters say which angle is which; without them the order is the
    // reader's.
    bool firstIsLatitude = !m_options.longitudeFirst;
    if (one.axis != Axis::None) {
        firstIsLatitude = one.axis == Axis::Latitude;
    } else if (two.axis != Axis::None) {
        firstIsLatitude = two.axis == Axis::Longitude;
    }
    const LatLon point = firstIsLatitude
                             ? LatLon{.latitude = one.degrees, .longitude = two.degrees}
                             : LatLon{.latitude = two.degrees, .longitude = one.degrees};
    const bool unlettered = one.axis == Axis::None && two.axis == Axis::None;
    return checked(point, first, second, unlettered);
}

} // namespace sheetfind
