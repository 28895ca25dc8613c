// SPDX-License-Identifier: MIT
#include "reference_parser.h"

#include "bcgs_layout.h"
#include "nts_layout.h"
#include "png_layout.h"
#include "quote.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace sheetref {
namespace {

constexpr std::size_t kMaxSeriesDigits = 3;
constexpr std::size_t kMaxSheetDigits = 2;
// Three digits after the letter are a BCGS number, where one or two are an NTS sheet.
constexpr std::size_t kBcgsDigits = 3;
bool isBlank(char ch) {
    return ch == ' ' || ch == '\t';
}

bool isDigit(char ch) {
    return '0' <= ch && ch <= '9';
}

bool isContinuation(char ch) {
    return (static_cast<unsigned char>(ch) & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t sequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text.front());
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(text[i])) {
            return 0;
        }
    }
    return length;
}

// 1-based position of the character that starts at byte `at`.
std::size_t characterPosition(std::string_view text, std::size_t at) {
    std::size_t position = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i) {
        position += isContinuation(text[i]) ? 0 : 1;
    }
    return position;
}

// The length of the character at `at` (one byte when it is not UTF-8).
std::size_t characterLength(std::string_view text, std::size_t at) {
    const std::size_t length = sequenceLength(text.substr(at));
    return length == 0 ? 1 : length;
}

std::string found(const ParseFailure& failure) {
    if (failure.length == 0) {
        return "found the end";
    }
    return "found " + quoteText(std::string_view(failure.text).substr(failure.at, failure.length));
}

class Reader {
public:
    explicit Reader(std::string_view text) : m_text(text), m_end(text.size()) {
        while (m_at < m_end && isBlank(m_text[m_at])) {
            ++m_at;
        }
        while (m_end > m_at && isBlank(m_text[m_end - 1])) {
            --m_end;
        }
    }

    ParseResult read() {
        if (atEnd()) {
            return fail(ParseError::Empty, 0);
        }
        const std::size_t seriesAt = m_at;
        const std::size_t seriesDigits = digits();
        if (seriesDigits == 0) {
            return fail(ParseError::SeriesExpected, characterLength(m_text, m_at));
        }
        if (seriesDigits > kMaxSeriesDigits) {
            return fail(ParseError::SeriesTooLong, seriesDigits);
        }
        m_series = value(seriesDigits);
        const std::optional<Reference> series = Reference::series(m_series);
        if (!series) {
            return fail(ParseError::SeriesNotInGrid, seriesDigits);
        }
        m_at = seriesAt + seriesDigits;
        m_readSoFar = series->text();

        bool separated = separator();
        if (atEnd()) {
            return separated ? fail(ParseError::LetterExpected, 0) : ParseResult(*series);
        }
        const char typed = m_text[m_at];
        const char letter =
            'a' <= typed && typed <= 'z' ? static_cast<char>(typed - 'a' + 'A') : typed;
        if (!('A' <= letter && letter <= 'Z')) {
            return fail(ParseError::LetterExpected, characterLength(m_text, m_at));
        }
        const std::optional<Reference> area = Reference::mapArea(m_series, letter);
        if (!area) {
            return fail(ParseError::LetterNotInSeries, 1);
        }
        ++m_at;
        m_readSoFar = area->text();

        separated = separator();
        if (atEnd()) {
            return separated ? fail(ParseError::SheetExpected, 0) : ParseResult(*area);
        }
        const std::size_t sheetAt = m_at;
        const std::size_t sheetDigits = digits();
        if (sheetDigits == 0) {
            return separated ? fail(ParseError::SheetExpected, characterLength(m_text, m_at))
                             : fail(ParseError::TrailingText, m_end - m_at);
        }
        if (sheetDigits >= kBcgsDigits) {
            return readBcgs(letter);
        }
        const std::optional<Reference> sheet =
            Reference::sheet(m_series, letter, value(sheetDigits));
        if (!sheet) {
            return fail(ParseError::SheetOutOfRange, sheetDigits);
        }
        m_at = sheetAt + sheetDigits;
        m_readSoFar = sheet->text();
        if (!atEnd()) {
            return fail(ParseError::TrailingText, m_end - m_at);
        }
        return *sheet;
    }

private:
    // The BCGS number at the cursor, then its quarter digits, run together with it or
    // with each other, or apart: "092G025342", "092G.025.3.4.2", "92g025_34_2".
    ParseResult readBcgs(char letter) {
        if (!layout::isBcgsSeries(m_series)) {
            return fail(ParseError::MapAreaNotInBcgs, kBcgsDigits);
        }
        const int number = value(kBcgsDigits);
        if (!(layout::kFirstBcgsNumber <= number && number <= layout::kLastBcgsNumber)) {
            return fail(ParseError::BcgsNumberOutOfRange, kBcgsDigits);
        }
        std::optional<Reference> cell = Reference::bcgs(m_series, letter, number);
        if (!cell) {
            return fail(ParseError::OutsideBc, kBcgsDigits);
        }
        m_at += kBcgsDigits;
        m_readSoFar = cell->text();
        while (!atEnd()) {
            // The finest cell takes no more digits, and no more text.
            if (cell->scale() == Scale::Bcgs2500) {
                return fail(ParseError::TrailingText, m_end - m_at);
            }
            const bool separated = separator();
            if (atEnd() || !isDigit(m_text[m_at])) {
                return separated ? fail(ParseError::QuarterExpected,
                                        atEnd() ? 0 : characterLength(m_text, m_at))
                                 : fail(ParseError::TrailingText, m_end - m_at);
            }
            while (!atEnd() && isDigit(m_text[m_at]) && cell->scale() != Scale::Bcgs2500) {
                cell = cell->quarter(m_text[m_at] - '0');
                if (!cell) {
                    return fail(ParseError::QuarterOutOfRange, 1);
                }
                ++m_at;
                m_readSoFar = cell->text();
            }
        }
        return *cell;
    }

