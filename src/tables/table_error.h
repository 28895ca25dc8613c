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
    TwoColumns,      // two columns that could each be the `field`: `text` numbered `count`,
                     // and `detail` numbered `other`
    SameColumn,      // one column, `text`, chosen as both the latitude and the longitude
    ColumnExists,    // the header already has a column `text`, the name of the one to add
};

struct TableFailure {
    TableError error;
    Field field = Field::Line; // for the column errors: which column
    std::string text;          // the column as chosen or named in the header
    std::string detail;
    std::size_t count = 0;
    std::size_t other = 0; // for TwoColumns: the second column's number

    bool operator==(const TableFailure&) const = default;
};

// What the user can do about a failure, which each face words in its own terms: an
// option of a program, a parameter in Python.
enum class TableAdvice {
    None,
    ChooseColumns, // say which columns hold the point; worded to follow "expected ..."
    NameColumn,    // give the added column another name
};

TableAdvice adviceFor(const TableFailure& failure);

// One English sentence, with no prefix and no final newline, e.g.
//   the record has 2 fields and so no longitude column "lon"; expected as many fields
//   as the header
std::string describe(const TableFailure& failure);

// A failure while a table is read: its points', or its own.
using RecordFailure = std::variant<InputFailure, TableFailure>;

std::string describe(const RecordFailure& failure);

} // namespace sheetfind
