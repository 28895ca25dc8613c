#pragma once

#include <string_view>

namespace sheetfind {

// The blanks that separate the fields of a batch line: spaces and tabs.
inline bool isBlank(char ch) {
    return ch == ' ' || ch == '\t';
}

inline std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace sheetfind