    bool atEnd() const { return m_at >= m_end; }

    // Counts the digits at the cursor without moving it.
    std::size_t digits() const {
        std::size_t count = 0;
        while (m_at + count < m_end && isDigit(m_text[m_at + count])) {
            ++count;
        }
        return count;
    }

    // The value of a short run of digits at the cursor, checked for length first.
    int value(std::size_t count) const {
        int result = 0;
        for (std::size_t i = 0; i < count; ++i) {
            result = result * 10 + (m_text[m_at + i] - '0');
        }
        return result;
    }

    // Skips blanks, one '-', '/', '.' or '_', and blanks; tells whether it skipped
    // anything.
    bool separator() {
        const std::size_t start = m_at;
        const auto skipBlanks = [this] {
            while (!atEnd() && isBlank(m_text[m_at])) {
                ++m_at;
            }
        };
        skipBlanks();
        if (!atEnd() && (m_text[m_at] == '-' || m_text[m_at] == '/' || m_text[m_at] == '.' ||
                         m_text[m_at] == '_')) {
            ++m_at;
            skipBlanks();
        }
        return m_at != start;
    }

    ParseFailure fail(ParseError error, std::size_t length) const {
        return ParseFailure{error,    std::string(m_text), std::min(m_at, m_text.size()), length,
                            m_series, m_readSoFar};
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    std::size_t m_end;
    int m_series = -1;
    std::string m_readSoFar;
};

// BC's series as a message lists them: "082, 083, ... or 114".
std::string bcgsSeriesList() {
    std::vector<std::string> series;
    for (const int number : layout::kBcgsSeries) {
        series.push_back(Reference::series(number)->text());
    }
    return listOfChoices(series);
}

// A reference of the petroleum and natural gas grid, "d-096-H/094-A-15" and its kin:
// letters and runs of digits, apart or together, read as tokens.
struct Token {
    bool digits;
    std::size_t at;
    std::size_t length;
};

bool isSeparator(char ch) {
    return isBlank(ch) || ch == '-' || ch == '/' || ch == '.' || ch == '_';
}

bool isLetter(char ch) {
    return ('a' <= ch && ch <= 'z') || ('A' <= ch && ch <= 'Z');
}

char upper(char ch) {
    return 'a' <= ch && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
}

// The letters and digit runs of `text`, or nullopt when anything else is in it.
std::optional<std::vector<Token>> tokensOf(std::string_view text) {
    std::vector<Token> tokens;
    for (std::size_t i = 0; i < text.size();) {
        if (isSeparator(text[i])) {
            ++i;
        } else if (isLetter(text[i])) {
            tokens.push_back({false, i++, 1});
        } else if (isDigit(text[i])) {
            std::size_t end = i;
            while (end < text.size() && isDigit(text[end])) {
                ++end;
            }
            tokens.push_back({true, i, end - i});
            i = end;
        } else {
            return std::nullopt;
        }
    }
    return tokens;
}

// The shapes of a PNG location: quarter unit, unit and block, each then the sheet.
constexpr std::string_view kPngShapes[] = {"LDLDLD", "DLDLD", "LDLD"};

std::string shapeOf(const std::vector<Token>& tokens) {
    std::string shape;
    for (const Token& token : tokens) {
        shape += token.digits ? 'D' : 'L';
    }
    return shape;
}

// The location inside a well identifier: "200/d-096-H 094-A-15/00", whose first
// three digits and last two name the well, not the place, or the same run together,
// "200D096H094A1500", whose last run holds the sheet and the two digits after it.
std::vector<Token> uwiLocation(std::string_view text, std::vector<Token> tokens) {
    const std::string shape = shapeOf(tokens);
    if (shape == "DLDLDLDD" && tokens.front().length == 3 && tokens.back().length == 2 &&
        text[tokens.front().at + 3] == '/' && text[tokens.back().at - 1] == '/') {
        return {tokens.begin() + 1, tokens.end() - 1};
    }
    if (shape == "DLDLDLD" && tokens.front().length == 3 && tokens.back().length == 4) {
        tokens.back().length = 2;
        return {tokens.begin() + 1, tokens.end()};
    }
    return tokens;
}

int numberOf(std::string_view text, const Token& token) {
    // Longer runs are out of every range anyway.
    if (token.length > 4) {
        return 10'000;
    }
    int value = 0;
    for (std::size_t i = 0; i < token.length; ++i) {
        value = value * 10 + (text[token.at + i] - '0');
    }
    return value;
}

// The parts of a PNG location in the order written, with what each is: a quarter
// unit's letter, a unit's digits, a block's letter, then the sheet.
struct PngPart {
    bool digits;
    std::string_view expected;
};
constexpr std::array<PngPart, 6> kPngParts{
    PngPart{false, "a quarter unit a to d"}, PngPart{true, "a unit number 1 to 100"},
    PngPart{false, "a block A to L"},        PngPart{true, "a series number such as 094"},
    PngPart{false, "a map-area letter"},     PngPart{true, "a sheet number 1 to 16"}};

// What is wrong with a text that only a PNG location could be: one shaped as one but
// with a separator before its first part ("-096-H/094-A-15" is no unit), or one that
// begins with a letter, as only a quarter unit does, and then lacks a part or has one
// out of place. nullopt for anything else, which the readers read. `first` is where
// the text's first part is, a well identifier's included.
std::optional<ParseFailure> pngShapeFailure(std::string_view text, const std::vector<Token>& tokens,
                                            std::size_t first, bool shaped) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (tokens.empty() || start == std::string_view::npos) {
        return std::nullopt;
    }
    if (shaped) {
        if (start == first) {
            return std::nullopt;
        }
        return ParseFailure{ParseError::PngPartExpected,
                            std::string(text),
                            start,
                            1,
                            -1,
                            std::string(kPngParts[0].expected) + " or " +
                                std::string(kPngParts[1].expected) + " first"};
    }
    // A series first, or too little to be taken for a location: the NTS's reader tells
    // what is wrong.
    constexpr std::size_t kFewestPngParts = 3;
    if (tokens.front().digits || tokens.size() < kFewestPngParts) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kPngParts.size(); ++i) {
        if (i == tokens.size()) {
            return ParseFailure{
                ParseError::PngPartExpected,       std::string(text), text.size(), 0, -1,
                std::string(kPngParts[i].expected)};
        }
        if (tokens[i].digits != kPngParts[i].digits) {
            return ParseFailure{ParseError::PngPartExpected,
                                std::string(text),
                                tokens[i].at,
                                tokens[i].length,
                                -1,
                                std::string(kPngParts[i].expected)};
        }
    }
    const Token& extra = tokens[kPngParts.size()];
    return ParseFailure{
        ParseError::PngPartExpected,     std::string(text), extra.at, extra.length, -1,
        "the end after the sheet number"};
}

