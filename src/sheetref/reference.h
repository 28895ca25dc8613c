#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "lat_lon.h"

namespace sheetref {

// The three scales of the NTS: a series is cut into map areas, a map area into sheets.
enum class Scale : std::uint8_t {
    Series,  // 1:1 000 000, e.g. 092
    MapArea, // 1:250 000, e.g. 092G
    Sheet,   // 1:50 000, e.g. 092G06
};

// "1:1000000", "1:250000" or "1:50000".
std::string_view scaleName(Scale scale);

// A reference to one cell of the NTS grid: a series, a map area or a sheet.
//
// Only names that exist in the grid can be made: series 000 to 119 (column and row,
// see grid.h) and the high-Arctic series 120, 121, 340, 341, 560, 561, 780, 781 and
// 910; letters A-P in the southern series (rows 0-6) and A-H in the Arctic and
// high-Arctic ones; sheets 1-16.
//
// Canonical text: three-digit series, capital letter, two-digit sheet: "092",
// "092G", "092G06", "340D15".
class Reference {
public:
    static std::optional<Reference> series(int number);
    static std::optional<Reference> mapArea(int series, char letter);
    static std::optional<Reference> sheet(int series, char letter, int sheet);

    Scale scale() const { return m_scale; }
    int seriesNumber() const { return m_series; }
    // 'A' to 'P'; '\0' for a series.
    char letter() const { return m_letter; }
    // 1 to 16; 0 for a series or a map area.
    int sheetNumber() const { return m_sheet; }

    // The reference that contains this one at a scale no finer than its own: the map
    // area or series of a sheet, the series of a map area. A finer scale gives this
    // reference unchanged.
    Reference at(Scale coarser) const;

    std::string text() const;

    // Ordered by scale, then series number, letter and sheet number: for references
    // of one scale, the order of their canonical texts.
    friend auto operator<=>(const Reference&, const Reference&) = default;
    friend bool operator==(const Reference&, const Reference&) = default;

private:
    Reference(Scale scale, int series, char letter, int sheet)
        : m_scale(scale), m_series(static_cast<std::uint16_t>(series)), m_letter(letter),
          m_sheet(static_cast<std::uint8_t>(sheet)) {}

    // locate() names cells straight from the grid's tables, which only hold names
    // that exist; it skips the factories' checks because the window's lookup is hot.
    friend std::optional<Reference> locate(LatLon point, Scale scale);

    // Declared in this order so that the defaulted comparison orders as documented.
    Scale m_scale;
    std::uint16_t m_series;
    char m_letter;
    std::uint8_t m_sheet;
};

std::ostream& operator<<(std::ostream& out, const Reference& reference);
std::ostream& operator<<(std::ostream& out, Scale scale);

} // namespace sheetref
