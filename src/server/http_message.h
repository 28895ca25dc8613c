// SPDX-License-Identifier: MIT
#pragma once

#include "api.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// HTTP/1.1 messages as bytes on a connection (RFC 9112), apart from any socket: a
// request read from the bytes that arrive, whenever they arrive, and an answer written
// as bytes. Anything that a proxy and this server could read two ways is refused.
namespace sheetfind::server {

// The longest request line (method, target and version) and the longest head
// (request line and headers together) read; a longer one is refused.
inline constexpr std::size_t kMaxRequestLineBytes = 8 * 1024;
inline constexpr std::size_t kMaxHeadBytes = 16 * 1024;
inline constexpr std::size_t kMaxHeaders = 100;

struct HttpRequest {
    std::string method;
    std::string target; // as sent: "/api/locate?lat=49.25&lon=-123.1"
    bool http10 = false;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name (case ignored), or "" when there is none.
    std::string_view header(std::string_view name) const;
    // Whether the connection may carry another request after this one.
    bool keepAlive() const;
    // Whether the client waits for "100 Continue" before it sends the body.
    bool expectsContinue() const;
    // Whether the answer may be sent compressed with gzip (Accept-Encoding).
    bool acceptsGzip() const;
};

// Why a request is refused before it is answered: a status and a reason for a person.
struct HttpRefusal {
    int status = 400;
    std::string reason;
};

// Reads one request from the bytes that have arrived on a connection, call after call
// as more arrive, without reading any byte twice. The bytes are always the same
// buffer, grown at its end, starting at the request's first byte; once a request is
// whole, the caller removes its bytes (consumed()) and calls reset() for the next,
// which may already be there (pipelining).
class RequestParser {
public:
    enum class State { Incomplete, Complete, Refused };

    State parse(std::string_view bytes);
    // Once Incomplete: whether the head has been read and the body is awaited.
    bool headRead() const { return m_headEnd > 0; }
    // Once Complete.
    const HttpRequest& request() const { return m_request; }
    HttpRequest takeRequest() { return std::move(m_request); }
    std::size_t consumed() const { return m_position; }
    // Once Refused.
    const HttpRefusal& refusal() const { return m_refusal; }
    void reset() { *this = RequestParser(); }

private:
    State refuse(int status, std::string reason);
    State readHead(std::string_view bytes);
    State readChunks(std::string_view bytes);

    HttpRequest m_request;
    HttpRefusal m_refusal;
    std::size_t m_scanned = 0;  // bytes searched for the head's end so far
    std::size_t m_headEnd = 0;  // where the body starts, once the head is read
    std::size_t m_position = 0; // the next byte to read of the body
    bool m_chunked = false;
    std::size_t m_length = 0; // Content-Length, when not chunked
    // Where a chunked body's reading is.
    enum class ChunkPart { Size, Data, DataEnd, Trailer };
    ChunkPart m_chunkPart = ChunkPart::Size;
    std::size_t m_chunkLeft = 0;
    std::size_t m_trailerBytes = 0;
};

// The request respond() takes, from what was read: the path decoded, the query split
// and decoded (the first of a repeated name holds), the headers it looks at. A
// target that is not a path, or a path badly percent-encoded, is refused.
std::variant<Request, HttpRefusal> requestOf(const HttpRequest& http);

// What to say about the connection in an answer's head.
enum class Persistence { KeepAlive, Close };

// Appends the bytes of `response` to `out`: its status line, a Date, its framing, its
// headers and its body (none to HEAD, nor with 204 or 304), compressed with gzip when
// the request accepts it and the body is text worth compressing. `request` is null
// for an answer to bytes that were no request.
void writeResponse(std::string& out, const Response& response, const HttpRequest* request,
                   Persistence persistence);

// "HTTP/1.1 100 Continue", for a client that waits for it before sending its body.
inline constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

} // namespace sheetfind::server
