// SPDX-License-Identifier: MIT
#include "fields.h"

namespace sheetfind {

FieldPair splitFields(std::string_view line, bool commaSeparates) {
    FieldPair fields;
    const auto keep = [&](std::string_view field) {
        if (fields.count == 0) {
            fields.first = field;
        } else if (fields.count == 1) {
            fields.second = field;
        }
        ++fields.count;
    };
    const std::string_view text = trimBlanks(line);
    if (commaSeparates && text.find(',') != std::string_view::npos) {
        for (std::string_view rest = text;;) {
            const std::size_t comma = rest.find(',');
            keep(trimBlanks(rest.substr(0, comma)));
            if (comma == std::string_view::npos) {
                return fields;
            }
            rest.remove_prefix(comma + 1);
        }
    }
    forEachWord(text, isBlank, keep);
    return fields;
}

} // namespace sheetfind
