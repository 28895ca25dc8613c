// SPDX-License-Identifier: MIT
#include "vector_locate.h"

#include "grid.h"

#include <algorithm>
#include <string>

namespace sheetfind::python {
namespace {

constexpr std::uint32_t kDigitZero = '0';

// The canonical text of an NTS reference, written without building a std::string:
// three digits of series, the map-area letter, two digits of sheet, then zero padding.
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

// Writes the reference's own text, Reference::text(), padded with zeros to `width`.
void writeText(const std::optional<sheetref::Reference>& reference, std::size_t width,
               std::uint32_t* cell) {
    std::fill(cell, cell + width, 0U);
    if (reference) {
        const std::string text = reference->text();
        std::transform(text.begin(),
                       text.begin() + static_cast<std::ptrdiff_t>(std::min(text.size(), width)),
                       cell, [](char c) { return static_cast<unsigned char>(c); });
    }
}

// The BCGS and PNG texts are the engine's own: their characters are laid out by one
// routine, Reference::text(). A BCGS text of at most ten characters never leaves the
// string's own buffer, so naming a BCGS cell does not allocate.
void locateTextsInto(const double* latitudes, const double* longitudes, std::size_t count,
                     sheetref::Scale scale, std::uint32_t* out) {
    const std::size_t width = referenceWidth(scale);
    for (std::size_t i = 0; i < count; ++i) {
        writeText(sheetref::locate({.latitude = latitudes[i], .longitude = longitudes[i]}, scale),
                  width, out + i * width);
    }
}

template <std::size_t Width>
std::size_t locateOnlyAt(const double* latitudes, const double* longitudes, std::size_t count,
                         sheetref::Scale scale, std::uint32_t* out) {
    std::size_t found = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto reference =
            sheetref::locate({.latitude = latitudes[i], .longitude = longitudes[i]}, scale);
        out[i * Width] = reference ? static_cast<std::uint32_t>(reference->scale()) : 0U;
        found += reference ? 1 : 0;
    }
    return found;
}

} // namespace

void locateInto(const double* latitudes, const double* longitudes, std::size_t count,
                sheetref::Scale scale, std::uint32_t* out) {
    if (sheetref::isBcgs(scale) || sheetref::isPng(scale)) {
        locateTextsInto(latitudes, longitudes, count, scale, out);
        return;
    }
    // The NTS loop, the hot one: a fixed stride and no string.
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t* cell = out + i * kNtsReferenceWidth;
        const auto reference =
            sheetref::locate({.latitude = latitudes[i], .longitude = longitudes[i]}, scale);
        if (reference) {
            writeReference(*reference, cell);
        } else {
            std::fill(cell, cell + kNtsReferenceWidth, 0U);
        }
    }
}

std::optional<ShiftFailure> locateShiftedInto(DatumLocator& locator, const double* latitudes,
                                              const double* longitudes, std::size_t count,
                                              sheetref::Scale scale, std::uint32_t* out) {
    const std::size_t width = referenceWidth(scale);
    std::optional<ShiftFailure> failed;
    for (std::size_t i = 0; i < count; ++i) {
        writeText(locator.locate({.latitude = latitudes[i], .longitude = longitudes[i]}, scale),
                  width, out + i * width);
        if (!failed && !locator.failure().empty()) {
            failed = ShiftFailure{.index = i, .reason = locator.failure()};
        }
    }
    return failed;
}

std::size_t locateOnly(const double* latitudes, const double* longitudes, std::size_t count,
                       sheetref::Scale scale, std::uint32_t* out) {
    if (sheetref::isPng(scale)) {
        return locateOnlyAt<kPngReferenceWidth>(latitudes, longitudes, count, scale, out);
    }
    return sheetref::isBcgs(scale)
               ? locateOnlyAt<kBcgsReferenceWidth>(latitudes, longitudes, count, scale, out)
               : locateOnlyAt<kNtsReferenceWidth>(latitudes, longitudes, count, scale, out);
}

} // namespace sheetfind::python
