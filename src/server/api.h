// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The web face's answers, apart from any socket: a request in, a response out. The
// HTTP server (server.h) only carries them; tests call respond() directly.
namespace sheetfind::server {

struct Request {
    std::string method; // "GET", "POST"...
    std::string path;   // decoded, without the query: "/api/locate"
    std::map<std::string, std::string> query;
    std::string body;
    std::string accept;      // the Accept header
    std::string ifNoneMatch; // the If-None-Match header
    // Where the client reached the server, "http://127.0.0.1:8080", which links in
    // answers start with; empty, links are relative.
    std::string origin;
};

struct Response {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// The largest request body read, and the most features one answer holds.
inline constexpr std::size_t kMaxBodyBytes = 1024 * 1024;
inline constexpr std::size_t kMaxCellsPerAnswer = 10'000;

// Answers one request: the JSON API under /api/, with the engine's messages for bad
// input (400 and {"error": "..."}), 404 for an unknown path and 405 for a method the
// path does not take. Every answer allows any origin (CORS); an answer about cells,
// which never change, can be cached and carries an ETag.
Response respond(const Request& request);

// What every answer carries, respond()'s and the HTTP layer's own alike: one
// Access-Control-Allow-Origin, and Vary by what the answer to `path` varies with.
void addCommonHeaders(Response& response, std::string_view path);

// An error as respond() writes one, {"error": "..."}, with the common headers: for
// what the HTTP layer refuses before there is a request to answer.
Response errorResponse(int status, const std::string& message);

} // namespace sheetfind::server
