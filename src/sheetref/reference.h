// SPDX-License-Identifier: MIT
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

// The short name users type: "1m", "250k" or "50k".
std::string_view scaleShortName(Scale scale);

// The scale a user names, by its ratio or its short name: "1m" or "1:1000000",
// "250k" or "1:250000", "50k" or "1:50000"; nullopt for anything else.
std::optional<Scale> scaleNamed(std::string_view name);

// Why scaleNamed gave nullopt for `name`, as every face reports it, e.g.
//   unknown scale "25k"; expected 1m, 250k or 50k
std::string describeUnknownScale(std::string_view name);

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

    Scale scale() const { return static_cast<Scale>(field(kScaleShift, kScaleBits)); }
    int seriesNumber() const { return static_cast<int>(field(kSeriesShift, kSeriesBits)); }
    // 'A' to 'P'; '\0' for a series.
    char letter() const { return static_cast<char>(field(kLetterShift, kLetterBits)); }
    // 1 to 16; 0 for a series or a map area.
    int sheetNumber() const { return static_cast<int>(field(kSheetShift, kSheetBits)); }

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
        : m_code(static_cast<std::uint64_t>(scale) << kScaleShift |
                 static_cast<std::uint64_t>(series) << kSeriesShift |
                 static_cast<std::uint64_t>(static_cast<unsigned char>(letter)) << kLetterShift |
                 static_cast<std::uint64_t>(sheet) << kSheetShift) {}

    // locate() names cells straight from the grid's tables, which only hold names
    // that exist; it skips the factories' checks because the window's lookup is hot.
    friend std::optional<Reference> locate(LatLon point, Scale scale);

    // The four parts packed in one word, scale first, so that comparing words
    // orders as documented. One word also travels in one register: an optional
    // Reference comes back from locate without passing through memory, where its
    // parts, stored one by one, would hold up whoever reads them as a whole.
    static constexpr unsigned kSheetShift = 0;
    static constexpr unsigned kSheetBits = 8;
    static constexpr unsigned kLetterShift = kSheetShift + kSheetBits;
    static constexpr unsigned kLetterBits = 8;
    static constexpr unsigned kSeriesShift = kLetterShift + kLetterBits;
    static constexpr unsigned kSeriesBits = 16;
    static constexpr unsigned kScaleShift = kSeriesShift + kSeriesBits;
    static constexpr unsigned kScaleBits = 8;

    std::uint64_t field(unsigned shift, unsigned bits) const {
        return m_code >> shift & ((std::uint64_t{1} << bits) - 1);
    }

    std::uint64_t m_code;
};

std::ostream& operator<<(std::ostream& out, const Reference& reference);
std::ostream& operator<<(std::ostream& out, Scale scale);

} // namespace sheetref
