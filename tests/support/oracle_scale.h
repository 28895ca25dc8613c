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
        return oracle::Scale::Sheet;
    case sheetref::Scale::Bcgs20k:
        return oracle::Scale::Bcgs20k;
    case sheetref::Scale::Bcgs10k:
        return oracle::Scale::Bcgs10k;
    case sheetref::Scale::Bcgs5k:
        return oracle::Scale::Bcgs5k;
    case sheetref::Scale::Bcgs2500:
    // PNG cells are judged by oracle::pngReference, which takes its own levels.
    case sheetref::Scale::PngBlock:
    case sheetref::Scale::PngUnit:
    case sheetref::Scale::PngQuarterUnit:
        break;
    }
    return oracle::Scale::Bcgs2500;
}
