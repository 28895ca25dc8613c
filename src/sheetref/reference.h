// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "lat_lon.h"

namespace sheetref {

// The three scales of the NTS: a series is cut into map areas, a map area into sheets.
// Then the four of the BC Geographic System (BCGS), which cuts the map areas of BC's
// series (082, 083, 092, 093, 094, 102, 103, 104, 114) on its own: 10 x 10 cells at
// 1:20 000, each quartered at every finer scale.
enum class Scale : std::uint8_t {
    Series,   // 1:1 000 000, e.g. 092
    MapArea,  // 1:250 000, e.g. 092G
    Sheet,    // 1:50 000, e.g. 092G06
    Bcgs20k,  // 1:20 000, 6' x 12', e.g. 092G025
    Bcgs10k,  // 1:10 000, 3' x 6', e.g. 092G0253
    Bcgs5k,   // 1:5 000, 1'30" x 3', e.g. 092G02532
    Bcgs2500, // 1:2 500, 45" x 1'30", e.g. 092G025322
    // BC's petroleum and natural gas grid cuts each 1:50 000 sheet of BC's series, on
    // the NAD27 graticule: 12 blocks, 100 units a block, 4 quarter units a unit.
    PngBlock,       // 5' x 7.5', e.g. H/094-A-15
    PngUnit,        // 30" x 45", e.g. 096-H/094-A-15
    PngQuarterUnit, // 15" x 22.5", e.g. d-096-H/094-A-15
};

// Every scale, the NTS's from the coarsest, then the BCGS's, then the PNG grid's.
inline constexpr std::array<Scale, 10> kScales = {
    Scale::Series, Scale::MapArea,  Scale::Sheet,    Scale::Bcgs20k, Scale::Bcgs10k,
    Scale::Bcgs5k, Scale::Bcgs2500, Scale::PngBlock, Scale::PngUnit, Scale::PngQuarterUnit};

// Whether the scale is one of the BCGS's.
constexpr bool isBcgs(Scale scale) {
    return Scale::Bcgs20k <= scale && scale <= Scale::Bcgs2500;
}

// Whether the scale is one of the petroleum and natural gas grid's.
constexpr bool isPng(Scale scale) {
    return scale >= Scale::PngBlock;
}

// The petroleum and natural gas grid's three levels, coarsest first.
inline constexpr std::array<Scale, 3> kPngScales = {Scale::PngBlock, Scale::PngUnit,
                                                    Scale::PngQuarterUnit};

// Whether every cell at `fine` lies within one cell at `coarse`: a scale nests in itself
// and in every coarser scale of its own chain, series > map area > sheet > PNG block >
// unit > quarter unit and series > map area > 1:20 000 > 1:10 000 > 1:5 000 > 1:2 500.
// The BCGS rows of 6' and the NTS sheets of 15' do not nest in each other:
// nests(Bcgs20k, Sheet) and nests(Sheet, Bcgs20k) are both false.
constexpr bool nests(Scale fine, Scale coarse) {
    if (fine < coarse) {
        return false;
    }
    if (coarse <= Scale::MapArea) {
        return true;
    }
    if (coarse == Scale::Sheet) {
        return fine == Scale::Sheet || isPng(fine);
    }
    return isBcgs(coarse) == isBcgs(fine);
}

// "1:1000000", "1:250000", "1:50000", "1:20000", "1:10000", "1:5000", "1:2500", or
// "PNG block", "PNG unit" and "PNG quarter unit".
std::string_view scaleName(Scale scale);

// The short name users type: "1m", "250k", "50k", "20k", "10k", "5k", "2500",
// "png-block", "png-unit" or "png".
std::string_view scaleShortName(Scale scale);

// The scale a user names, by its ratio or its short name: "1m" or "1:1000000",
// "250k" or "1:250000", "50k" or "1:50000", "20k" or "1:20000", "10k" or "1:10000",
// "5k" or "1:5000", "2500" or "1:2500", "png-block", "png-unit", "png"; nullopt for
// anything else.
std::optional<Scale> scaleNamed(std::string_view name);

// Why scaleNamed gave nullopt for `name`, as every face reports it, e.g.
//   unknown scale "25k"; expected 1m, 250k, 50k, 20k, 10k, 5k, 2500, png-block,
//   png-unit or png
std::string describeUnknownScale(std::string_view name);

// A reference to one cell of the NTS grid (a series, a map area or a sheet), of the
// BCGS (a cell at 1:20 000, 1:10 000, 1:5 000 or 1:2 500) or of the petroleum and
// natural gas grid (a block, a unit or a quarter unit).
//
// Only names that exist in the grid can be made: series 000 to 119 (column and row,
// see grid.h) and the high-Arctic series 120, 121, 340, 341, 560, 561, 780, 781 and
// 910; letters A-P in the southern series (rows 0-6) and A-H in the Arctic and
// high-Arctic ones; sheets 1-16. BCGS cells only in the map areas of BC's series, with
// numbers 1-100 and quarter digits 1-4.
//
// Canonical text: three-digit series, capital letter, two-digit sheet: "092",
// "092G", "092G06", "340D15"; for the BCGS, the map area, a three-digit number and one
// digit per quarter: "092G025", "092G0253", "092G02534", "092G025342"; for the petroleum
// and natural gas grid, the quarter unit, the unit in three digits, the block and the
// sheet with dashes: "d-096-H/094-A-15", "096-H/094-A-15", "H/094-A-15".
class Reference {
public:
    static std::optional<Reference> series(int number);
    static std::optional<Reference> mapArea(int series, char letter);
    static std::optional<Reference> sheet(int series, char letter, int sheet);
    // The 1:20 000 cell `number` (1 to 100) of a map area of BC's series, where BC drew
    // it: nullopt for a cell wholly in a neighbouring province, territory or state.
    static std::optional<Reference> bcgs(int series, char letter, int number);

