// SPDX-License-Identifier: MIT
#include "number_reader.h"

#include "system_locale.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <utility>

namespace sheetfind {
namespace {

constexpr std::string_view kMinusSign = "\u2212";

bool isAsciiSpace(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

bool isDigit(char ch) {
    return '0' <= ch && ch <= '9';
}

// Blanks beside ASCII's that are trimmed around a number: NEL and Unicode's space,
// line and paragraph separators, which word processors and web pages paste.
constexpr std::array<std::string_view, 19> kUnicodeBlanks = {
    "\u0085", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003",
    "\u2004", "\u2005", "\u2006", "\u2007", "\u2008", "\u2009", "\u200A",
    "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"};

bool isAscii(char ch) {
    return static_cast<unsigned char>(ch) < 0x80;
}

// `text` without the blanks around it. The Unicode blanks are looked for only past
// ASCII, so that a plain number costs a byte comparison at each end.
std::string_view trimmed(std::string_view text) {
    const auto trimOnce = [&text]() {
        if (text.empty()) {
            return false;
        }
        if (isAsciiSpace(text.front())) {
            text.remove_prefix(1);
            return true;
        }
        if (isAsciiSpace(text.back())) {
            text.remove_suffix(1);
            return true;
        }
        for (const std::string_view blank : kUnicodeBlanks) {
            if (!isAscii(text.front()) && text.starts_with(blank)) {
                text.remove_prefix(blank.size());
                return true;
            }
            if (!isAscii(text.back()) && text.ends_with(blank)) {
                text.remove_suffix(blank.size());
                return true;
            }
        }
        return false;
    };
    while (trimOnce()) {
    }
    return text;
}

constexpr char32_t kLastCodePoint = 0x10FFFF;

bool isSurrogate(char32_t code) {
    return 0xD800 <= code && code <= 0xDFFF;
}

// Whether `text` is well-formed UTF-8: no overlong forms, no surrogates, nothing past
// U+10FFFF.
bool isUtf8(std::string_view text) {
    constexpr std::array<char32_t, 4> kLeast = {0, 0x80, 0x800, 0x10000};
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC0 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF8 ? 4
                                                 : 0;
        if (length == 0 || text.size() - at < length) {
            return false;
        }
        char32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = code << 6 | (next & 0x3Fu);
        }
        if (code < kLeast[length - 1] || code > kLastCodePoint || isSurrogate(code)) {
            return false;
        }
        at += length;
    }
    return true;
}

std::string utf8(char32_t code) {
    std::string text;
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | code >> 6);
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | code >> 12);
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | code >> 18);
        text += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
    return text;
}

// Whether a well-formed C number that std::from_chars found out of range is too
// large rather than too small: whether its first significant digit stands at a
// power of ten of at least 0 once the exponent is applied, making it at least 1.
bool isTooLarge(std::string_view c) {
    const auto digitsAt = [&c](std::size_t at) {
        std::size_t end = at;
        while (end < c.size() && isDigit(c[end])) {
            ++end;
        }
        return c.substr(at, end - at);
    };
    const std::string_view integer = digitsAt(c.starts_with('-') ? 1 : 0);
    std::size_t at = (c.starts_with('-') ? 1 : 0) + integer.size();
    const bool point = at < c.size() && c[at] == '.';
    const std::string_view fraction = point ? digitsAt(at + 1) : "";
    at += point ? 1 + fraction.size() : 0;

    // Lengths are far below 2^62 and the exponent is capped, so nothing overflows; a
    // capped exponent still outweighs any length.
    std::int64_t power = 0; // of the first significant digit
    if (const std::size_t lead = integer.find_first_not_of('0'); lead != integer.npos) {
        power = static_cast<std::int64_t>(integer.size() - lead) - 1;
    } else if (const std::size_t first = fraction.find_first_not_of('0'); first != fraction.npos) {
        power = -static_cast<std::int64_t>(first) - 1;
    }
    constexpr std::int64_t kExponentCap = 100'000'000'000'000'000;
    std::int64_t exponent = 0;
    if (at < c.size() && c[at] == 'e') {
        const bool negative = c.substr(at + 1).starts_with('-');
        for (const char digit : digitsAt(at + (negative ? 2 : 1))) {
            exponent = std::min((exponent * 10) + (digit - '0'), kExponentCap);
        }
        exponent = negative ? -exponent : exponent;
    }
    return power + exponent >= 0;
}

} // namespace

