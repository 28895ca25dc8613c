// SPDX-License-Identifier: MIT
#include "vector_locate.h"

#include "grid.h"

#include <algorithm>

namespace sheetfind::python {
namespace {

constexpr std::uint32_t kDigitZero = '0';

// The canonical text of a reference, written without building a std::string: three
// digits of series, the map-area letter, two digits of sheet, then zero padding.
void writeReference(const sheetref::Reference& reference, std::uint32_t* cell) {
    const auto series = static_cast<std::uint32_t>(reference.seriesNumber());
    cell[0] = kDigitZero + series / 100;
    cell[1] = kDigitZero + series / 10 % 10;
    cell[2] = kDigitZero + series % 10;
    cell[3] = 0;
    cell[4] = 0;
    cell[5] = 0;
    if (reference.scale() == sheetref::Scale::Series) {
        return;
    }
    cell[3] = static_cast<std::uint32_t>(static_cast<unsigned char>(reference.letter()));
    if (reference.scale() == sheetref::Scale::MapArea) {
        return;
    }
    const auto sheet = static_cast<std::uint32_t>(reference.sheetNumber());
    cell[4] = kDigitZero + sheet / 10;
    cell[5] = kDigitZero + sheet % 10;
}

} // namespace

void locateInto(const double* latitudes, const double* longitudes, std::size_t count,
                sheetref::Scale scale, std::uint32_t* out) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t* cell = out + i * kReferenceWidth;
        const auto reference =
            sheetref::locate({.latitude = latitudes[i], .longitude = longitudes[i]}, scale);
        if (reference) {
            writeReference(*reference, cell);
        } else {
            std::fill(cell, cell + kReferenceWidth, 0U);
        }
    }
}

std::size_t locateOnly(const double* latitudes, const double* longitudes, std::size_t count,
                       sheetref::Scale scale, std::uint32_t* out) {
    std::size_t found = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto reference =
            sheetref::locate({.latitude = latitudes[i], .longitude = longitudes[i]}, scale);
        out[i * kReferenceWidth] = reference ? static_cast<std::uint32_t>(reference->scale()) : 0U;
        found += reference ? 1 : 0;
    }
    return found;
}

} // namespace sheetfind::python