    // The quarter of this BCGS cell one scale finer: digit 1 the south-west, 2 the
    // south-east, 3 the north-west, 4 the north-east one. nullopt for any other digit, for
    // an NTS cell and for a 1:2 500 cell, which is not cut further.
    // Example: bcgs(92, 'G', 25)->quarter(3)->quarter(2)->text() == "092G02532".
    std::optional<Reference> quarter(int digit) const;

    // The block 'A' to 'L' of a 1:50 000 sheet of BC's series in the petroleum and
    // natural gas grid, where BC is; then one of its units 1 to 100, and one of a
    // unit's quarter units 'a' (south-east), 'b' (south-west), 'c' (north-west) or 'd'
    // (north-east). nullopt for anything else. Example:
    // pngBlock(94, 'A', 15, 'H')->pngUnit(96)->pngQuarterUnit('d')->text() ==
    // "d-096-H/094-A-15".
    static std::optional<Reference> pngBlock(int series, char letter, int sheet, char block);
    std::optional<Reference> pngUnit(int unit) const;
    std::optional<Reference> pngQuarterUnit(char quarter) const;

    Scale scale() const { return static_cast<Scale>(field(kScaleShift, kScaleBits)); }
    int seriesNumber() const { return static_cast<int>(field(kSeriesShift, kSeriesBits)); }
    // 'A' to 'P'; '\0' for a series.
    char letter() const { return static_cast<char>(field(kLetterShift, kLetterBits)); }
    // 1 to 16; 0 for any other scale.
    int sheetNumber() const { return static_cast<int>(field(kSheetShift, kSheetBits)); }
    // 1 to 100 for a BCGS cell; 0 for any other.
    int bcgsNumber() const {
        return isBcgs(scale()) ? static_cast<int>(field(kBcgsShift, kBcgsBits)) : 0;
    }
    // For a cell of the petroleum and natural gas grid: its block 'A' to 'L', its unit
    // 1 to 100 and its quarter unit 'a' to 'd', where its scale has them; '\0' or 0
    // where it does not.
    char pngBlockLetter() const;
    int pngUnitNumber() const;
    char pngQuarterLetter() const;
    // The quarter digit (1 to 4) that the cut `index` chose: index 0 for the cut down to
    // 1:10 000, 1 to 1:5 000, 2 to 1:2 500. 0 for a cut finer than the reference's scale
    // or an index outside [0, 2].
    int quarterDigit(int index) const;

    // The cell at `coarser` that holds this one, when nests(scale(), coarser): the map
    // area or series of a sheet, the 1:20 000 cell of a 1:5 000 one, the reference itself
    // at its own scale. Otherwise nullopt: no single cell at that scale holds it, as for a
    // BCGS cell at Scale::Sheet, a sheet at Scale::Bcgs20k, or a series at any finer scale.
    std::optional<Reference> at(Scale coarser) const;

    std::string text() const;

    // The most characters writeText writes: the text of a quarter unit,
    // "d-096-H/094-A-15".
    static constexpr std::size_t kMaxTextLength = 16;
    // The canonical text written at the start of `out`, without a string; returns its
    // length. A batch writes its answers this way, straight into its output. Bytes of
    // `out` past the text may be overwritten.
    std::size_t writeText(std::span<char, kMaxTextLength> out) const;

    // Ordered by scale, then series number, letter, sheet number, BCGS number and quarter
    // digits: for references of one scale, the order of their canonical texts. Cells
    // of the petroleum and natural gas grid go by sheet, block, unit and quarter unit.
    friend auto operator<=>(const Reference&, const Reference&) = default;
    friend bool operator==(const Reference&, const Reference&) = default;

private:
    Reference(Scale scale, int series, char letter, int sheet, int bcgs = 0, int quarters = 0)
        : m_code(static_cast<std::uint64_t>(scale) << kScaleShift |
                 static_cast<std::uint64_t>(series) << kSeriesShift |
                 static_cast<std::uint64_t>(static_cast<unsigned char>(letter)) << kLetterShift |
                 static_cast<std::uint64_t>(sheet) << kSheetShift |
                 static_cast<std::uint64_t>(bcgs) << kBcgsShift |
                 static_cast<std::uint64_t>(quarters) << kQuartersShift) {}

    // locate() names cells straight from the grid's tables, which only hold names
    // that exist; it skips the factories' checks because the window's lookup is hot.
    friend std::optional<Reference> locate(LatLon point, Scale scale);

    // The parts packed in one word, scale first, so that comparing words orders as
    // documented. One word also travels in one register: an optional Reference comes
    // back from locate without passing through memory, where its parts, stored one by
    // one, would hold up whoever reads them as a whole.
    //
    // The quarter digits take four bits each, the first cut in the highest, so that
    // they compare as the digits of the text do; cuts the scale does not make are 0.
    // A cell of the petroleum and natural gas grid keeps its block (1 to 12) where a
    // BCGS cell keeps its number, and its unit and quarter unit (1 to 4) in the
    // quarters' bits, the unit above the quarter unit.
    static constexpr unsigned kQuarterBits = 4;
    static constexpr unsigned kQuartersShift = 0;
    static constexpr unsigned kQuartersBits = 3 * kQuarterBits;
    static constexpr unsigned kBcgsShift = kQuartersShift + kQuartersBits;
    static constexpr unsigned kBcgsBits = 8;
    static constexpr unsigned kSheetShift = kBcgsShift + kBcgsBits;
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
