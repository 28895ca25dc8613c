// SPDX-License-Identifier: MIT
#include "csv_columns.h"

#include "fields.h"
#include "quote.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

namespace sheetfind {
namespace {

// Where a table has both geographic and projected coordinates, "x" and "y" are the
// projected ones, so they are looked for only where no geographic name is found.
constexpr std::array<std::string_view, 12> kLatitudeNames{
    "lat",     "latitude",     "lat_dd",          "latitude_dd",      "lat_deg",   "latitude_deg",
    "lat_dec", "latitude_dec", "decimallatitude", "decimal_latitude", "wgs84_lat", "gps_lat"};
constexpr std::array<std::string_view, 2> kProjectedLatitudeNames{"point_y", "y"};
constexpr std::array<std::string_view, 18> kLongitudeNames{
    "lon",       "long",          "longitude",        "lng",
    "lon_dd",    "long_dd",       "lng_dd",           "longitude_dd",
    "lon_deg",   "long_deg",      "lng_deg",          "longitude_deg",
    "lon_dec",   "longitude_dec", "decimallongitude", "decimal_longitude",
    "wgs84_lon", "gps_lon"};
constexpr std::array<std::string_view, 2> kProjectedLongitudeNames{"point_x", "x"};
// Ranked: the first found wins, since "location" may as well be a place's name.
constexpr std::array<std::string_view, 10> kPointNames{
    "position", "point",    "coordinates", "coordinate", "coords",
    "coord",    "location", "latlon",      "utm",        "mgrs"};

// The header's columns whose name is one of `names`, in the header's order.
template <typename Names>
std::vector<std::size_t> columnsNamed(std::span<const std::string_view> header,
                                      const Names& names) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < header.size(); ++i) {
        const std::string_view name = trimBlanks(header[i]);
        if (std::any_of(names.begin(), names.end(),
                        [&](std::string_view each) { return sameLetters(name, each); })) {
            found.push_back(i);
        }
    }
    return found;
}

std::optional<std::size_t> columnNamed(std::span<const std::string_view> header,
                                       std::string_view name) {
    const std::vector<std::size_t> found = columnsNamed(header, std::array{name});
    return found.empty() ? std::nullopt : std::optional(found.front());
}

using Found = std::variant<std::optional<std::size_t>, TableFailure>;

// The one column named as `field` may be: nothing, it, or TwoColumns when two are, since
// reading either of them in silence could be reading the wrong one.
Found onlyColumn(std::span<const std::string_view> header, const std::vector<std::size_t>& found,
                 Field field) {
    if (found.size() > 1) {
        return TableFailure{.error = TableError::TwoColumns,
                            .field = field,
                            .text = std::string(header[found[0]]),
                            .detail = std::string(header[found[1]]),
                            .count = found[0] + 1,
                            .other = found[1] + 1};
    }
    return found.empty() ? std::nullopt : std::optional(found.front());
}

template <typename Names, typename ProjectedNames>
Found coordinateColumn(std::span<const std::string_view> header, const Names& names,
                       const ProjectedNames& projected, Field field) {
    std::vector<std::size_t> found = columnsNamed(header, names);
    if (found.empty()) {
        found = columnsNamed(header, projected);
    }
    return onlyColumn(header, found, field);
}

template <std::size_t N>
std::optional<std::size_t> bestColumn(std::span<const std::string_view> header,
                                      const std::array<std::string_view, N>& names) {
    for (const std::string_view name : names) {
        if (const auto column = columnNamed(header, name)) {
            return column;
        }
    }
    return std::nullopt;
}

