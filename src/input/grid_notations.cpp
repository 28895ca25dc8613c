// SPDX-License-Identifier: MIT
#include "grid_notations.h"

#include "fields.h"

#include <GeographicLib/MGRS.hpp>
#include <GeographicLib/UTMUPS.hpp>

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace sheetfind {
namespace {

// No grid reference needs more; GeographicLib copies its input into its messages.
constexpr std::size_t kMaxGridTextLength = 64;

constexpr int kUpsZone = 0;
constexpr int kMaxUtmZone = 60;
constexpr std::size_t kMaxZoneDigits = 2;
// A UTM easting in a standard zone is 100 km or more; one of fewer than five digits
// is not taken for UTM when the notation is detected, so that "49 N 123 6" stays
// degrees and minutes. Given as UTM, it is GeographicLib's range that decides.
constexpr std::size_t kMinDetectedEastingDigits = 5;

// UTM latitude bands: 8° tall from 80°S, C to X without I and O, the last (X) 12°
// tall so that the bands reach 84°N. C to M are south of the equator, N to X north.
constexpr std::string_view kUtmBands = "CDEFGHJKLMNPQRSTUVWX";
constexpr std::size_t kFirstNorthernBand = 10; // N
constexpr double kSouthernmostBandEdge = -80;
constexpr double kBandHeight = 8;
constexpr double kBandXHeight = 12;
// GPS units round eastings and northings to the metre, so a point shown in its true
// band can come back up to a metre across the band's edge; 1e-4° is about 11 m.
constexpr double kBandSlackDegrees = 1e-4;

// UPS: A and B are the south polar zone, Y and Z the north; A and Y hold the western
// half (easting below the false easting), B and Z the eastern half.
constexpr double kUpsFalseEasting = 2000000;

// MGRS gives the easting then the northing with as many digits each, 5 for a metre.
constexpr std::size_t kMaxMgrsDigits = 10;
constexpr std::size_t kMgrsLetters = 3; // band and the two letters of the 100 km square

char upper(char ch) {
    return 'a' <= ch && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
}

bool isLetter(char ch) {
    return ('a' <= ch && ch <= 'z') || ('A' <= ch && ch <= 'Z');
}

bool isDigit(char ch) {
    return '0' <= ch && ch <= '9';
}

bool isSeparator(char ch) {
    return ch == ' ' || ch == '\t' || ch == ',';
}

bool isPolarBand(char letter) {
    const char ch = upper(letter);
    return ch == 'A' || ch == 'B' || ch == 'Y' || ch == 'Z';
}

bool allDigits(std::string_view text) {
    for (const char ch : text) {
        if (!isDigit(ch)) {
            return false;
        }
    }
    return !text.empty();
}

std::vector<std::string_view> tokens(std::string_view text) {
    std::vector<std::string_view> parts;
    forEachWord(text, isSeparator, [&](std::string_view part) { parts.push_back(part); });
    return parts;
}

std::string degreesText(double latitude) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(latitude),
                                      std::chars_format::fixed, 4);
    return std::string(buffer, result.ptr) + (latitude < 0 ? "°S" : "°N");
}

// ---- UTM and UPS

struct UtmParts {
    std::string_view zone; // digits, or empty
    char letter = 0;
    std::string_view easting;
    std::string_view northing;
};

// "10U 491213 5458885", "10 U 491213 5458885", "Z 2000000 2000000": the zone with its
// letter, or apart from it, then two numbers.
std::optional<UtmParts> splitUtm(std::string_view text) {
    const std::vector<std::string_view> parts = tokens(text);
    UtmParts utm;
    if (parts.size() == 4 && allDigits(parts[0]) && parts[1].size() == 1 && isLetter(parts[1][0])) {
        utm.zone = parts[0];
        utm.letter = parts[1][0];
    } else if (parts.size() == 3 && isLetter(parts[0].back()) &&
               (parts[0].size() == 1 || allDigits(parts[0].substr(0, parts[0].size() - 1)))) {
        utm.zone = parts[0].substr(0, parts[0].size() - 1);
        utm.letter = parts[0].back();
    } else {
        return std::nullopt;
    }
    utm.easting = parts[parts.size() - 2];
    utm.northing = parts.back();
    return utm;
}

