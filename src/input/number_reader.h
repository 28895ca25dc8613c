// SPDX-License-Identifier: MIT
#pragma once

#include "input_error.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace sheetfind {

// How a locale writes numbers, as UTF-8. The defaults are the C locale's.
struct NumberSymbols {
    std::string decimalPoint = ".";
    std::string groupSeparator;
    std::string negativeSign = "-";
    std::string positiveSign = "+";
    char32_t zeroDigit = U'0'; // the first of the locale's ten native digits
};

// Reads a decimal number as a user types it in a given locale.
//
// Accepted: blanks around the number, an optional sign (ASCII, the locale's own, or
// the minus sign U+2212 that web pages paste), digits with at most one decimal
// separator, and an optional exponent ("e" or "E", a sign, digits). The decimal
// separator is the locale's; '.' is accepted as well when the locale uses another
// one and does not group digits with '.', because GPS units and web maps write 49.25
// in every country. Digits are ASCII or the locale's native ones.
//
// Rejected as NotANumber: group separators ("49,250" must never become 49250),
// "inf" and "nan", the empty text, degrees-minutes-seconds and anything else. A
// number too large for a double is TooLarge; one too small to tell from zero reads
// as zero, keeping its sign, which is what it is to the precision of a coordinate.
//
// Text is UTF-8. Plain ASCII numbers, nearly every number of a batch file, are read
// straight from the bytes with std::from_chars; everything else is first rewritten
// in C notation by the locale's symbols, with the same result.
class NumberReader {
public:
    // The user's locale: LC_ALL, LC_NUMERIC or LANG as the C library knows it, or
    // the user's regional settings on Windows.
    NumberReader();
    // A locale whose symbols come from elsewhere, such as Qt's for the window. A
    // symbol that is not UTF-8 is replaced by the C locale's.
    explicit NumberReader(NumberSymbols symbols);
    // A locale by name, such as "fr_CA" (found as "fr_CA.UTF-8" too, and as "fr-CA"
    // on Windows) or "C". A name the platform lacks reads as the C locale.
    static NumberReader named(std::string_view localeName);

    // `Quick` reads plain ASCII numbers from the bytes, `General` always rewrites the
    // text by the locale's symbols. Both give the same result; the choice exists so that tests can
    // compare them.
    enum class Path { Quick, General };

    // The number, or InputError::NotANumber or InputError::TooLarge.
    std::variant<double, InputError> read(std::string_view text, Path path = Path::Quick) const;

    // The same, with the failure filled in for `field`.
    std::variant<double, InputFailure> read(std::string_view text, Field field) const;

    // A line of two plain decimals, "49.25 -123.1" or "49.25, -123.1" (where a comma is
    // not the decimal separator), as nearly every line of a batch is, read in one pass:
    // the numbers splitFields and read() would give. nullopt for any other line, which
    // they then read, with their messages.
    std::optional<std::pair<double, double>> readPlainLine(std::string_view line) const;

    // A failure of this reader, with its number style for the message's example.
    InputFailure failure(InputError error, Field field, std::string_view text) const;

    const NumberStyle& style() const;
    // Whether a comma is this locale's decimal separator, so that it cannot separate
    // two numbers on a line.
    bool commaIsDecimal() const;

private:
    struct Locale;
    std::shared_ptr<const Locale> m_locale;
};

} // namespace sheetfind
