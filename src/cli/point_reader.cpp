#include "point_reader.h"

#include "blanks.h"

#include "lookup_command.h"

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/DMS.hpp>

#include <QString>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace sheetfind {
namespace {

std::vector<std::string_view> splitAt(std::string_view text, char separator) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t at = text.find(separator);
        fields.push_back(trimBlanks(text.substr(0, at)));
        if (at == std::string_view::npos) {
            return fields;
        }
        text.remove_prefix(at + 1);
    }
}

std::vector<std::string_view> splitBlanks(std::string_view text) {
    std::vector<std::string_view> fields;
    for (std::size_t at = 0; at < text.size();) {
        if (isBlank(text[at])) {
            ++at;
            continue;
        }
        const auto end =
            std::find_if(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(), isBlank);
        const auto length = static_cast<std::size_t>(end - text.begin()) - at;
        fields.push_back(text.substr(at, length));
        at += length;
    }
    return fields;
}

bool isHemisphere(char ch) {
    switch (ch) {
    case 'N':
    case 'S':
    case 'E':
    case 'W':
    case 'n':
    case 's':
    case 'e':
    case 'w':
        return true;
    default:
        return false;
    }
}

bool isNumeric(char ch) {
    return ('0' <= ch && ch <= '9') || ch == '.';
}

// Whether a field is meant as degrees-minutes-seconds rather than a decimal number:
// it has a hemisphere letter or a degree, minute or second mark, and no other
// letter ("west" and "nan" are just not numbers). An 'e' followed by a digit or a
// sign is an exponent, not east.
bool looksLikeDms(std::string_view text) {
    bool marked = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const bool letter = ('a' <= ch && ch <= 'z') || ('A' <= ch && ch <= 'Z');
        const bool degree = ch == 'd' || ch == 'D';
        if (letter && !isHemisphere(ch) && !degree) {
            return false;
        }
        const bool exponent = (ch == 'e' || ch == 'E') && i + 1 < text.size() &&
                              (isNumeric(text[i + 1]) || text[i + 1] == '+' || text[i + 1] == '-');
        if ((letter && !exponent) || ch == '\'' || ch == '"' || ch == ':' ||
            static_cast<unsigned char>(ch) >= 0x80) {
            marked = true;
        }
    }
    return marked;
}

// GeographicLib reads "49:15:0N" and "49°15'N" but not "49 15 0 N": blanks between
// two numbers become the colon that separates degrees, minutes and seconds, and
// other blanks go.
std::string joinDmsParts(std::string_view field) {
    std::string joined;
    for (const std::string_view part : splitBlanks(field)) {
        if (!joined.empty() && isNumeric(joined.back()) && isNumeric(part.front())) {
            joined += ':';
        }
        joined += part;
    }
    return joined;
}

// A DMS line with more than two blank-separated parts, split into its latitude and
// longitude by its hemisphere letters: after the first part that ends with one
// ("49 15 N 123 6 W"), or before the first later part that starts with one
// ("N49 15 W123 6").
std::optional<std::pair<std::string_view, std::string_view>>
splitByHemisphere(std::string_view line) {
    const std::vector<std::string_view> parts = splitBlanks(line);
    const auto rest = [&](std::size_t from) {
        const auto start = static_cast<std::size_t>(parts[from].data() - line.data());
        return line.substr(start);
    };
    const auto upTo = [&](std::size_t last) {
        const auto end =
            static_cast<std::size_t>(parts[last].data() - line.data()) + parts[last].size();
        return line.substr(0, end);
    };
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        if (isHemisphere(parts[i].back())) {
            return std::pair(upTo(i), rest(i + 1));
        }
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (isHemisphere(parts[i].front())) {
            return std::pair(upTo(i - 1), rest(i));
        }
    }
    return std::nullopt;
}

enum class Hemisphere { None, Latitude, Longitude };

struct Field {
    double value = 0;
    Hemisphere hemisphere = Hemisphere::None;
};

using FieldResult = std::variant<Field, std::string>;

FieldResult readField(const NumberReader& reader, std::string_view text, Box box) {
    const QString wide = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const auto number = reader.read(wide);
    if (const double* value = std::get_if<double>(&number)) {
        return Field{*value, Hemisphere::None};
    }
    if (!looksLikeDms(text)) {
        return describe(LookupFailure{box, std::get<ConversionError>(number), wide},
                        reader.locale())
            .toStdString();
    }
    std::string problem;
    try {
        GeographicLib::DMS::flag flag = GeographicLib::DMS::NONE;
        const double value = GeographicLib::DMS::Decode(joinDmsParts(text), flag);
        if (std::isfinite(value)) {
            return Field{value, flag == GeographicLib::DMS::LATITUDE    ? Hemisphere::Latitude
                                : flag == GeographicLib::DMS::LONGITUDE ? Hemisphere::Longitude
                                                                        : Hemisphere::None};
        }
        problem = "it is not a finite number";
    } catch (const GeographicLib::GeographicErr& error) {
        problem = error.what();
    }
    return QStringLiteral("Type mismatch: the %1 \"%2\" is not degrees-minutes-seconds (%3); "
                          "expected such as %4")
        .arg(boxName(box),
             shownText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))),
             QString::fromStdString(problem),
             box == Box::Latitude ? QStringLiteral("49°15'N or 49 15 0 N")
                                  : QStringLiteral("123°06'W or 123 6 0 W"))
        .toStdString();
}

std::string fieldCountError(std::size_t count) {
    return "expected a latitude and a longitude separated by blanks or a comma, found " +
           std::to_string(count) + (count == 1 ? " field" : " fields");
}

} // namespace

PointReader::PointReader(const QLocale& locale)
    : m_reader(locale), m_commaSeparates(locale.decimalPoint() != QStringLiteral(",")) {}

PointResult PointReader::readLine(std::string_view line) const {
    const std::string_view text = trimBlanks(line);
    const bool comma = text.find(',') != std::string_view::npos;
    const std::vector<std::string_view> fields =
        m_commaSeparates && comma ? splitAt(text, ',') : splitBlanks(text);
    if (fields.size() == 2) {
        return readPair(fields[0], fields[1]);
    }
    if (looksLikeDms(text)) {
        if (comma) {
            const std::vector<std::string_view> halves = splitAt(text, ',');
            if (halves.size() == 2) {
                return readPair(halves[0], halves[1]);
            }
        } else if (const auto halves = splitByHemisphere(text)) {
            return readPair(halves->first, halves->second);
        }
    }
    return fieldCountError(fields.size());
}

PointResult PointReader::readPair(std::string_view first, std::string_view second) const {
    const FieldResult a = readField(m_reader, trimBlanks(first), Box::Latitude);
    if (const auto* error = std::get_if<std::string>(&a)) {
        return *error;
    }
    const FieldResult b = readField(m_reader, trimBlanks(second), Box::Longitude);
    if (const auto* error = std::get_if<std::string>(&b)) {
        return *error;
    }
    const Field& latitude = std::get<Field>(a);
    const Field& longitude = std::get<Field>(b);
    if (latitude.hemisphere != Hemisphere::None && latitude.hemisphere == longitude.hemisphere) {
        return std::string("both fields are ") +
               (latitude.hemisphere == Hemisphere::Latitude ? "latitudes (N or S)"
                                                            : "longitudes (E or W)") +
               "; expected one latitude and one longitude";
    }
    if (latitude.hemisphere == Hemisphere::Longitude ||
        longitude.hemisphere == Hemisphere::Latitude) {
        return GeoPoint{longitude.value, latitude.value};
    }
    return GeoPoint{latitude.value, longitude.value};
}

} // namespace sheetfind
