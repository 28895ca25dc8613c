// SPDX-License-Identifier: MIT
#include "csv_columns.h"

#include "fields.h"
#include "quote.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace sheetfind {
namespace {

// Ranked: the first found wins. Where a table has both geographic and projected
// coordinates, "x" and "y" are the projected ones, so they come last.
constexpr std::array<std::string_view, 14> kLatitudeNames{"lat",
                                                          "latitude",
                                                          "lat_dd",
                                                          "latitude_dd",
                                                          "lat_deg",
                                                          "latitude_deg",
                                                          "lat_dec",
                                                          "latitude_dec",
                                                          "decimallatitude",
                                                          "decimal_latitude",
                                                          "wgs84_lat",
                                                          "gps_lat",
                                                          "point_y",
                                                          "y"};
constexpr std::array<std::string_view, 20> kLongitudeNames{
    "lon",       "long",          "longitude",        "lng",
    "lon_dd",    "long_dd",       "lng_dd",           "longitude_dd",
    "lon_deg",   "long_deg",      "lng_deg",          "longitude_deg",
    "lon_dec",   "longitude_dec", "decimallongitude", "decimal_longitude",
    "wgs84_lon", "gps_lon",       "point_x",          "x"};
constexpr std::array<std::string_view, 10> kPointNames{
    "position", "point",    "coordinates", "coordinate", "coords",
    "coord",    "location", "latlon",      "utm",        "mgrs"};

std::optional<std::size_t> columnNamed(std::span<const std::string_view> header,
                                       std::string_view name) {
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (sameLetters(trimBlanks(header[i]), name)) {
            return i;
        }
    }
    return std::nullopt;
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
    if (const auto column = columnNamed(header, trimBlanks(choice))) {
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

std::variant<PointColumns, TableFailure> findPointColumns(std::span<const std::string_view> header,
                                                          const ColumnChoice& choice) {
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
        return PointColumns{PointColumns::Pair{.latitude = std::get<std::size_t>(latitude),
                                               .longitude = std::get<std::size_t>(longitude)}};
    }
    const auto latitude = bestColumn(header, kLatitudeNames);
    const auto longitude = bestColumn(header, kLongitudeNames);
    if (latitude && longitude) {
        return PointColumns{PointColumns::Pair{.latitude = *latitude, .longitude = *longitude}};
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