// Reads a PNG reference, or gives nullopt when the text is not shaped like one, so
// that the NTS's reader reads it and reports what is wrong.
std::optional<ParseResult> readPng(std::string_view text) {
    const auto all = tokensOf(text);
    if (!all) {
        return std::nullopt;
    }
    const std::vector<Token> tokens = uwiLocation(text, *all);
    const std::string shape = shapeOf(tokens);
    const bool shaped =
        std::find(std::begin(kPngShapes), std::end(kPngShapes), shape) != std::end(kPngShapes);
    if (const auto failure =
            pngShapeFailure(text, tokens, all->empty() ? 0 : all->front().at, shaped)) {
        return *failure;
    }
    if (!shaped) {
        return std::nullopt;
    }
    const auto failAt = [&](ParseError error, const Token& token, int series = -1,
                            std::string readSoFar = {}) -> ParseResult {
        return ParseFailure{error,  std::string(text),   token.at, token.length,
                            series, std::move(readSoFar)};
    };
    // The sheet: the last three tokens, series, map-area letter and sheet number.
    const Token& seriesToken = tokens[tokens.size() - 3];
    const Token& letterToken = tokens[tokens.size() - 2];
    const Token& sheetToken = tokens[tokens.size() - 1];
    if (seriesToken.length > kMaxSeriesDigits) {
        return failAt(ParseError::SeriesTooLong, seriesToken);
    }
    const int series = numberOf(text, seriesToken);
    if (!Reference::series(series)) {
        return failAt(ParseError::SeriesNotInGrid, seriesToken);
    }
    const char letter = upper(text[letterToken.at]);
    if (!Reference::mapArea(series, letter)) {
        return failAt(ParseError::LetterNotInSeries, letterToken, series);
    }
    const std::optional<Reference> sheet =
        Reference::sheet(series, letter, numberOf(text, sheetToken));
    if (!sheet || sheetToken.length > kMaxSheetDigits) {
        return failAt(ParseError::SheetOutOfRange, sheetToken);
    }
    // Then, from the sheet inward: the block, the unit, the quarter unit.
    const Token& blockToken = tokens[tokens.size() - 4];
    const char block = upper(text[blockToken.at]);
    if (!(layout::kFirstPngBlock <= block && block <= layout::kLastPngBlock)) {
        return failAt(ParseError::PngBlockOutOfRange, blockToken);
    }
    std::optional<Reference> cell =
        Reference::pngBlock(series, letter, sheet->sheetNumber(), block);
    if (!cell) {
        return failAt(ParseError::PngOutsideBc, blockToken, series, sheet->text());
    }
    if (tokens.size() == 4) {
        return *cell;
    }
    const Token& unitToken = tokens[tokens.size() - 5];
    cell = cell->pngUnit(numberOf(text, unitToken));
    if (!cell || unitToken.length > 3) {
        return failAt(ParseError::PngUnitOutOfRange, unitToken);
    }
    if (tokens.size() == 5) {
        return *cell;
    }
    const Token& quarterToken = tokens.front();
    const auto quarter = static_cast<char>(upper(text[quarterToken.at]) - 'A' + 'a');
    cell = cell->pngQuarterUnit(quarter);
    if (!cell) {
        return failAt(ParseError::PngQuarterOutOfRange, quarterToken);
    }
    return *cell;
}

} // namespace

