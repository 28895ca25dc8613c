// SPDX-License-Identifier: MIT
#include "system_locale.h"

#include <langinfo.h>
#include <locale.h>

#include <string>

namespace sheetfind {
namespace {

// The symbols of a C library locale, which this takes ownership of.
NumberSymbols symbolsOf(locale_t locale) {
    NumberSymbols symbols;
    // LC_NUMERIC has no signs; the C library writes '-' and '+' in every locale.
    symbols.decimalPoint = nl_langinfo_l(RADIXCHAR, locale);
    symbols.groupSeparator = nl_langinfo_l(THOUSEP, locale);
    freelocale(locale);
    return symbols;
}

} // namespace

NumberSymbols userNumberSymbols() {
    locale_t locale = newlocale(LC_NUMERIC_MASK, "", nullptr);
    return locale != nullptr ? symbolsOf(locale) : NumberSymbols{};
}

std::optional<NumberSymbols> namedNumberSymbols(std::string_view name) {
    // To newlocale, "" names the environment's locale; and a NUL would cut the name.
    if (name.empty() || name.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string text(name);
    locale_t locale = newlocale(LC_NUMERIC_MASK, text.c_str(), nullptr);
    if (locale == nullptr) {
        locale = newlocale(LC_NUMERIC_MASK, (text + ".UTF-8").c_str(), nullptr);
    }
    if (locale == nullptr) {
        return std::nullopt;
    }
    return symbolsOf(locale);
}

} // namespace sheetfind