struct NumberReader::Locale {
    explicit Locale(NumberSymbols from) : symbols(std::move(from)) {
        const NumberSymbols c;
        for (auto [symbol, fallback] : {std::pair{&symbols.decimalPoint, &c.decimalPoint},
                                        std::pair{&symbols.groupSeparator, &c.groupSeparator},
                                        std::pair{&symbols.negativeSign, &c.negativeSign},
                                        std::pair{&symbols.positiveSign, &c.positiveSign}}) {
            if (!isUtf8(*symbol)) {
                *symbol = *fallback;
            }
        }
        const char32_t zero = symbols.zeroDigit;
        if (zero != U'0' && zero <= kLastCodePoint - 9 && !isSurrogate(zero) &&
            !isSurrogate(zero + 9)) {
            for (char32_t d = 0; d < 10; ++d) {
                nativeDigits[d] = utf8(zero + d);
            }
        }
        dotIsDecimal = symbols.decimalPoint != "." && symbols.groupSeparator != ".";
        dotAccepted = symbols.decimalPoint == "." || dotIsDecimal;
        commaIsDecimal = symbols.decimalPoint == ",";
        style.decimalPoint = symbols.decimalPoint;
        style.minusSign = symbols.negativeSign;
    }

    // A plain ASCII number in C notation, or nullopt for anything that needs the
    // locale's symbols.
    std::optional<double> readQuick(std::string_view text) const;
    std::variant<double, InputError> readGeneral(std::string_view text) const;

    NumberSymbols symbols;
    // The locale's native digits as UTF-8, all empty when it writes ASCII digits.
    std::array<std::string, 10> nativeDigits;
    bool dotIsDecimal = false; // '.' accepted beside the locale's own separator
    bool dotAccepted = false;  // '.' is a decimal separator here, one way or the other
    bool commaIsDecimal = false;
    NumberStyle style;
};

