// SPDX-License-Identifier: MIT
#include "assets.h"

namespace sheetfind::server {

std::optional<Response> asset(std::string_view) {
    return std::nullopt;
}

} // namespace sheetfind::server
