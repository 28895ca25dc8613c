// SPDX-License-Identifier: MIT
#include "assets.h"

#include "embedded_assets.h"

#include <nlohmann/json.hpp>

#include <array>
#include <utility>

namespace sheetfind::server {
namespace {

constexpr std::string_view kIndex = "/static/index.html";

std::string contentTypeOf(std::string_view path) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kTypes{{
        {".html", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".json", "application/json"},
        {".png", "image/png"},
    }};
    for (const auto& [extension, type] : kTypes) {
        if (path.ends_with(extension)) {
            return std::string(type);
        }
    }
    return "application/octet-stream";
}

} // namespace

std::optional<Response> asset(std::string_view path) {
    const std::string_view name = path == "/" ? kIndex : path;
    // Only a name the table holds, compared whole: no path is ever joined or opened.
    for (const EmbeddedAsset& each : embeddedAssets()) {
        if (each.path == name) {
            Response response{.contentType = contentTypeOf(name), .body = std::string(each.bytes)};
            // A new version of the program may bring new files under the same names:
            // the browser asks each time, and its ETag makes the answer a 304.
            response.headers.emplace_back("Cache-Control", "no-cache");
            return response;
        }
    }
    return std::nullopt;
}

Response pageConfig(const std::string& tiles) {
    nlohmann::json config = {
        {"tiles", tiles.empty() ? nlohmann::json(nullptr) : nlohmann::json(tiles)}};
    Response response{.body = config.dump()};
    // It changes with the server's settings, unlike the files beside it.
    response.headers.emplace_back("Cache-Control", "no-cache");
    return response;
}

} // namespace sheetfind::server
