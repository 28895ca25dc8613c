// SPDX-License-Identifier: MIT
#pragma once

#include "reference.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

namespace sheetref {

// What can be wrong with a written reference.
enum class ParseError {
    Empty,                // nothing but blanks
    SeriesExpected,       // it does not start with a digit
    SeriesTooLong,        // more than three digits
    SeriesNotInGrid,      // e.g. 911 or 125
    LetterExpected,       // something other than a letter where the map area goes
    LetterNotInSeries,    // I-P in an Arctic or high-Arctic series, or Q-Z anywhere
    SheetExpected,        // a separator after the letter, then no sheet number
    SheetOutOfRange,      // 0 or 17
    MapAreaNotInBcgs,     // a three-digit BCGS number after a map area outside BC's series
    BcgsNumberOutOfRange, // a BCGS number 000 or 101 to 999
    OutsideBc,            // a BCGS cell wholly in one of BC's neighbours, as 082O010
    PngQuarterOutOfRange, // a quarter unit other than a to d
    PngUnitOutOfRange,    // a unit 0 or above 100
    PngBlockOutOfRange,   // a block other than A to L
    PngOutsideBc,         // a PNG block outside BC's series or wholly in its neighbours
    PngPartExpected,      // a PNG location without one of its parts, or with a stray one
    QuarterExpected,      // a separator after a BCGS cell, then no quarter digit
    QuarterOutOfRange,    // a quarter digit 0 or 5 to 9
    TrailingText,         // anything after a complete reference
};

struct ParseFailure {
    ParseError error;
    std::string text;       // the whole reference as written
    std::size_t at = 0;     // byte offset of the offending part in `text`
    std::size_t length = 0; // its length in bytes; 0 at the end of the text
    int series = -1;        // the series read so far, when there is one
    std::string readSoFar;  // canonical text of what was read before, when there is one

    bool operator==(const ParseFailure&) const = default;
};

// One English sentence: the reference, what is wrong, where (as a 1-based character
// position), and what was expected, e.g.
//   reference "27K06": map-area letter "K" at character 3 is not in Arctic series 027;
//   expected A to H
std::string describe(const ParseFailure& failure);

using ParseResult = std::variant<Reference, ParseFailure>;

// Reads a reference the way people write them: "092G06", "92G6", "92g6", "92 G/6",
// "092G/06", "92-G-6", "021 O07" are all sheet 092G06 or alike; "82O" is a map area
// and "92" a series; "340 D15" is a high-Arctic sheet. "092G025", "92G.025" and
// "92g025" are the BCGS 1:20 000 cell 092G025; "092G025342", "092G.025.3.4.2" and
// "092g025_3_4_2" its 1:2 500 cell 092G025342.
//
// The petroleum and natural gas grid's cells are read as BC's records write them:
// "d-096-H/094-A-15", "D-96-H/94-A-15", "d096H094A15", the unit "096-H/094-A-15", the
// block "H/094-A-15", and the location in a well identifier, "200/d-096-H 094-A-15/00"
// or "200D096H094A1500".
//
// Accepted: blanks around the text; a series of one to three digits; then
// optionally a map-area letter in either case; then optionally a sheet number of one
// or two digits, or, in a map area of BC's series, a BCGS number of exactly three
// digits followed by up to three quarter digits, each 1 to 4, run together or apart.
// Between the parts there may be blanks, one '-', '/', '.' or '_', or both.
ParseResult parseReference(std::string_view text);

} // namespace sheetref
