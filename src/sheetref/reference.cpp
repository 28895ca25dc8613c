// SPDX-License-Identifier: MIT
#include "reference.h"

#include "bcgs_layout.h"
#include "nts_layout.h"
#include "png_layout.h"
#include "quote.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace sheetref {
namespace {

// Series numbers are written with three digits, sheet numbers with two (BCGS numbers
// with three and each quarter digit with one).
constexpr std::size_t kSeriesDigits = 3;
constexpr std::size_t kSheetDigits = 2;
// An NTS text, whose longest is a sheet's, is stored as one word.
constexpr std::size_t kWordLength = sizeof(std::uint64_t);
static_assert(kWordLength <= Reference::kMaxTextLength);

constexpr int kDecimal = 10;
constexpr unsigned kHundred = 100;
// "00", "01" ... "99", one after the other.
constexpr std::array<char, 2 * kHundred> kDigitPairs = [] {
    std::array<char, 2 * kHundred> pairs{};
    for (unsigned i = 0; i < kHundred; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / kDecimal);
        pairs[2 * i + 1] = static_cast<char>('0' + i % kDecimal);
    }
    return pairs;
}();

bool letterIn(const layout::Zone& zone, char letter) {
    return zone.letters.find(letter) != std::string_view::npos;
}

// A number of 0 to 999 in three digits.
void putThreeDigits(std::span<char, 3> out, int number) {
    out[0] = static_cast<char>('0' + number / (kDecimal * kDecimal));
    out[1] = static_cast<char>('0' + number / kDecimal % kDecimal);
    out[2] = static_cast<char>('0' + number % kDecimal);
}

// How many quarter digits a BCGS scale adds to its 1:20 000 number.
int quarterCount(Scale scale) {
    return isBcgs(scale) ? static_cast<int>(scale) - static_cast<int>(Scale::Bcgs20k) : 0;
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
    case Scale::Bcgs20k:
        return "1:20000";
    case Scale::Bcgs10k:
        return "1:10000";
    case Scale::Bcgs5k:
        return "1:5000";
    case Scale::Bcgs2500:
        return "1:2500";
    case Scale::PngBlock:
        return "PNG block";
    case Scale::PngUnit:
        return "PNG unit";
    case Scale::PngQuarterUnit:
        return "PNG quarter unit";
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
    case Scale::Bcgs20k:
        return "20k";
    case Scale::Bcgs10k:
        return "10k";
    case Scale::Bcgs5k:
        return "5k";
    case Scale::Bcgs2500:
        return "2500";
    case Scale::PngBlock:
        return "png-block";
    case Scale::PngUnit:
        return "png-unit";
    case Scale::PngQuarterUnit:
        return "png";
    }
    return {};
}

std::optional<Scale> scaleNamed(std::string_view name) {
    for (const Scale scale : kScales) {
        if (name == scaleShortName(scale) || name == scaleName(scale)) {
            return scale;
        }
    }
    return std::nullopt;
}

