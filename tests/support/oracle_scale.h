// SPDX-License-Identifier: MIT
#pragma once

#include "nts_oracle.h"
#include "reference.h"

// The oracle keeps its own scale type so that it shares nothing with the library it
// checks; tests that hold a sheetref::Scale translate it here.
inline oracle::Scale toOracle(sheetref::Scale scale) {
    switch (scale) {
    case sheetref::Scale::Series:
        return oracle::Scale::Series;
    case sheetref::Scale::MapArea:
        return oracle::Scale::MapArea;
    case sheetref::Scale::Sheet:
        break;
    }
    return oracle::Scale::Sheet;
}