// A chosen column: by name, else by its number from 1.
std::variant<std::size_t, TableFailure> chosenColumn(std::span<const std::string_view> header,
                                                     std::string_view choice, Field field) {
    auto named = onlyColumn(header, columnsNamed(header, std::array{trimBlanks(choice)}), field);
    if (auto* failure = std::get_if<TableFailure>(&named)) {
        return std::move(*failure);
    }
    if (const auto column = std::get<std::optional<std::size_t>>(named)) {
        return *column;
    }
    std::size_t number = 0;
    const auto result = std::from_chars(choice.data(), choice.data() + choice.size(), number);
    if (result.ec == std::errc() && result.ptr == choice.data() + choice.size() && 1 <= number &&
        number <= header.size()) {
        return number - 1;
    }
    return TableFailure{.error = TableError::UnknownColumn,
                        .field = field,
                        .text = std::string(choice),
                        .detail = headerNames(header),
                        .count = header.size()};
}

TableFailure sameColumn(std::string_view name) {
    return TableFailure{.error = TableError::SameColumn, .text = std::string(name)};
}

} // namespace

bool sameLetters(std::string_view a, std::string_view b) {
    const auto lower = [](char ch) {
        return 'A' <= ch && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string headerNames(std::span<const std::string_view> header) {
    std::string names;
    for (const std::string_view name : header) {
        if (!names.empty()) {
            names += ", ";
        }
        names += quoteText(name);
    }
    return names;
}

std::optional<TableFailure> checkChoice(const ColumnChoice& choice) {
    if (choice.latitude && choice.longitude &&
        sameLetters(trimBlanks(*choice.latitude), trimBlanks(*choice.longitude))) {
        return sameColumn(*choice.latitude);
    }
    return std::nullopt;
}

std::optional<TableFailure> checkNewColumn(std::span<const std::string_view> header,
                                           std::string_view name) {
    if (columnNamed(header, trimBlanks(name))) {
        return TableFailure{.error = TableError::ColumnExists, .text = std::string(name)};
    }
    return std::nullopt;
}

std::variant<PointColumns, TableFailure> findPointColumns(std::span<const std::string_view> header,
                                                          const ColumnChoice& choice) {
    if (auto failure = checkChoice(choice)) {
        return std::move(*failure);
    }
    if (choice.point) {
        auto column = chosenColumn(header, *choice.point, Field::Point);
        if (auto* failure = std::get_if<TableFailure>(&column)) {
            return std::move(*failure);
        }
        return PointColumns{std::get<std::size_t>(column)};
    }
    if (choice.latitude && choice.longitude) {
        auto latitude = chosenColumn(header, *choice.latitude, Field::Latitude);
        if (auto* failure = std::get_if<TableFailure>(&latitude)) {
            return std::move(*failure);
        }
        auto longitude = chosenColumn(header, *choice.longitude, Field::Longitude);
        if (auto* failure = std::get_if<TableFailure>(&longitude)) {
            return std::move(*failure);
        }
        // "--lat lat --lon 1" where column 1 is lat.
        if (std::get<std::size_t>(latitude) == std::get<std::size_t>(longitude)) {
            return sameColumn(header[std::get<std::size_t>(latitude)]);
        }
        return PointColumns{PointColumns::Pair{.latitude = std::get<std::size_t>(latitude),
                                               .longitude = std::get<std::size_t>(longitude)}};
    }
    auto latitude =
        coordinateColumn(header, kLatitudeNames, kProjectedLatitudeNames, Field::Latitude);
    if (auto* failure = std::get_if<TableFailure>(&latitude)) {
        return std::move(*failure);
    }
    auto longitude =
        coordinateColumn(header, kLongitudeNames, kProjectedLongitudeNames, Field::Longitude);
    if (auto* failure = std::get_if<TableFailure>(&longitude)) {
        return std::move(*failure);
    }
    const auto lat = std::get<std::optional<std::size_t>>(latitude);
    const auto lon = std::get<std::optional<std::size_t>>(longitude);
    if (lat && lon) {
        return PointColumns{PointColumns::Pair{.latitude = *lat, .longitude = *lon}};
    }
    if (const auto point = bestColumn(header, kPointNames)) {
        return PointColumns{*point};
    }
    return TableFailure{.error = TableError::NoPointColumns,
                        .field = Field::Line,
                        .detail = headerNames(header),
                        .count = header.size()};
}

} // namespace sheetfind
