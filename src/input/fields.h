// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string_view>

// Splitting an input line into the fields of a point. One rule for every reader:
// fields are separated by blanks (spaces and tabs), or by commas where the comma is
// not the locale's decimal separator. "49,25" is one number in French and two in
// English, so the reader's locale decides.
namespace sheetfind {

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

// Calls `visit` with each run of characters for which `isSeparator` is false, in
// order: the words of a text, however many separators stand between them.
template <typename IsSeparator, typename Visit>
void forEachWord(std::string_view text, IsSeparator isSeparator, Visit visit) {
    for (std::size_t at = 0; at < text.size();) {
        if (isSeparator(text[at])) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && !isSeparator(text[end])) {
            ++end;
        }
        visit(text.substr(at, end - at));
        at = end;
    }
}

// A blank line, or a line whose first non-blank character is '#': it holds no input
// and gets an empty answer, never an error, so that lines in still equal lines out.
inline bool isBlankOrComment(std::string_view line) {
    const std::string_view text = trimBlanks(line);
    return text.empty() || text.front() == '#';
}

// The first two fields of a line and how many there are in all.
struct FieldPair {
    std::string_view first;
    std::string_view second;
    std::size_t count = 0;
};

// Splits at commas when `commaSeparates` and the line has one (each field trimmed of
// blanks), and at runs of blanks otherwise. Allocates nothing.
// Example: splitFields("49.25, -123.1", true) gives "49.25", "-123.1", count 2.
FieldPair splitFields(std::string_view line, bool commaSeparates);

} // namespace sheetfind
