// SPDX-License-Identifier: MIT
#pragma once

#include "datum.h"
#include "reference.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The array form of locate(), for numpy: the loop that runs with the interpreter's
// lock released, writing straight into a numpy fixed-width string buffer ('<U6' at the
// NTS scales, '<U10' at the BCGS's, '<U16' at the PNG grid's).
namespace sheetfind::python {

// Code points per answer. At the NTS scales a sheet reference ("092G06") is the
// longest text; at the BCGS scales a 1:2 500 cell's ("092G025322"); in the PNG grid a
// quarter unit's ("d-096-H/094-A-15").
inline constexpr std::size_t kNtsReferenceWidth = 6;
inline constexpr std::size_t kBcgsReferenceWidth = 10;
inline constexpr std::size_t kPngReferenceWidth = 16;

// The width of the answers at `scale`: every NTS scale keeps the '<U6' it has always
// answered in, every BCGS scale answers in '<U10', every PNG scale in '<U16'.
constexpr std::size_t referenceWidth(sheetref::Scale scale) {
    if (sheetref::isPng(scale)) {
        return kPngReferenceWidth;
    }
    return sheetref::isBcgs(scale) ? kBcgsReferenceWidth : kNtsReferenceWidth;
}

// For each i in [0, count), writes the reference of the cell at `scale` that holds
// (latitudes[i], longitudes[i]) as UCS-4 code points into
// out[i * referenceWidth(scale) ...], padded with zeros as numpy pads its fixed-width
// strings; all zeros (numpy's "") where no cell holds the point, NaN and infinities
// included, and at a BCGS scale outside BC's series. Every code point of `out` is
// written, so it may come from np.empty.
//
// Example: (49.25, -123.1) at Scale::Sheet writes '0','9','2','G','0','6'; at
// Scale::Bcgs2500 '0','9','2','G','0','2','5','3','2','2'.
void locateInto(const double* latitudes, const double* longitudes, std::size_t count,
                sheetref::Scale scale, std::uint32_t* out);

// A point the locator could not shift into the grid's datum: its index, and why.
struct ShiftFailure {
    std::size_t index;
    std::string reason;
};

// As locateInto, for points given in locator.datum(): each is shifted into the datum
// of the grid at `scale` first. A point that cannot be shifted gets "", as one with no
// cell does, and the first of them is returned; nullopt when every point could be.
// Call it only where needsShift(locator.datum(), scale): points already in the grid's
// datum take locateInto, which never reaches PROJ.
//
// Example: (56.91, -120.565) given in NAD27 at Scale::PngQuarterUnit writes
// "a-096-H/094-A-15".
std::optional<ShiftFailure> locateShiftedInto(DatumLocator& locator, const double* latitudes,
                                              const double* longitudes, std::size_t count,
                                              sheetref::Scale scale, std::uint32_t* out);

// The yardstick for the cost of the loop above: locate() alone on every point, with
// only the scale stored per answer (at out[i * referenceWidth(scale)]), so that what
// locateInto adds (the text) can be measured. Returns how many points have a cell.
std::size_t locateOnly(const double* latitudes, const double* longitudes, std::size_t count,
                       sheetref::Scale scale, std::uint32_t* out);

} // namespace sheetfind::python