struct MetresProblem {
    InputError error;
    std::string reason;
};

// Metres as GPS units write them: ASCII digits with an optional fraction, and
// optionally "m", or "mE" after the easting and "mN" after the northing.
std::variant<double, MetresProblem> metres(std::string_view text, char axis) {
    const std::string name = axis == 'E' ? "easting" : "northing";
    const InputError range = axis == 'E' ? InputError::UtmEasting : InputError::UtmNorthing;
    std::string_view number = text;
    const bool unitWithAxis =
        number.size() >= 2 && upper(number[number.size() - 2]) == 'M' && isLetter(number.back());
    if (unitWithAxis) {
        if (upper(number.back()) != axis) {
            return MetresProblem{InputError::NotUtm,
                                 "the " + name + " ends in " +
                                     std::string(number.substr(number.size() - 2)) +
                                     "; the easting comes first, then the northing"};
        }
        number.remove_suffix(2);
    } else if (!number.empty() && upper(number.back()) == 'M') {
        number.remove_suffix(1);
    }
    std::size_t digits = 0;
    std::size_t points = 0;
    for (const char ch : number) {
        digits += isDigit(ch) ? 1 : 0;
        points += ch == '.' ? 1 : 0;
    }
    if (digits == 0 || points > 1 || digits + points != number.size()) {
        return MetresProblem{InputError::NotUtm, "the " + name + " is not a number of metres"};
    }
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::fixed);
    if (result.ec != std::errc() || result.ptr != number.data() + number.size() ||
        !std::isfinite(value)) {
        return MetresProblem{range, "too large for a number"};
    }
    return value;
}

} // namespace

bool looksLikeUtm(std::string_view text) {
    const auto utm = splitUtm(text);
    // Without a zone only the polar bands: "N 49 15" is degrees and minutes.
    if (!utm || utm->zone.size() > kMaxZoneDigits + 1 ||
        (utm->zone.empty() && !isPolarBand(utm->letter)) || !isDigit(utm->northing.front())) {
        return false;
    }
    std::size_t eastingDigits = 0;
    while (eastingDigits < utm->easting.size() && isDigit(utm->easting[eastingDigits])) {
        ++eastingDigits;
    }
    return eastingDigits >= kMinDetectedEastingDigits;
}

bool laidOutAsUtm(std::string_view text) {
    const auto utm = splitUtm(text);
    return utm && !utm->zone.empty();
}

