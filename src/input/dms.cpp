#include "dms.h"

#include "fields.h"

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/DMS.hpp>

#include <cmath>
#include <string>

namespace sheetfind {
namespace {

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

// GeographicLib reads "49:15:0N" and "49°15'N" but not "49 15 0 N": blanks between
// two numbers become the colon that separates degrees, minutes and seconds, and
// other blanks go.
std::string joinDmsParts(std::string_view field) {
    std::string joined;
    for (std::size_t at = 0; at < field.size();) {
        if (isBlank(field[at])) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < field.size() && !isBlank(field[end])) {
            ++end;
        }
        const std::string_view part = field.substr(at, end - at);
        if (!joined.empty() && isNumeric(joined.back()) && isNumeric(part.front())) {
            joined += ':';
        }
        joined += part;
        at = end;
    }
    return joined;
}

} // namespace

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

std::variant<DmsAngle, InputFailure> decodeDms(std::string_view text, Field field) {
    std::string problem;
    try {
        GeographicLib::DMS::flag flag = GeographicLib::DMS::NONE;
        const double value = GeographicLib::DMS::Decode(joinDmsParts(text), flag);
        if (std::isfinite(value)) {
            return DmsAngle{value, flag == GeographicLib::DMS::LATITUDE    ? Axis::Latitude
                                   : flag == GeographicLib::DMS::LONGITUDE ? Axis::Longitude
                                                                           : Axis::None};
        }
        problem = "it is not a finite number";
    } catch (const GeographicLib::GeographicErr& error) {
        problem = error.what();
    }
    return InputFailure{
        .error = InputError::NotDms, .field = field, .text = std::string(text), .detail = problem};
}

} // namespace sheetfind
