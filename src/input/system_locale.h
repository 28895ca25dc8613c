// SPDX-License-Identifier: MIT
#pragma once

#include "number_reader.h"

#include <optional>
#include <string_view>

// Where the platform keeps the user's way of writing numbers: the C library's
// locales on Linux (LC_ALL, LC_NUMERIC, LANG), the regional settings on Windows.
// One file per platform answers; NumberReader and the Win32 window ask here.
namespace sheetfind {

// The user's number symbols; the C locale's where the platform has none.
NumberSymbols userNumberSymbols();

// The symbols of a locale named as the platform names them ("fr_CA" or
// "fr_CA.UTF-8" on Linux, "fr-CA" or "fr_CA" on Windows), or nullopt when the
// platform does not know it.
std::optional<NumberSymbols> namedNumberSymbols(std::string_view name);

} // namespace sheetfind