std::variant<LatLon, InputFailure> readUtm(std::string_view text) {
    const auto failure = [&](InputError error, std::string detail) {
        return InputFailure{
            .error = error, .field = Field::Point, .text = std::string(text), .detail = detail};
    };
    if (text.size() > kMaxGridTextLength) {
        return failure(InputError::NotUtm,
                       "longer than " + std::to_string(kMaxGridTextLength) + " bytes");
    }
    const auto utm = splitUtm(text);
    if (!utm) {
        return failure(InputError::NotUtm, "");
    }
    if (utm->zone.size() > kMaxZoneDigits) {
        return failure(InputError::UtmZone, "");
    }
    int zone = kUpsZone;
    if (!utm->zone.empty()) {
        std::from_chars(utm->zone.data(), utm->zone.data() + utm->zone.size(), zone);
    }
    if (zone > kMaxUtmZone) {
        return failure(InputError::UtmZone, "");
    }
    const char letter = upper(utm->letter);
    const bool ups = utm->zone.empty() || zone == kUpsZone;
    // N and S are hemisphere letters as well as the bands 0°-8°N and 32°-40°N. They are
    // read as hemispheres, as GeographicLib reads them: "10N 491213 5458885" is in the
    // northern hemisphere, "10S 491213 5458885" in the southern, whatever the latitude.
    const bool hemisphere = letter == 'N' || letter == 'S';
    const std::size_t band = kUtmBands.find(letter);
    bool north = false;
    if (hemisphere) {
        north = letter == 'N';
    } else if (isPolarBand(letter)) {
        if (!ups) {
            return failure(InputError::UtmBand, "A, B, Y and Z are the polar bands of UPS, "
                                                "written without a zone or with zone 0");
        }
        north = letter == 'Y' || letter == 'Z';
    } else if (band != std::string_view::npos) {
        if (ups) {
            return failure(InputError::UtmBand, "UPS, without a zone or with zone 0, takes the "
                                                "bands A, B, Y and Z");
        }
        north = band >= kFirstNorthernBand;
    } else {
        return failure(InputError::UtmBand, "");
    }

    const auto easting = metres(utm->easting, 'E');
    if (const auto* problem = std::get_if<MetresProblem>(&easting)) {
        return failure(problem->error, problem->reason);
    }
    const auto northing = metres(utm->northing, 'N');
    if (const auto* problem = std::get_if<MetresProblem>(&northing)) {
        return failure(problem->error, problem->reason);
    }
    const double x = std::get<double>(easting);
    const double y = std::get<double>(northing);

    // GeographicLib checks the ranges (generously, with 100 km to spare beyond each
    // zone) and says which number is out; its message is the detail.
    double latitude = 0;
    double longitude = 0;
    try {
        GeographicLib::UTMUPS::Reverse(zone, north, x, y, latitude, longitude);
    } catch (const GeographicLib::GeographicErr& error) {
        const std::string reason = error.what();
        const InputError kind = reason.starts_with("Easting")    ? InputError::UtmEasting
                                : reason.starts_with("Northing") ? InputError::UtmNorthing
                                                                 : InputError::NotUtm;
        return failure(kind, reason);
    }
    if (!std::isfinite(latitude) || !std::isfinite(longitude)) {
        return failure(InputError::NotUtm, "it is not a point");
    }

    if (isPolarBand(letter)) {
        const bool western = letter == 'A' || letter == 'Y';
        if (western != (x < kUpsFalseEasting)) {
            return failure(InputError::UtmBandMismatch,
                           std::string("band ") + letter + " is the " +
                               (western ? "western half, eastings below 2000000 m"
                                        : "eastern half, eastings from 2000000 m"));
        }
    } else if (!hemisphere) {
        const double south = kSouthernmostBandEdge + kBandHeight * static_cast<double>(band);
        const double height = band + 1 == kUtmBands.size() ? kBandXHeight : kBandHeight;
        const double northEdge = south + height;
        if (!(south - kBandSlackDegrees <= latitude && latitude <= northEdge + kBandSlackDegrees)) {
            return failure(InputError::UtmBandMismatch,
                           std::string("band ") + letter + " is " + degreesText(south) + " to " +
                               degreesText(northEdge) + ", the point is at " +
                               degreesText(latitude));
        }
    }
    return LatLon{.latitude = latitude, .longitude = longitude};
}

// ---- MGRS

