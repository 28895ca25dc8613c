// SPDX-License-Identifier: MIT
#pragma once

#include "table_error.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace sheetfind {

// Where a table keeps its points: a latitude and a longitude column, or one column
// holding a whole point in any notation. Columns are numbered from 0.
struct PointColumns {
    struct Pair {
        std::size_t latitude;
        std::size_t longitude;
    };
    std::variant<Pair, std::size_t> where;
};

// The columns the user named: by header name, or by number counted from 1.
struct ColumnChoice {
    std::optional<std::string_view> latitude;
    std::optional<std::string_view> longitude;
    std::optional<std::string_view> point;
};

// Finds the point columns of a header. Names are compared without regard to case,
// with the blanks around them trimmed. Without a choice, a latitude column (lat,
// latitude, lat_dd...) and a longitude column (lon, long, lng, longitude...) are
// preferred, the projected y and x (point_y, point_x) only where no such name is
// found; failing a pair, a point column, the best-ranked of position, point,
// coordinates, location, utm, mgrs... A chosen name is looked up first as a name,
// then as a column number.
//
// Failure: TableError::NoPointColumns, or TableError::UnknownColumn for a choice
// that names no column (the detail lists the header's names); TwoColumns where two
// columns could be the latitude ("lat" and "latitude"), or the longitude, or a chosen
// name; SameColumn where both choices are one column (as checkChoice).
// Example: findPointColumns({"id", "Latitude ", "LON"}, {}) gives Pair{1, 2}.
std::variant<PointColumns, TableFailure> findPointColumns(std::span<const std::string_view> header,
                                                          const ColumnChoice& choice);

// What can be told of a choice before any header is read: SameColumn for one name
// given as both the latitude and the longitude ("lat" and " LAT").
std::optional<TableFailure> checkChoice(const ColumnChoice& choice);

// ColumnExists when the header already has a column `name` (compared as above): a
// second column of the same name would make the table ambiguous to every reader.
std::optional<TableFailure> checkNewColumn(std::span<const std::string_view> header,
                                           std::string_view name);

// Whether two names have the same letters, ASCII case aside: "Lat" and "LAT".
bool sameLetters(std::string_view a, std::string_view b);

// The header's names, each quoted, comma-separated: for a message.
std::string headerNames(std::span<const std::string_view> header);

} // namespace sheetfind