std::string describe(const ParseFailure& failure) {
    const std::string_view text(failure.text);
    const std::string head = "reference " + quoteText(text) + ": ";
    const std::string where =
        " at character " + std::to_string(characterPosition(text, failure.at));
    const std::string part =
        quoteText(text.substr(std::min(failure.at, text.size()), failure.length));
    switch (failure.error) {
    case ParseError::Empty:
        return head + "nothing to read; expected a series such as 92, a map area such as 92G, "
                      "a sheet such as 92G6 or a BCGS cell such as 92G025";
    case ParseError::SeriesExpected:
        return head + "expected a series number of 1 to 3 digits" + where + ", " + found(failure);
    case ParseError::SeriesTooLong:
        return head + "series " + part + where + " has " + std::to_string(failure.length) +
               " digits; expected 1 to 3";
    case ParseError::SeriesNotInGrid:
        return head + "series " + part + where +
               " is not in the grid; expected 0 to 119, or a high-Arctic series 120, 121, 340, "
               "341, 560, 561, 780, 781 or 910";
    case ParseError::LetterExpected:
        return head + "expected a map-area letter after series " + failure.readSoFar + where +
               ", " + found(failure);
    case ParseError::LetterNotInSeries: {
        const layout::Zone* zone = layout::findSeries(failure.series).zone;
        const auto last = static_cast<char>('A' + zone->letters.size() - 1);
        return head + "map-area letter " + part + where + " is not in " + std::string(zone->name) +
               " series " + Reference::series(failure.series)->text() + "; expected A to " + last;
    }
    case ParseError::SheetExpected:
        return head + "expected a sheet number 1 to 16 after " + failure.readSoFar + where + ", " +
               found(failure);
    case ParseError::SheetOutOfRange:
        return head + "sheet number " + part + where + " is not in 1 to 16";
    case ParseError::MapAreaNotInBcgs:
        return head + "BCGS number " + part + where + " follows map area " + failure.readSoFar +
               ", which is not in BC's series; expected a sheet number 1 to 16, or a map area "
               "of series " +
               bcgsSeriesList();
    case ParseError::BcgsNumberOutOfRange:
        return head + "BCGS number " + part + where + " is not in 001 to 100";
    case ParseError::OutsideBc:
        return head + "BCGS number " + part + where + " of map area " + failure.readSoFar +
               " lies outside British Columbia, where the BCGS has no cells";
    case ParseError::PngQuarterOutOfRange:
        return head + "quarter unit " + part + where +
               " is not in a to d; expected a (south-east), b (south-west), c (north-west) or "
               "d (north-east)";
    case ParseError::PngUnitOutOfRange:
        return head + "unit " + part + where + " is not in 1 to 100";
    case ParseError::PngBlockOutOfRange:
        return head + "block " + part + where + " is not in A to L";
    case ParseError::PngOutsideBc:
        return head + "block " + part + where + " of sheet " + failure.readSoFar +
               " lies outside British Columbia, where the petroleum and natural gas grid has no "
               "cells";
    case ParseError::PngPartExpected:
        return head + "expected " + failure.readSoFar + where + ", " + found(failure);
    case ParseError::QuarterExpected:
        return head + "expected a quarter digit 1 to 4 after " + failure.readSoFar + where + ", " +
               found(failure);
    case ParseError::QuarterOutOfRange:
        return head + "quarter digit " + part + where + " after " + failure.readSoFar +
               " is not in 1 to 4; expected 1 (south-west), 2 (south-east), 3 (north-west) "
               "or 4 (north-east)";
    case ParseError::TrailingText:
        return head + "unexpected " + part + where + " after " + failure.readSoFar +
               "; expected the end";
    }
    return head;
}

ParseResult parseReference(std::string_view text) {
    if (std::optional<ParseResult> png = readPng(text)) {
        return *std::move(png);
    }
    return Reader(text).read();
}

} // namespace sheetref
