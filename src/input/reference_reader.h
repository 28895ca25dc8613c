// SPDX-License-Identifier: MIT
#pragma once

#include "input_error.h"
#include "reference.h"

#include <string_view>
#include <variant>

namespace sheetfind {

// An NTS reference as people write it ("092G06", "92g6", "92 G/6", "340 D15"), or
// NotAReference with the grid's own account of what is wrong as the detail.
std::variant<sheetref::Reference, InputFailure> readReference(std::string_view text);

} // namespace sheetfind
