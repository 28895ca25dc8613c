// SPDX-License-Identifier: MIT
#pragma once

#include "input_error.h"

#include <cstddef>
#include <string>
#include <variant>

// What can be wrong with a table or a file of lines as a whole, or with one of its
// records, beside the points in it (those are InputFailures). describe() is the only
// place that spells these messages; it names no option of any program, so that each
// face can say in its own terms how to choose columns.
namespace sheetfind {

enum class TableError {
    LineTooLong,     // a line past kMaxLineLength; `count` is the limit
    EmptyTable,      // not even a header row
    NoPointColumns,  // a header without point columns; `detail` lists its names
    UnknownColumn,   // a column chosen by name or number that the header lacks
    MalformedQuotes, // quotes that RFC 4180 does not allow; `detail` is the parser's
    RecordTooLong,   // a record past the limit `count`, most often after an open quote
    MissingField,    // a record too short to hold the point column named by `text`
    ExtraFields,     // a record of `count` fields, more than its header has
};

struct TableFailure {
    TableError error;
    Field field = Field::Line; // for the column errors: which column
    std::string text;          // the column as chosen or named in the header
    std::string detail;
    std::size_t count = 0;

    bool operator==(const TableFailure&) const = default;
};

// One English sentence, with no prefix and no final newline, e.g.
//   the record has 2 fields and so no longitude column "lon"; expected as many fields
//   as the header
std::string describe(const TableFailure& failure);

// A failure while a table is read: its points', or its own.
using RecordFailure = std::variant<InputFailure, TableFailure>;

std::string describe(const RecordFailure& failure);

} // namespace sheetfind
