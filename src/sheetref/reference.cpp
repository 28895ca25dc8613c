// SPDX-License-Identifier: MIT
#include "reference.h"

#include "nts_layout.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace sheetref {
namespace {

// Series numbers are written with three digits, sheet numbers with two.
constexpr std::size_t kSeriesDigits = 3;
constexpr std::size_t kSheetDigits = 2;
// The longest text, a sheet's, rounded up to a word.
constexpr std::size_t kTextCapacity = sizeof(std::uint64_t);

constexpr int kDecimal = 10;

bool letterIn(const layout::Zone& zone, char letter) {
    return zone.letters.find(letter) != std::string_view::npos;
}

} // namespace

std::string_view scaleName(Scale scale) {
    switch (scale) {
    case Scale::Series:
        return "1:1000000";
    case Scale::MapArea:
        return "1:250000";
    case Scale::Sheet:
        return "1:50000";
    }
    return {};
}

std::string_view scaleShortName(Scale scale) {
    switch (scale) {
    case Scale::Series:
        return "1m";
    case Scale::MapArea:
        return "250k";
    case Scale::Sheet:
        return "50k";
    }
    return {};
}

std::optional<Scale> scaleNamed(std::string_view name) {
    for (const Scale scale : {Scale::Series, Scale::MapArea, Scale::Sheet}) {
        if (name == scaleShortName(scale) || name == scaleName(scale)) {
            return scale;
        }
    }
    return std::nullopt;
}

std::string describeUnknownScale(std::string_view name) {
    return "unknown scale \"" + std::string(name) + "\"; expected 1m, 250k or 50k";
}

std::optional<Reference> Reference::series(int number) {
    if (layout::findSeries(number).zone == nullptr) {
        return std::nullopt;
    }
    return Reference(Scale::Series, number, '\0', 0);
}

std::optional<Reference> Reference::mapArea(int series, char letter) {
    const layout::SeriesPlace place = layout::findSeries(series);
    if (place.zone == nullptr || letter == '\0' || !letterIn(*place.zone, letter)) {
        return std::nullopt;
    }
    return Reference(Scale::MapArea, series, letter, 0);
}

std::optional<Reference> Reference::sheet(int series, char letter, int sheet) {
    if (!(layout::kFirstSheet <= sheet && sheet <= layout::kLastSheet)) {
        return std::nullopt;
    }
    const std::optional<Reference> area = mapArea(series, letter);
    if (!area) {
        return std::nullopt;
    }
    return Reference(Scale::Sheet, series, letter, sheet);
}

Reference Reference::at(Scale coarser) const {
    switch (coarser < scale() ? coarser : scale()) {
    case Scale::Series:
        return Reference(Scale::Series, seriesNumber(), '\0', 0);
    case Scale::MapArea:
        return Reference(Scale::MapArea, seriesNumber(), letter(), 0);
    case Scale::Sheet:
        break;
    }
    return *this;
}

std::string Reference::text() const {
    // The characters are gathered in one word and stored at once: written one by
    // one, they would reach whoever copies the text (memcpy reads in words) only
    // after the stores retire, which in a batch costs more than making them. A
    // sheet's six characters fit in the string's own buffer: naming a cell never
    // allocates.
    const int series = seriesNumber();
    const int sheet = sheetNumber();
    const std::array<char, kTextCapacity> characters{
        static_cast<char>('0' + series / (kDecimal * kDecimal)),
        static_cast<char>('0' + series / kDecimal % kDecimal),
        static_cast<char>('0' + series % kDecimal),
        letter(),
        static_cast<char>('0' + sheet / kDecimal),
        static_cast<char>('0' + sheet % kDecimal)};
    std::string text(kTextCapacity, '\0');
    const auto word = std::bit_cast<std::uint64_t>(characters);
    std::memcpy(text.data(), &word, sizeof word);
    text.resize(scale() == Scale::Sheet     ? kSeriesDigits + 1 + kSheetDigits
                : scale() == Scale::MapArea ? kSeriesDigits + 1
                                            : kSeriesDigits);
    return text;
}

std::ostream& operator<<(std::ostream& out, const Reference& reference) {
    return out << reference.text();
}

std::ostream& operator<<(std::ostream& out, Scale scale) {
    return out << scaleName(scale);
}

} // namespace sheetref
