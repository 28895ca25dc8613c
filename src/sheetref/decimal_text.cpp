// SPDX-License-Identifier: MIT
#include "decimal_text.h"

#include "coordinates.h"

#include <array>
#include <charconv>

namespace sheetref {

std::string decimalText(double value) {
    // The longest shortest form of a double, "-2.2250738585072014e-308", fits.
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string describeRange(std::string_view name, Coordinate coordinate, double value) {
    return std::string(name) + " " + decimalText(value) + " is out of range " +
           (coordinate == Coordinate::Latitude ? "-90..90" : "-180..180");
}

} // namespace sheetref
