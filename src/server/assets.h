// SPDX-License-Identifier: MIT
#pragma once

#include "api.h"

#include <optional>
#include <string>
#include <string_view>

// The map page and what it loads (its script and style, Leaflet, the offline base
// layer), built into the program: nothing is read from disk or fetched at run time.
namespace sheetfind::server {

// The asset at `path` ("/", "/static/app.js"...), or nullopt: only the page's own
// assets are ever served, whatever the path holds ("..", encoded or not).
std::optional<Response> asset(std::string_view path);

// GET /static/config.json: what the page takes from the server's settings, as
// {"tiles": "https://tile.example/{z}/{x}/{y}.png"}, or null tiles when offline.
Response pageConfig(const std::string& tiles);

} // namespace sheetfind::server
