// SPDX-License-Identifier: MIT
#pragma once

#include <cmath>
#include <limits>

// The double `steps` representable values away from `value`: up for positive steps,
// down for negative ones. Random sweeps use it to land beside a lattice line.
inline double stepped(double value, int steps) {
    const double infinity = std::numeric_limits<double>::infinity();
    for (; steps != 0; steps += steps < 0 ? 1 : -1) {
        value = std::nextafter(value, steps < 0 ? -infinity : infinity);
    }
    return value;
}
