// SPDX-License-Identifier: MIT
#include "dms.h"

#include "fields.h"
#include "quote.h"

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/DMS.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>

namespace sheetfind {
namespace {

// No angle needs more, and GeographicLib copies the whole text into its messages.
constexpr std::size_t kMaxDmsLength = 64;

// Degrees, minutes and seconds: the parts of an angle, in this order.
constexpr int kDmsParts = 3;

enum class Mark { Degrees, Minutes, Seconds, Colon };

struct Symbol {
    std::string_view text;
    Mark mark;
};

// The marks that GeographicLib 2.1.2 reads, found by decoding "2<c>30" and "2<c>" for
// every character of the Basic Multilingual Plane. The guard below must know every one
// of them: a colon counts from the part before it, the others name their part.
constexpr std::array kMarks = {
    Symbol{"d", Mark::Degrees},      Symbol{"D", Mark::Degrees},
    Symbol{"*", Mark::Degrees},      Symbol{"\u00B0", Mark::Degrees}, // °
    Symbol{"\u00BA", Mark::Degrees}, Symbol{"\u02DA", Mark::Degrees}, // º ˚
    Symbol{"\u2070", Mark::Degrees}, Symbol{"\u2218", Mark::Degrees}, // ⁰ ∘
    Symbol{"'", Mark::Minutes},      Symbol{"`", Mark::Minutes},
    Symbol{"\u00B4", Mark::Minutes}, Symbol{"\u02B9", Mark::Minutes}, // ´ ʹ
    Symbol{"\u02CA", Mark::Minutes}, Symbol{"\u02CB", Mark::Minutes}, // ˊ ˋ
    Symbol{"\u2018", Mark::Minutes}, Symbol{"\u2019", Mark::Minutes}, // ‘ ’
    Symbol{"\u201B", Mark::Minutes}, Symbol{"\u2032", Mark::Minutes}, // ‛ ′
    Symbol{"\u2035", Mark::Minutes},                                  // ‵
    Symbol{"\"", Mark::Seconds},     Symbol{"\u02BA", Mark::Seconds}, // ʺ
    Symbol{"\u02DD", Mark::Seconds}, Symbol{"\u201C", Mark::Seconds}, // ˝ “
    Symbol{"\u201D", Mark::Seconds}, Symbol{"\u201F", Mark::Seconds}, // ” ‟
    Symbol{"\u2033", Mark::Seconds}, Symbol{"\u2036", Mark::Seconds}, // ″ ‶
    Symbol{":", Mark::Colon},
};

// Signs GeographicLib reads: ASCII, hyphens and dashes, the minus sign, the heavy plus
// and minus, and the invisible plus.
constexpr std::array<std::string_view, 10> kSigns = {
    "+", "-", "\u2010", "\u2011", "\u2013", "\u2014", "\u2212", "\u2795", "\u2796", "\u2064",
};

// Spaces that web pages paste (no-break, figure, thin, hair, narrow no-break) and
// invisible separators. GeographicLib drops them, so "49\u00A015" would read as 4915;
// they are blanks here, like the ASCII ones.
constexpr std::array<std::string_view, 7> kOtherBlanks = {
    "\u00A0", "\u2007", "\u2009", "\u200A", "\u200B", "\u202F", "\u2063",
};

bool isNumeric(char ch) {
    return ('0' <= ch && ch <= '9') || ch == '.';
}

bool isDigit(char ch) {
    return '0' <= ch && ch <= '9';
}

template <std::size_t N>
std::optional<std::size_t> matchAt(std::string_view text, std::size_t at,
                                   const std::array<std::string_view, N>& table) {
    for (const std::string_view entry : table) {
        if (text.substr(at).starts_with(entry)) {
            return entry.size();
        }
    }
    return std::nullopt;
}

std::optional<Symbol> markAt(std::string_view text, std::size_t at) {
    for (const Symbol& symbol : kMarks) {
        if (text.substr(at).starts_with(symbol.text)) {
            return symbol;
        }
    }
    return std::nullopt;
}

// The field with its pasted Unicode blanks made ASCII blanks.
std::string asciiBlanks(std::string_view field) {
    std::string text;
    for (std::size_t at = 0; at < field.size();) {
        if (const auto length = matchAt(field, at, kOtherBlanks)) {
            text += ' ';
            at += *length;
        } else {
            text += field[at++];
        }
    }
    return text;
}

// GeographicLib reads "49:15:0N" and "49°15'N" but not "49 15 0 N": blanks between
// two numbers become the colon that separates degrees, minutes and seconds, and
// other blanks go.
std::string joinDmsParts(std::string_view field) {
    std::string joined;
    forEachWord(field, isBlank, [&](std::string_view part) {
        if (!joined.empty() && isNumeric(joined.back()) && isNumeric(part.front())) {
            joined += ':';
        }
        joined += part;
    });
    return joined;
}

// "49d15m30s": GeographicLib knows d for degrees but not m and s. An m after a number
// is minutes. An s is south as often as seconds, so it is seconds only after the
// number that follows an m, as in the letter style; "49°15'30S" stays south.
std::string lettersAsMarks(std::string_view field) {
    std::string text;
    bool minutesByLetter = false;
    for (std::size_t at = 0; at < field.size(); ++at) {
        const char ch = field[at];
        const bool afterNumber = at > 0 && isNumeric(field[at - 1]);
        if ((ch == 'm' || ch == 'M') && afterNumber) {
            text += '\'';
            minutesByLetter = true;
        } else if ((ch == 's' || ch == 'S') && afterNumber && minutesByLetter) {
            text += '"';
            minutesByLetter = false;
        } else {
            text += ch;
        }
    }
    return text;
}

// GeographicLib 2.1.2 keeps the parts of an angle in arrays of three and does not
// check that a colon stays within them: "1:2:3:4:5:6N" writes past the end of its
// stack arrays (a crash, or a bad_alloc for "1:1:1:1:1:1:1N"). Its sum of angles makes
// "49-15-30N" read as 4°N, which no one means. So the shape is checked here first:
// known characters only, a sign only in front, and no part after the seconds. The
// reason for a refusal, or nothing when GeographicLib may read the text.
std::optional<std::string> shapeProblem(std::string_view text) {
    int nextPart = 0;        // the part a colon starts, 0 for degrees
    bool numberSeen = false; // a sign after the first digit would start a second angle
    bool numberOpen = false; // digits since the last mark
    for (std::size_t at = 0; at < text.size();) {
        const char ch = text[at];
        if (isNumeric(ch)) {
            if (isDigit(ch) && !numberOpen && nextPart >= kDmsParts) {
                return "more than three parts";
            }
            numberSeen = numberSeen || isDigit(ch);
            numberOpen = numberOpen || isDigit(ch);
            ++at;
            continue;
        }
        if (const auto mark = markAt(text, at)) {
            // Two minute marks are GeographicLib's way of writing seconds.
            int part = mark->mark == Mark::Colon ? nextPart : static_cast<int>(mark->mark);
            const auto following = markAt(text, at + mark->text.size());
            std::size_t length = mark->text.size();
            if (mark->mark == Mark::Minutes && following && following->mark == Mark::Minutes) {
                part = static_cast<int>(Mark::Seconds);
                length += following->text.size();
            }
            if (part >= kDmsParts) {
                return "more than three parts";
            }
            nextPart = std::max(nextPart, part + 1);
            numberOpen = false;
            at += length;
            continue;
        }
        if (const auto length = matchAt(text, at, kSigns)) {
            if (numberSeen) {
                return "a sign inside the angle";
            }
            at += *length;
            continue;
        }
        if (isHemisphereLetter(ch)) {
            ++at;
            continue;
        }
        return "the character " + quoteText(text.substr(at, 1)) +
               " is not a digit, a mark or a hemisphere letter";
    }
    return std::nullopt;
}

} // namespace

bool isHemisphereLetter(char ch) {
    switch (ch) {
    case 'N':
    case 'S':
    case 'E':
    case 'W':
    case 'n':
    case 's':
    case 'e':
    case 'w':
        return true;
    default:
        return false;
    }
}

bool looksLikeDms(std::string_view text) {
    bool marked = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const bool letter = ('a' <= ch && ch <= 'z') || ('A' <= ch && ch <= 'Z');
        const bool mark = ch == 'd' || ch == 'D' || ch == 'm' || ch == 'M';
        if (letter && !isHemisphereLetter(ch) && !mark) {
            return false;
        }
        const bool exponent = (ch == 'e' || ch == 'E') && i + 1 < text.size() &&
                              (isNumeric(text[i + 1]) || text[i + 1] == '+' || text[i + 1] == '-');
        if ((letter && !exponent) || ch == '\'' || ch == '"' || ch == ':' ||
            static_cast<unsigned char>(ch) >= 0x80) {
            marked = true;
        }
    }
    return marked;
}

std::variant<DmsAngle, InputFailure> decodeDms(std::string_view text, Field field) {
    const auto failure = [&](std::string problem) {
        return InputFailure{.error = InputError::NotDms,
                            .field = field,
                            .text = std::string(text),
                            .detail = std::move(problem)};
    };
    if (text.size() > kMaxDmsLength) {
        return failure("longer than " + std::to_string(kMaxDmsLength) + " bytes");
    }
    const std::string prepared = lettersAsMarks(joinDmsParts(asciiBlanks(text)));
    if (auto problem = shapeProblem(prepared)) {
        return failure(std::move(*problem));
    }
    try {
        GeographicLib::DMS::flag flag = GeographicLib::DMS::NONE;
        const double value = GeographicLib::DMS::Decode(prepared, flag);
        if (!std::isfinite(value)) {
            return failure("it is not a finite number");
        }
        return DmsAngle{value, flag == GeographicLib::DMS::LATITUDE    ? Axis::Latitude
                               : flag == GeographicLib::DMS::LONGITUDE ? Axis::Longitude
                                                                       : Axis::None};
    } catch (const GeographicLib::GeographicErr& error) {
        return failure(error.what());
    }
}

} // namespace sheetfind
