#include "reference.h"

#include "nts_layout.h"

#include <array>

namespace sheetref {
namespace {

// Series numbers are written with three digits, sheet numbers with two.
constexpr std::size_t kSeriesDigits = 3;
constexpr std::size_t kSheetDigits = 2;

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
    switch (coarser < m_scale ? coarser : m_scale) {
    case Scale::Series:
        return Reference(Scale::Series, m_series, '\0', 0);
    case Scale::MapArea:
        return Reference(Scale::MapArea, m_series, m_letter, 0);
    case Scale::Sheet:
        break;
    }
    return *this;
}

std::string Reference::text() const {
    // Built in place and copied once: a sheet's six characters fit in the string's
    // own buffer, so naming a cell never allocates.
    std::array<char, kSeriesDigits + 1 + kSheetDigits> text{};
    text[0] = static_cast<char>('0' + m_series / (kDecimal * kDecimal));
    text[1] = static_cast<char>('0' + m_series / kDecimal % kDecimal);
    text[2] = static_cast<char>('0' + m_series % kDecimal);
    text[3] = m_letter;
    text[4] = static_cast<char>('0' + m_sheet / kDecimal);
    text[5] = static_cast<char>('0' + m_sheet % kDecimal);
    const std::size_t length = m_scale == Scale::Sheet     ? text.size()
                               : m_scale == Scale::MapArea ? kSeriesDigits + 1
                                                           : kSeriesDigits;
    return std::string(text.data(), length);
}

std::ostream& operator<<(std::ostream& out, const Reference& reference) {
    return out << reference.text();
}

std::ostream& operator<<(std::ostream& out, Scale scale) {
    return out << scaleName(scale);
}

} // namespace sheetref