namespace {

struct MgrsParts {
    std::string compact; // the reference without its blanks, as GeographicLib reads it
    std::string_view zone;
    std::string_view letters;
    std::string_view digits;
};

// "10UDV9121358885", "10U DV 91213 58885": blanks may separate the zone, the band, the
// square and the easting from the northing, and nothing else, so that "1 0UDV" or
// "10U DV 912 1358885" are not quietly run together.
std::variant<MgrsParts, InputFailure> splitMgrs(std::string_view text) {
    const auto failure = [&](InputError error, std::string detail, std::size_t count = 0) {
        return InputFailure{.error = error,
                            .field = Field::Point,
                            .text = std::string(text),
                            .detail = std::move(detail),
                            .count = count};
    };
    if (text.size() > kMaxGridTextLength) {
        return failure(InputError::NotMgrs,
                       "longer than " + std::to_string(kMaxGridTextLength) + " bytes");
    }
    MgrsParts mgrs;
    std::vector<std::size_t> breaks; // where blanks were, as offsets into compact
    for (const std::string_view part : tokens(text)) {
        if (!mgrs.compact.empty()) {
            breaks.push_back(mgrs.compact.size());
        }
        mgrs.compact += part;
    }
    const std::string_view all = mgrs.compact;
    std::size_t at = 0;
    while (at < all.size() && isDigit(all[at])) {
        ++at;
    }
    mgrs.zone = all.substr(0, at);
    const std::size_t lettersAt = at;
    while (at < all.size() && isLetter(all[at])) {
        ++at;
    }
    mgrs.letters = all.substr(lettersAt, at - lettersAt);
    const std::size_t digitsAt = at;
    while (at < all.size() && isDigit(all[at])) {
        ++at;
    }
    mgrs.digits = all.substr(digitsAt, at - digitsAt);
    if (at != all.size() || mgrs.letters.empty()) {
        return failure(InputError::NotMgrs,
                       "expected a zone, a band letter, two letters for the 100 km square and "
                       "digits");
    }
    if (mgrs.zone.size() > kMaxZoneDigits) {
        return failure(InputError::MgrsZone, "");
    }
    int zone = kUpsZone;
    std::from_chars(mgrs.zone.data(), mgrs.zone.data() + mgrs.zone.size(), zone);
    if (!mgrs.zone.empty() && !(1 <= zone && zone <= kMaxUtmZone)) {
        return failure(InputError::MgrsZone, "");
    }
    const char band = upper(mgrs.letters.front());
    if (mgrs.zone.empty() ? !isPolarBand(band) : kUtmBands.find(band) == std::string_view::npos) {
        return failure(InputError::MgrsBand, std::string("band ") + mgrs.letters.front());
    }
    if (mgrs.letters.size() == 1 && mgrs.digits.empty()) {
        return failure(InputError::NotMgrs,
                       "a grid zone alone is 6° by 8°; give the 100 km square too, such as 10UDV");
    }
    if (mgrs.letters.size() != kMgrsLetters) {
        return failure(InputError::NotMgrs, "expected two letters for the 100 km square after "
                                            "the band");
    }
    if (mgrs.digits.size() % 2 != 0 || mgrs.digits.size() > kMaxMgrsDigits) {
        return failure(InputError::MgrsDigits, "", mgrs.digits.size());
    }
    const std::size_t squareAt = lettersAt + 1;
    const std::size_t northingAt = digitsAt + mgrs.digits.size() / 2;
    for (const std::size_t where : breaks) {
        const bool allowed = where == lettersAt || where == squareAt || where == digitsAt ||
                             (where == northingAt && !mgrs.digits.empty());
        if (!allowed) {
            return failure(InputError::NotMgrs,
                           "blanks may only separate the zone and band, the square, the "
                           "easting and the northing, which have as many digits each");
        }
    }
    return mgrs;
}

} // namespace

bool looksLikeMgrs(std::string_view text) {
    // The shape only: digits for the zone (or none, for the polar bands), three
    // letters, digits. Blanks may fall anywhere; the reader checks where they are.
    std::string compact;
    for (const std::string_view part : tokens(text)) {
        compact += part;
    }
    std::size_t at = 0;
    while (at < compact.size() && isDigit(compact[at])) {
        ++at;
    }
    const std::size_t zoneDigits = at;
    const std::size_t lettersAt = at;
    while (at < compact.size() && isLetter(compact[at])) {
        ++at;
    }
    if (at - lettersAt != kMgrsLetters || zoneDigits > kMaxZoneDigits + 1 ||
        (zoneDigits == 0 && !isPolarBand(compact[lettersAt]))) {
        return false;
    }
    while (at < compact.size() && isDigit(compact[at])) {
        ++at;
    }
    return at == compact.size();
}

std::variant<LatLon, InputFailure> readMgrs(std::string_view text) {
    auto split = splitMgrs(text);
    if (auto* failure = std::get_if<InputFailure>(&split)) {
        return std::move(*failure);
    }
    const MgrsParts& mgrs = std::get<MgrsParts>(split);
    const auto failure = [&](std::string detail) {
        return InputFailure{.error = InputError::NotMgrs,
                            .field = Field::Point,
                            .text = std::string(text),
                            .detail = std::move(detail)};
    };
    int zone = kUpsZone;
    bool north = false;
    double x = 0;
    double y = 0;
    int precision = 0;
    double latitude = 0;
    double longitude = 0;
    try {
        // The centre of the square: the point a reference at this precision stands for,
        // and the one that converts back to the same reference.
        GeographicLib::MGRS::Reverse(mgrs.compact, zone, north, x, y, precision, true);
        GeographicLib::UTMUPS::Reverse(zone, north, x, y, latitude, longitude);
    } catch (const GeographicLib::GeographicErr& error) {
        return failure(error.what());
    }
    if (!std::isfinite(latitude) || !std::isfinite(longitude)) {
        return failure("it is not a point");
    }
    return LatLon{.latitude = latitude, .longitude = longitude};
}

} // namespace sheetfind
