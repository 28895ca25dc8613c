// SPDX-License-Identifier: MIT
#pragma once

#include <cstdlib>

// An invariant of a fuzz target: a broken one aborts, which libFuzzer reports as a
// finding with the input that broke it.
inline void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}
