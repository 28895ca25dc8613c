// SPDX-License-Identifier: MIT
#pragma once

// What every reader of the input layer promises for any text: a point is finite and
// on the globe, and a failure has a message with no raw control byte in it, since it
// goes to a terminal or a log line as it is.

#include "fuzz_check.h"
#include "input_error.h"
#include "lat_lon.h"

#include <cmath>
#include <string>
#include <variant>

inline void checkPoint(const sheetref::LatLon& point) {
    check(std::isfinite(point.latitude) && std::isfinite(point.longitude));
    check(-90 <= point.latitude && point.latitude <= 90);
    check(-180 <= point.longitude && point.longitude <= 180);
}

inline void checkFailure(const sheetfind::InputFailure& failure) {
    const std::string message = sheetfind::describe(failure);
    check(!message.empty());
    for (const char ch : message) {
        const auto byte = static_cast<unsigned char>(ch);
        check(byte >= 0x20 && byte != 0x7F);
    }
}

inline void checkResult(const std::variant<sheetref::LatLon, sheetfind::InputFailure>& result) {
    if (const auto* point = std::get_if<sheetref::LatLon>(&result)) {
        checkPoint(*point);
    } else {
        checkFailure(std::get<sheetfind::InputFailure>(result));
    }
}
