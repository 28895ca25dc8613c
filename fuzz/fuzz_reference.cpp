// SPDX-License-Identifier: MIT
// The reference parser: any text in. A text that parses prints back to canonical
// form, which parses again to the same reference; one that does not gets an error
// that points inside the text.

#include "fuzz_check.h"
#include "grid.h"
#include "reference_parser.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const sheetref::ParseResult result = sheetref::parseReference(text);
    if (const auto* failure = std::get_if<sheetref::ParseFailure>(&result)) {
        check(failure->at + failure->length <= text.size());
        check(!sheetref::describe(*failure).empty());
        return 0;
    }
    const auto& reference = std::get<sheetref::Reference>(result);
    const std::string canonical = reference.text();
    const sheetref::ParseResult again = sheetref::parseReference(canonical);
    check(std::holds_alternative<sheetref::Reference>(again));
    check(std::get<sheetref::Reference>(again) == reference);
    check(std::get<sheetref::Reference>(again).text() == canonical);

    // The cell exists: the point just inside its south-east corner locates back to it.
    const sheetref::Bounds box = sheetref::bounds(reference);
    check(sheetref::locate({.latitude = box.south, .longitude = box.east}, reference.scale()) ==
          reference);
    return 0;
}
