// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace sheetref {

// A number as the shortest decimal text that reads back as the same double: 49.25,
// -123.5, 1e-300. What every message and every text output writes for a coordinate.
std::string decimalText(double value);

} // namespace sheetref
