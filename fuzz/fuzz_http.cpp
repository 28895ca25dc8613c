// SPDX-License-Identifier: MIT
// The HTTP layer's reading of any bytes a client sends: no crash, no byte read that
// was not sent, the same requests whether the bytes arrive at once or in two parts,
// every refusal a status HTTP has, and each request read then answered as the server
// answers it.

#include "api.h"
#include "fuzz_check.h"
#include "http_message.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

using sheetfind::server::RequestParser;

// A body of a few hundred features already makes each run slow.
constexpr std::size_t kMaxInput = 32 * 1024;
// Pipelined requests read from one input.
constexpr int kMaxRequests = 8;

bool sameRequest(const sheetfind::server::HttpRequest& a, const sheetfind::server::HttpRequest& b) {
    return a.method == b.method && a.target == b.target && a.http10 == b.http10 &&
           a.headers == b.headers && a.body == b.body;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte says where the bytes are cut in two; the rest are the bytes.
    if (size == 0 || size > kMaxInput) {
        return 0;
    }
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    for (int requests = 0; requests < kMaxRequests && !bytes.empty(); ++requests) {
        RequestParser whole;
        const RequestParser::State state = whole.parse(bytes);
        RequestParser parts;
        const std::size_t cut = data[0] * bytes.size() / 255;
        RequestParser::State split = parts.parse(bytes.substr(0, cut));
        if (split == RequestParser::State::Incomplete) {
            split = parts.parse(bytes);
        }
        check(split == state);
        if (state == RequestParser::State::Incomplete) {
            break;
        }
        if (state == RequestParser::State::Refused) {
            check(whole.refusal().status >= 400 && whole.refusal().status <= 599);
            check(parts.refusal().status == whole.refusal().status);
            break;
        }
        check(whole.consumed() > 0 && whole.consumed() <= bytes.size());
        check(parts.consumed() == whole.consumed());
        check(sameRequest(parts.request(), whole.request()));
        check(whole.request().body.size() <= sheetfind::server::kMaxBodyBytes);
        const auto request = sheetfind::server::requestOf(whole.request());
        if (const auto* read = std::get_if<sheetfind::server::Request>(&request)) {
            const sheetfind::server::Response response = sheetfind::server::respond(*read);
            check(response.status >= 100 && response.status <= 599);
            std::string out;
            sheetfind::server::writeResponse(out, response, &whole.request(),
                                             sheetfind::server::Persistence::KeepAlive);
            check(out.starts_with("HTTP/1.1 "));
        }
        bytes.remove_prefix(whole.consumed());
    }
    return 0;
}