std::optional<double> NumberReader::Locale::readQuick(std::string_view text) const {
    while (!text.empty() && isAsciiSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isAsciiSpace(text.back())) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    // std::from_chars also reads "inf", "nan" and hexadecimal-free forms the general
    // grammar refuses; a number must start with a digit or a decimal point here.
    const std::size_t start = !text.empty() && text.front() == '-' ? 1 : 0;
    if (start >= text.size() || !(isDigit(text[start]) || text[start] == '.')) {
        return std::nullopt;
    }
    if (!dotAccepted && text.find('.') != std::string_view::npos) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::variant<double, InputError> NumberReader::Locale::readGeneral(std::string_view text) const {
    text = trimmed(text);
    // The number rewritten in the C locale's notation: '-', ASCII digits, '.', 'e'.
    // Each character of the text gives at most one byte of it, so typed coordinates
    // fit on the stack; only pathological input reaches the heap.
    std::array<char, 64> local{};
    std::string heap;
    char* c = local.data();
    if (text.size() > local.size()) {
        heap.resize(text.size());
        c = heap.data();
    }
    std::size_t size = 0;
    std::size_t at = 0;

    const auto take = [&](std::string_view symbol) {
        if (symbol.empty() || !text.substr(at).starts_with(symbol)) {
            return false;
        }
        at += symbol.size();
        return true;
    };
    // Takes the digit at `at` and returns it as ASCII, or returns 0 when there is none.
    const auto digit = [&]() -> char {
        if (at < text.size() && isDigit(text[at])) {
            return text[at++];
        }
        for (std::size_t d = 0; d < nativeDigits.size(); ++d) {
            if (take(nativeDigits[d])) {
                return static_cast<char>('0' + d);
            }
        }
        return 0;
    };
    const auto digits = [&]() {
        std::size_t count = 0;
        for (char d = digit(); d != 0; d = digit()) {
            c[size++] = d;
            ++count;
        }
        return count;
    };
    const auto sign = [&]() {
        if (take("-") || take(kMinusSign)) {
            c[size++] = '-';
        } else if (!take("+")) {
            if (take(symbols.negativeSign)) {
                c[size++] = '-';
            } else {
                take(symbols.positiveSign);
            }
        }
    };

    sign();
    std::size_t mantissaDigits = digits();
    if (take(symbols.decimalPoint) || (dotIsDecimal && take("."))) {
        c[size++] = '.';
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0) {
        return InputError::NotANumber;
    }
    if (take("e") || take("E")) {
        c[size++] = 'e';
        sign();
        if (digits() == 0) {
            return InputError::NotANumber;
        }
    }
    if (at != text.size()) {
        return InputError::NotANumber;
    }

    // The text is now a well-formed C number, which std::from_chars converts,
    // correctly rounded, or finds out of range either way.
    double value = 0;
    const auto [end, status] = std::from_chars(c, c + size, value);
    if (status == std::errc::result_out_of_range) {
        const std::string_view cText(c, size);
        if (isTooLarge(cText)) {
            return InputError::TooLarge;
        }
        return cText.starts_with('-') ? -0.0 : 0.0;
    }
    if (status != std::errc() || end != c + size) {
        return InputError::NotANumber;
    }
    return value;
}

NumberReader::NumberReader() : NumberReader(userNumberSymbols()) {}

NumberReader::NumberReader(NumberSymbols symbols)
    : m_locale(std::make_shared<Locale>(std::move(symbols))) {}

NumberReader NumberReader::named(std::string_view localeName) {
    return NumberReader(namedNumberSymbols(localeName).value_or(NumberSymbols{}));
}

std::variant<double, InputError> NumberReader::read(std::string_view text, Path path) const {
    if (path == Path::Quick) {
        if (const std::optional<double> value = m_locale->readQuick(text)) {
            return *value;
        }
    }
    return m_locale->readGeneral(text);
}

std::variant<double, InputFailure> NumberReader::read(std::string_view text, Field field) const {
    const auto value = read(text);
    if (const auto* error = std::get_if<InputError>(&value)) {
        return failure(*error, field, text);
    }
    return std::get<double>(value);
}

std::optional<std::pair<double, double>> NumberReader::readPlainLine(std::string_view line) const {
    if (!m_locale->dotAccepted && line.find('.') != std::string_view::npos) {
        return std::nullopt; // readQuick reads no such number either
    }
    const char* at = line.data();
    const char* const end = at + line.size();
    const auto skipBlanks = [&] {
        while (at < end && (*at == ' ' || *at == '\t')) {
            ++at;
        }
    };
    // As readQuick reads a field: a digit or a point first, after a minus sign.
    const auto number = [&](double& value) {
        const char* first = at < end && *at == '-' ? at + 1 : at;
        if (first >= end || !(isDigit(*first) || *first == '.')) {
            return false;
        }
        const auto [next, status] = std::from_chars(at, end, value);
        at = next;
        return status == std::errc();
    };
    std::pair<double, double> pair;
    skipBlanks();
    if (!number(pair.first)) {
        return std::nullopt;
    }
    const char* const afterFirst = at;
    skipBlanks();
    if (at < end && *at == ',' && !m_locale->commaIsDecimal) {
        ++at;
        skipBlanks();
    } else if (at == afterFirst) {
        return std::nullopt; // "49.25-123.1" is one field
    }
    if (!number(pair.second)) {
        return std::nullopt;
    }
    skipBlanks();
    if (at != end) {
        return std::nullopt;
    }
    return pair;
}

InputFailure NumberReader::failure(InputError error, Field field, std::string_view text) const {
    return InputFailure{
        .error = error, .field = field, .text = std::string(text), .style = m_locale->style};
}

const NumberStyle& NumberReader::style() const {
    return m_locale->style;
}

bool NumberReader::commaIsDecimal() const {
    return m_locale->commaIsDecimal;
}

} // namespace sheetfind
