// SPDX-License-Identifier: MIT
#pragma once

#include "reference.h"

#include <cstddef>
#include <cstdint>

// The array form of locate(), for numpy: the loop that runs with the interpreter's
// lock released, writing straight into a numpy '<U6' buffer.
namespace sheetfind::python {

// Code points per answer: a sheet reference ("092G06") is the longest text.
inline constexpr std::size_t kReferenceWidth = 6;

// For each i in [0, count), writes the reference of the cell at `scale` that holds
// (latitudes[i], longitudes[i]) as UCS-4 code points into out[i * kReferenceWidth ...],
// padded with zeros as numpy pads its fixed-width strings; all zeros (numpy's "")
// where no cell holds the point, NaN and infinities included. Every code point of
// `out` is written, so it may come from np.empty.
//
// Example: (49.25, -123.1) at Scale::Sheet writes '0','9','2','G','0','6'.
void locateInto(const double* latitudes, const double* longitudes, std::size_t count,
                sheetref::Scale scale, std::uint32_t* out);

// The yardstick for the cost of the loop above: locate() alone on every point, with
// only the scale stored per answer, so that what locateInto adds (the text) can be
// measured. Returns how many points have a cell.
std::size_t locateOnly(const double* latitudes, const double* longitudes, std::size_t count,
                       sheetref::Scale scale, std::uint32_t* out);

} // namespace sheetfind::python
