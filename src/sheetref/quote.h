// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sheetref {

// No coordinate needs more; a pasted megabyte should not become a megabyte-long message.
inline constexpr std::size_t kQuotedCharacters = 40;

// The typed text, in double quotes, as it can safely go into a one-line message:
//   - control bytes (below 0x20, and 0x7F) and bytes that are not UTF-8 become \xNN;
//   - a backslash and a double quote are written as \\ and \", so the quotes can
//     be told from the text;
//   - a text of more than kQuotedCharacters characters is cut after that many, with
//     "…" where it was cut. A character (a whole UTF-8 sequence) is never split.
// Example: quoteText("4\x01" "9") == "\"4\\x019\"".
std::string quoteText(std::string_view utf8);

// The control bytes and bytes that are not UTF-8 escaped as in quoteText, with no
// quotes and no cut: for a library's own account of what is wrong, which may
// repeat bytes of the text.
std::string printableText(std::string_view utf8);

// Choices as a sentence lists them: "a", "a or b", "a, b or c".
std::string listOfChoices(const std::vector<std::string>& choices);

} // namespace sheetref
