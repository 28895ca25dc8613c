// SPDX-License-Identifier: MIT
#include "quote.h"

#include <array>

namespace sheetref {
namespace {

constexpr std::string_view kEllipsis = "…";
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned char kFirstPrintable = 0x20;

// The length of the well-formed UTF-8 sequence at the start of `bytes`, or 0 when
// it does not start with one. Overlong forms, surrogates and code points past
// U+10FFFF are not well formed (RFC 3629).
std::size_t sequenceLength(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

constexpr unsigned char kC1Lead = 0xC2;
constexpr unsigned char kC1Last = 0x9F;

bool isC1Control(std::string_view sequence) {
    return sequence.size() == 2 && static_cast<unsigned char>(sequence[0]) == kC1Lead &&
           static_cast<unsigned char>(sequence[1]) <= kC1Last;
}

void appendEscaped(std::string& out, unsigned char byte) {
    constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                           '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    constexpr unsigned kNibble = 4;
    out += "\\x";
    out += kHex[byte >> kNibble];
    out += kHex[byte & 0xFU];
}

} // namespace

// Appends the text with every byte that could act on a terminal escaped, and, in
// quotes, a backslash or a double quote escaped so that the quotes can be told from
// the text; stops after `limit` characters with an ellipsis.
void appendPrintable(std::string& out, std::string_view utf8, std::size_t limit, bool inQuotes) {
    std::size_t characters = 0;
    while (!utf8.empty()) {
        if (characters == limit) {
            out += kEllipsis;
            break;
        }
        const std::size_t length = sequenceLength(utf8);
        const auto lead = static_cast<unsigned char>(utf8.front());
        if (length == 0 || lead < kFirstPrintable || lead == kDelete) {
            appendEscaped(out, lead);
            utf8.remove_prefix(1);
        } else if (isC1Control(utf8.substr(0, length))) {
            // U+0080 to U+009F: terminals act on them as on C0 controls.
            appendEscaped(out, lead);
            appendEscaped(out, static_cast<unsigned char>(utf8[1]));
            utf8.remove_prefix(length);
        } else {
            if (inQuotes && (lead == '"' || lead == '\\')) {
                out += '\\';
            }
            out.append(utf8.substr(0, length));
            utf8.remove_prefix(length);
        }
        ++characters;
    }
}

std::string quoteText(std::string_view utf8) {
    std::string out = "\"";
    appendPrintable(out, utf8, kQuotedCharacters, true);
    out += '"';
    return out;
}

std::string printableText(std::string_view utf8) {
    std::string out;
    appendPrintable(out, utf8, utf8.size(), false);
    return out;
}

std::string listOfChoices(const std::vector<std::string>& choices) {
    std::string listed;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        listed += i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ";
        listed += choices[i];
    }
    return listed;
}

} // namespace sheetref
