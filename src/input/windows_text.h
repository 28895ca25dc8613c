// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

// Windows speaks UTF-16 and Sheetfind UTF-8: the one conversion each way, for
// the Windows build (arguments, regional settings, the window's texts).
namespace sheetfind {

// Invalid sequences become U+FFFD.
std::string utf8(std::wstring_view text);
std::wstring utf16(std::string_view text);

} // namespace sheetfind