std::string describeUnknownScale(std::string_view name) {
    std::vector<std::string> expected;
    for (const Scale scale : kScales) {
        expected.emplace_back(scaleShortName(scale));
    }
    return "unknown scale \"" + std::string(name) + "\"; expected " + listOfChoices(expected);
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

std::optional<Reference> Reference::bcgs(int series, char letter, int number) {
    if (!layout::isInBc(series, letter, number) || !mapArea(series, letter)) {
        return std::nullopt;
    }
    return Reference(Scale::Bcgs20k, series, letter, 0, number);
}

std::optional<Reference> Reference::quarter(int digit) const {
    if (!isBcgs(scale()) || scale() == Scale::Bcgs2500 ||
        !(layout::kFirstQuarterDigit <= digit && digit <= layout::kLastQuarterDigit)) {
        return std::nullopt;
    }
    const int cut = quarterCount(scale());
    const auto quarters =
        static_cast<int>(field(kQuartersShift, kQuartersBits)) |
        digit << (kQuarterBits * static_cast<unsigned>(layout::kQuarterLevels - 1 - cut));
    return Reference(static_cast<Scale>(static_cast<int>(scale()) + 1), seriesNumber(), letter(), 0,
                     bcgsNumber(), quarters);
}

std::optional<Reference> Reference::pngBlock(int series, char letter, int sheet, char block) {
    if (!layout::isPngBlockInBc(series, letter, sheet, block)) {
        return std::nullopt;
    }
    return Reference(Scale::PngBlock, series, letter, sheet, block - layout::kFirstPngBlock + 1);
}

std::optional<Reference> Reference::pngUnit(int unit) const {
    if (scale() != Scale::PngBlock ||
        !(layout::kFirstPngUnit <= unit && unit <= layout::kLastPngUnit)) {
        return std::nullopt;
    }
    return Reference(Scale::PngUnit, seriesNumber(), letter(), sheetNumber(),
                     static_cast<int>(field(kBcgsShift, kBcgsBits)), unit << kQuarterBits);
}

std::optional<Reference> Reference::pngQuarterUnit(char quarter) const {
    if (scale() != Scale::PngUnit ||
        !(layout::kFirstPngQuarter <= quarter && quarter <= layout::kLastPngQuarter)) {
        return std::nullopt;
    }
    return Reference(Scale::PngQuarterUnit, seriesNumber(), letter(), sheetNumber(),
                     static_cast<int>(field(kBcgsShift, kBcgsBits)),
                     pngUnitNumber() << kQuarterBits | (quarter - layout::kFirstPngQuarter + 1));
}

char Reference::pngBlockLetter() const {
    return isPng(scale()) ? static_cast<char>(layout::kFirstPngBlock - 1 +
                                              static_cast<int>(field(kBcgsShift, kBcgsBits)))
                          : '\0';
}

int Reference::pngUnitNumber() const {
    return scale() == Scale::PngUnit || scale() == Scale::PngQuarterUnit
               ? static_cast<int>(
                     field(kQuartersShift + kQuarterBits, kQuartersBits - kQuarterBits))
               : 0;
}

char Reference::pngQuarterLetter() const {
    return scale() == Scale::PngQuarterUnit
               ? static_cast<char>(layout::kFirstPngQuarter - 1 +
                                   static_cast<int>(field(kQuartersShift, kQuarterBits)))
               : '\0';
}

int Reference::quarterDigit(int index) const {
    if (!(0 <= index && index < quarterCount(scale()))) {
        return 0;
    }
    const auto shift =
        kQuartersShift + kQuarterBits * static_cast<unsigned>(layout::kQuarterLevels - 1 - index);
    return static_cast<int>(field(shift, kQuarterBits));
}

std::optional<Reference> Reference::at(Scale coarser) const {
    if (!nests(scale(), coarser)) {
        return std::nullopt;
    }
    switch (coarser) {
    case Scale::Series:
        return Reference(Scale::Series, seriesNumber(), '\0', 0);
    case Scale::MapArea:
        return Reference(Scale::MapArea, seriesNumber(), letter(), 0);
    case Scale::Sheet:
        return Reference(Scale::Sheet, seriesNumber(), letter(), sheetNumber());
    case Scale::Bcgs2500:
    case Scale::PngQuarterUnit:
        return *this;
    case Scale::PngBlock:
        return Reference(Scale::PngBlock, seriesNumber(), letter(), sheetNumber(),
                         static_cast<int>(field(kBcgsShift, kBcgsBits)));
    case Scale::PngUnit:
        return Reference(Scale::PngUnit, seriesNumber(), letter(), sheetNumber(),
                         static_cast<int>(field(kBcgsShift, kBcgsBits)),
                         pngUnitNumber() << kQuarterBits);
    case Scale::Bcgs20k:
    case Scale::Bcgs10k:
    case Scale::Bcgs5k:
        break;
    }
    // Keep the digits of the cuts down to `coarser`, clear the finer ones.
    const unsigned cleared =
        kQuarterBits * static_cast<unsigned>(layout::kQuarterLevels - quarterCount(coarser));
    const auto quarters =
        static_cast<int>(field(kQuartersShift, kQuartersBits) >> cleared << cleared);
    return Reference(coarser, seriesNumber(), letter(), 0, bcgsNumber(), quarters);
}

namespace {

// The texts of the BCGS and of the petroleum and natural gas grid are written out of
// line: inlined, they would make writing an NTS text, the batch's, save and restore
// the registers that they need.

// The text of a cell of the petroleum and natural gas grid, "d-096-H/094-A-15": the
// quarter unit, the unit, the block, then the sheet.
[[gnu::noinline]] std::size_t writePngText(const Reference& cell,
                                           std::span<char, Reference::kMaxTextLength> out) {
    std::size_t size = 0;
    const auto put = [&](char ch) { out[size++] = ch; };
    if (cell.scale() == Scale::PngQuarterUnit) {
        put(cell.pngQuarterLetter());
        put('-');
    }
    if (cell.scale() != Scale::PngBlock) {
        putThreeDigits(out.subspan(size).first<3>(), cell.pngUnitNumber());
        size += 3;
        put('-');
    }
    std::array<char, Reference::kMaxTextLength> sheet{};
    cell.at(Scale::Sheet)->writeText(sheet);
    put(cell.pngBlockLetter());
    put('/');
    for (std::size_t i = 0; i < kSeriesDigits; ++i) {
        put(sheet[i]);
    }
    put('-');
    put(sheet[kSeriesDigits]);
    put('-');
    for (std::size_t i = 0; i < kSheetDigits; ++i) {
        put(sheet[kSeriesDigits + 1 + i]);
    }
    return size;
}

// The text of a BCGS cell, "092G025342": its map area, its number, its quarter digits.
[[gnu::noinline]] std::size_t writeBcgsText(const Reference& cell,
                                            std::span<char, Reference::kMaxTextLength> out) {
    std::size_t size = cell.at(Scale::MapArea)->writeText(out);
    putThreeDigits(out.subspan(size).first<3>(), cell.bcgsNumber());
    size += 3;
    for (int i = 0; i < quarterCount(cell.scale()); ++i) {
        out[size++] = static_cast<char>('0' + cell.quarterDigit(i));
    }
    return size;
}

} // namespace

std::size_t Reference::writeText(std::span<char, kMaxTextLength> out) const {
    if (isPng(scale())) {
        return writePngText(*this, out);
    }
    if (isBcgs(scale())) {
        return writeBcgsText(*this, out);
    }
    // The characters are gathered in one word and stored at once: written one by
    // one, they would reach whoever copies the text (memcpy reads in words) only
    // after the stores retire, which in a batch costs more than making them.
    // The last two digits of each number come from a table, in pairs.
    const auto series = static_cast<unsigned>(seriesNumber());
    const unsigned seriesTail = series % kHundred;
    const auto sheet = static_cast<unsigned>(sheetNumber());
    const std::array<char, kWordLength> characters{static_cast<char>('0' + series / kHundred),
                                                   kDigitPairs[2 * seriesTail],
                                                   kDigitPairs[2 * seriesTail + 1],
                                                   letter(),
                                                   kDigitPairs[2 * sheet],
                                                   kDigitPairs[2 * sheet + 1]};
    const auto word = std::bit_cast<std::uint64_t>(characters);
    std::memcpy(out.data(), &word, sizeof word);
    return scale() == Scale::Sheet     ? kSeriesDigits + 1 + kSheetDigits
           : scale() == Scale::MapArea ? kSeriesDigits + 1
                                       : kSeriesDigits;
}

std::string Reference::text() const {
    // All but the longest texts of the petroleum and natural gas grid fit in the
    // string's own buffer: naming an NTS or BCGS cell never allocates.
    std::array<char, kMaxTextLength> characters;
    return std::string(characters.data(), writeText(characters));
}

std::ostream& operator<<(std::ostream& out, const Reference& reference) {
    return out << reference.text();
}

std::ostream& operator<<(std::ostream& out, Scale scale) {
    return out << scaleName(scale);
}

} // namespace sheetref
