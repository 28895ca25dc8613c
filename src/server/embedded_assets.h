// SPDX-License-Identifier: MIT
#pragma once

#include <span>
#include <string_view>

// The files of the map page, built into the program by embed_assets.cmake.
namespace sheetfind::server {

struct EmbeddedAsset {
    std::string_view path; // as served: "/static/app.js"
    std::string_view bytes;
};

std::span<const EmbeddedAsset> embeddedAssets();

} // namespace sheetfind::server
