// SPDX-License-Identifier: MIT
#pragma once

#include "api.h"

#include <optional>
#include <string_view>

// The map page and what it loads (its script and style, Leaflet, the offline base
// layer), built into the program: nothing is read from disk or fetched at run time.
namespace sheetfind::server {

// The asset at `path` ("/", "/static/app.js"...), or nullopt: only the page's own
// assets are ever served, whatever the path holds ("..", encoded or not).
std::optional<Response> asset(std::string_view path);

} // namespace sheetfind::server
