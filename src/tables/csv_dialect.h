// SPDX-License-Identifier: MIT
#pragma once

#include "csv_reader.h"

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace sheetfind {

// The delimiters a table may use: the comma, the semicolon that spreadsheets write
// where the comma is the decimal separator, and the tab.
inline constexpr std::array<char, 3> kDelimiters{',', ';', '\t'};

// Finds a table's delimiter from its header row, fed in blocks from the start of
// the table (after any byte order mark): the one of kDelimiters that splits the
// header into the most fields once quotes are taken into account, which libcsv
// does; a tie goes to the earlier one in kDelimiters, and a header of one field is
// comma-separated. A delimiter under which the header's quotes are malformed does
// not count, since it cannot be the table's.
//
// Example: the header `name;"lat, north";lon` gives ';' (three fields; the comma
// would give two, and malformed quotes).
class DelimiterDetector {
public:
    DelimiterDetector();
    // Its readers report to its own members.
    DelimiterDetector(const DelimiterDetector&) = delete;
    DelimiterDetector& operator=(const DelimiterDetector&) = delete;

    // Reads more of the table; true once the delimiter is known.
    bool feed(std::string_view bytes);
    // The end of the table has come: the delimiter is known now.
    void finish();

    // The delimiter, once feed() or finish() has found it.
    std::optional<char> delimiter() const { return m_delimiter; }

private:
    struct Candidate {
        std::unique_ptr<CsvReader> reader;
        std::optional<std::size_t> fields; // of the header, once it has been read
        bool failed = false;
    };

    bool decide(bool atEnd);

    std::array<Candidate, kDelimiters.size()> m_candidates;
    std::size_t m_fed = 0;
    std::optional<char> m_delimiter;
};

} // namespace sheetfind
