// SPDX-License-Identifier: MIT
// A whole point in any notation, as PointReader detects it, in an English and a
// French locale: no crash; a point is on the globe, a failure has a clean message.

#include "input_invariants.h"
#include "point_reader.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const sheetfind::PointReader english(sheetfind::NumberReader::named("C"));
    static const sheetfind::PointReader french(sheetfind::NumberReader::named("fr_CA"));
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkResult(english.read(text));
    checkResult(french.read(text));
    return 0;
}
