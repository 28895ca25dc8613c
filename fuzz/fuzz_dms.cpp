// SPDX-License-Identifier: MIT
// One angle in degrees-minutes-seconds, through the guard that keeps GeographicLib
// from the shapes it mishandles: any text in, no crash, and an angle that decodes is
// finite (a latitude or longitude range check comes later, in PointReader).

#include "dms.h"
#include "input_invariants.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)sheetfind::looksLikeDms(text);
    const auto result = sheetfind::decodeDms(text, sheetfind::Field::Latitude);
    if (const auto* angle = std::get_if<sheetfind::DmsAngle>(&result)) {
        check(std::isfinite(angle->degrees));
    } else {
        checkFailure(std::get<sheetfind::InputFailure>(result));
    }
    return 0;
}
