// SPDX-License-Identifier: MIT
// UTM and UPS: any text in, no crash; a point is finite and on the globe, a failure
// has a clean message.

#include "grid_notations.h"
#include "input_invariants.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)sheetfind::looksLikeUtm(text);
    checkResult(sheetfind::readUtm(text));
    return 0;
}
