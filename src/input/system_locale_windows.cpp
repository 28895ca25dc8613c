// SPDX-License-Identifier: MIT
#include "system_locale.h"

#include "windows_text.h"

#include <windows.h>

#include <string>

namespace sheetfind {
namespace {

// One value of the locale's regional settings as UTF-8, or nullopt when Windows
// has none for it.
std::optional<std::string> info(const wchar_t* locale, LCTYPE type) {
    wchar_t value[LOCALE_NAME_MAX_LENGTH];
    const int length = GetLocaleInfoEx(locale, type, value, LOCALE_NAME_MAX_LENGTH);
    if (length <= 0) {
        return std::nullopt;
    }
    return utf8(std::wstring_view(value, static_cast<std::size_t>(length - 1))); // no NUL
}

std::optional<NumberSymbols> symbolsOf(const wchar_t* locale) {
    const auto decimalPoint = info(locale, LOCALE_SDECIMAL);
    if (!decimalPoint) {
        return std::nullopt;
    }
    NumberSymbols symbols;
    symbols.decimalPoint = *decimalPoint;
    symbols.groupSeparator = info(locale, LOCALE_STHOUSAND).value_or("");
    // Windows leaves the positive sign empty in most locales; numbers are still
    // written with '+' there.
    if (const auto minus = info(locale, LOCALE_SNEGATIVESIGN); minus && !minus->empty()) {
        symbols.negativeSign = *minus;
    }
    if (const auto plus = info(locale, LOCALE_SPOSITIVESIGN); plus && !plus->empty()) {
        symbols.positiveSign = *plus;
    }
    // Windows shows native digits only by choice of the user; what is typed and
    // pasted is ASCII, which every reader takes anyway.
    return symbols;
}

} // namespace

NumberSymbols userNumberSymbols() {
    return symbolsOf(LOCALE_NAME_USER_DEFAULT).value_or(NumberSymbols{});
}

std::optional<NumberSymbols> namedNumberSymbols(std::string_view name) {
    // Windows names locales "fr-CA"; the Linux spelling "fr_CA.UTF-8" is taken too.
    if (name.empty() || name.size() >= LOCALE_NAME_MAX_LENGTH ||
        name.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    std::wstring wide;
    for (const char ch : name.substr(0, name.find('.'))) {
        wide += static_cast<wchar_t>(ch == '_' ? '-' : static_cast<unsigned char>(ch));
    }
    if (wide == L"C" || wide == L"POSIX") {
        return NumberSymbols{};
    }
    return symbolsOf(wide.c_str());
}

} // namespace sheetfind
