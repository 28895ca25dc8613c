// SPDX-License-Identifier: MIT
// The web face's answers to any request, as respond() gets it once HTTP is read: no
// crash, a status of the ones HTTP has, and a JSON body wherever one is said.

#include "api.h"
#include "fuzz_check.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// A body of a few hundred features already makes each run slow.
constexpr std::size_t kMaxInput = 8192;
constexpr std::array kMethods{"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE"};

// "a=1&b=2" as the server's HTTP layer gives it, without percent-decoding, which the
// layer does before respond() sees the text.
std::map<std::string, std::string> queryOf(std::string_view text) {
    std::map<std::string, std::string> query;
    while (!text.empty()) {
        const std::size_t end = text.find('&');
        const std::string_view pair = text.substr(0, end);
        const std::size_t equals = pair.find('=');
        query.emplace(std::string(pair.substr(0, equals)),
                      equals == std::string_view::npos ? "" : std::string(pair.substr(equals + 1)));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return query;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the method and the Accept header; then "PATH?QUERY", a line
    // end, and the body.
    if (size == 0 || size > kMaxInput) {
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t lineEnd = text.find('\n');
    const std::string_view target = text.substr(0, lineEnd);
    const std::size_t mark = target.find('?');
    sheetfind::server::Request request{
        .method = kMethods[data[0] % kMethods.size()],
        .path = std::string(target.substr(0, mark)),
        .query = mark == std::string_view::npos ? std::map<std::string, std::string>()
                                                : queryOf(target.substr(mark + 1)),
        .body = lineEnd == std::string_view::npos ? "" : std::string(text.substr(lineEnd + 1)),
        .accept = data[0] / kMethods.size() % 2 == 0 ? "application/json" : "text/html"};
    const sheetfind::server::Response response = sheetfind::server::respond(request);
    check(response.status >= 200 && response.status <= 599);
    if (response.contentType.starts_with("application/json") ||
        response.contentType.starts_with("application/geo+json")) {
        check(nlohmann::json::accept(response.body));
    }
    return 0;
}
