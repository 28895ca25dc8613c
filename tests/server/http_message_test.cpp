// SPDX-License-Identifier: MIT
// Requests read from bytes as a client sends them: whole, or a byte at a time, give
// the same request; what HTTP/1.1 does not allow is refused with its status.

#include "http_message.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using sheetfind::server::HttpRefusal;
using sheetfind::server::Request;
using sheetfind::server::RequestParser;

// The status a request is refused with, or 200 when it is read whole (its body
// then in `body`).
int readByteByByte(const std::string& bytes, std::string* body = nullptr) {
    RequestParser parser;
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
        const RequestParser::State state = parser.parse(std::string_view(bytes).substr(0, size));
        if (state == RequestParser::State::Refused) {
            return parser.refusal().status;
        }
        if (state == RequestParser::State::Complete) {
            EXPECT_EQ(parser.consumed(), size) << bytes;
            if (body != nullptr) {
                *body = parser.request().body;
            }
            return 200;
        }
    }
    return 0; // never whole
}

TEST(HttpMessage, RequestsAreReadOrRefusedAsTheyArrive) {
    const std::string post = "POST /api/locate HTTP/1.1\r\nHost: x\r\n";
    struct Row {
        std::string bytes;
        int status;
        std::string body;
    };
    const Row rows[] = {
        {"\r\n\nGET / HTTP/1.1\nHost: x\n\n", 200, ""},
        {post + "Content-Length: 003\r\n\r\nabc", 200, "abc"},
        {post + "Transfer-Encoding: Chunked\r\n\r\n2;ext=1\r\nab\n1\r\nc\r\n0\r\nT: v\r\n\r\n", 200,
         "abc"},
        {post + "Transfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n", 400, ""},
        {post + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", 400, ""},
        {post + "Transfer-Encoding: chunked\r\n\r\n100001\r\n", 413, ""},
        {post + "Transfer-Encoding: chunked, chunked\r\n\r\n", 501, ""},
        {post + "Content-Length: 99999999999999999999\r\n\r\n", 413, ""},
        {post + "X: a\r\n folded\r\n\r\n", 400, ""},
        {post + "X : a\r\n\r\n", 400, ""},
        {post + "Expect: a-miracle\r\n\r\n", 417, ""},
        {"GET /" + std::string(9000, 'a') + " HTTP/1.1\r\n", 414, ""},
        {"GET  / HTTP/1.1\r\nHost: x\r\n\r\n", 400, ""},
        {"G(T / HTTP/1.1\r\nHost: x\r\n\r\n", 400, ""},
    };
    for (const Row& row : rows) {
        std::string body;
        EXPECT_EQ(readByteByByte(row.bytes, &body), row.status) << row.bytes.substr(0, 80);
        EXPECT_EQ(body, row.body) << row.bytes.substr(0, 80);
    }
}

TEST(HttpMessage, TargetsAreDecodedOrRefused) {
    const auto read = [](const std::string& target) {
        RequestParser parser;
        EXPECT_EQ(parser.parse("GET " + target + " HTTP/1.1\r\nHost: h:1\r\n\r\n"),
                  RequestParser::State::Complete);
        return sheetfind::server::requestOf(parser.request());
    };
    const Request request = std::get<Request>(read("http://proxy/a%20b?x=1+2&x=3&y=%41#f"));
    EXPECT_EQ(request.path, "/a b");
    EXPECT_EQ(request.query, (std::map<std::string, std::string>{{"x", "1 2"}, {"y", "A"}}));
    EXPECT_EQ(request.origin, "http://h:1");
    for (const std::string bad : {"/a%2", "/a%zz", "/?a=%g1", "relative"}) {
        EXPECT_EQ(std::get<HttpRefusal>(read(bad)).status, 400) << bad;
    }
}

} // namespace
