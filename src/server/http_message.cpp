// SPDX-License-Identifier: MIT
#include "http_message.h"

#include "quote.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <ctime>

namespace sheetfind::server {
namespace {

constexpr std::string_view kTokenMarks = "!#$%&'*+-.^_`|~";
// The longest line of a chunk's size and its extensions.
constexpr std::size_t kMaxChunkLineBytes = 1024;

bool isToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char ch) {
        return std::isalnum(static_cast<unsigned char>(ch)) != 0 ||
               kTokenMarks.find(ch) != std::string_view::npos;
    });
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char ch) { return ch == ' ' || ch == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The items of a comma-separated header value, each trimmed, "gzip;q=0" kept whole.
template <class Each> void forEachItem(std::string_view value, Each each) {
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        const std::string_view item = trimmed(value.substr(0, comma));
        if (!item.empty()) {
            each(item);
        }
        value.remove_prefix(comma == std::string_view::npos ? value.size() : comma + 1);
    }
}

// A line of the head without its end (LF, or CRLF).
std::string_view withoutLineEnd(std::string_view line) {
    return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
}

std::optional<std::string> percentDecoded(std::string_view text, bool plusIsSpace) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            unsigned value = 0;
            const char* first = text.data() + i + 1;
            if (i + 2 >= text.size()) {
                return std::nullopt;
            }
            const auto [end, error] = std::from_chars(first, first + 2, value, 16);
            if (error != std::errc() || end != first + 2) {
                return std::nullopt;
            }
            decoded += static_cast<char>(value);
            i += 2;
        } else {
            decoded += plusIsSpace && text[i] == '+' ? ' ' : text[i];
        }
    }
    return decoded;
}

// The origin a client reached, from its Host header: a name or address and a port,
// nothing else, since links carry it back to the client. Empty for anything else,
// and links are then relative.
std::string originOf(std::string_view host) {
    constexpr std::size_t kLongestHost = 255 + 7; // a DNS name, ':' and a port
    const bool plain = !host.empty() && host.size() <= kLongestHost &&
                       std::all_of(host.begin(), host.end(), [](char ch) {
                           return std::isalnum(static_cast<unsigned char>(ch)) != 0 ||
                                  std::string_view(".-:[]").find(ch) != std::string_view::npos;
                       });
    return plain ? "http://" + std::string(host) : std::string();
}

std::string_view reasonPhrase(int status) {
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 406:
        return "Not Acceptable";
    case 408:
        return "Request Timeout";
    case 412:
        return "Precondition Failed";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 417:
        return "Expectation Failed";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Unknown";
    }
}

// Text is worth compressing from about a packet's size; images are compressed already.
constexpr std::size_t kSmallestCompressed = 1024;
bool compressible(std::string_view contentType) {
    return contentType.starts_with("text/") || contentType.starts_with("application/json") ||
           contentType.starts_with("application/geo+json") ||
           contentType.starts_with("application/javascript") ||
           contentType.starts_with("image/svg+xml");
}

std::optional<std::string> gzipped(std::string_view body) {
    z_stream stream{};
    constexpr int kGzipWindow = 15 + 16; // the largest window, with gzip's header
    constexpr int kLevel = 5;            // most of the gain at a fraction of level 9's cost
    if (deflateInit2(&stream, kLevel, Z_DEFLATED, kGzipWindow, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return std::nullopt;
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(body.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
    stream.avail_in = static_cast<uInt>(body.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) {
        return std::nullopt;
    }
    return out;
}

// "Thu, 10 Dec 2026 06:30:25 GMT"
std::string httpDate() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[40];
    const std::size_t size = std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return std::string(text, size);
}

} // namespace

std::string_view HttpRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (sameName(key, name)) {
            return value;
        }
    }
    return {};
}

bool HttpRequest::keepAlive() const {
    bool close = http10;
    forEachItem(header("Connection"), [&](std::string_view item) {
        if (sameName(item, "close")) {
            close = true;
        } else if (sameName(item, "keep-alive")) {
            close = false;
        }
    });
    return !close;
}

bool HttpRequest::expectsContinue() const {
    return !http10 && sameName(header("Expect"), "100-continue");
}

bool HttpRequest::acceptsGzip() const {
    bool accepted = false;
    forEachItem(header("Accept-Encoding"), [&](std::string_view item) {
        const std::size_t semicolon = item.find(';');
        const std::string_view coding = trimmed(item.substr(0, semicolon));
        if (!sameName(coding, "gzip") && !sameName(coding, "x-gzip") && coding != "*") {
            return;
        }
        // "gzip;q=0" refuses it; any other weight accepts it.
        std::string_view weight =
            semicolon == std::string_view::npos ? "" : trimmed(item.substr(semicolon + 1));
        const bool refused = weight.starts_with("q=") &&
                             weight.substr(2).find_first_not_of("0.") == std::string_view::npos;
        accepted = !refused;
    });
    return accepted;
}

RequestParser::State RequestParser::refuse(int status, std::string reason) {
    m_refusal = HttpRefusal{status, std::move(reason)};
    return State::Refused;
}

RequestParser::State RequestParser::parse(std::string_view bytes) {
    if (m_headEnd == 0) {
        const State head = readHead(bytes);
        if (head != State::Complete) {
            return head;
        }
    }
    if (m_chunked) {
        return readChunks(bytes);
    }
    if (bytes.size() - m_headEnd < m_length) {
        return State::Incomplete;
    }
    m_request.body.assign(bytes.substr(m_headEnd, m_length));
    m_position = m_headEnd + m_length;
    return State::Complete;
}

RequestParser::State RequestParser::readHead(std::string_view bytes) {
    // Empty lines before a request are skipped, as RFC 9112 allows.
    std::size_t start = 0;
    while (start < bytes.size() && (bytes[start] == '\r' || bytes[start] == '\n')) {
        ++start;
    }
    const std::size_t from = std::max(m_scanned, start);
    std::size_t end = std::string_view::npos;
    for (std::size_t at = bytes.find('\n', from); at != std::string_view::npos;
         at = bytes.find('\n', at + 1)) {
        const std::string_view before = bytes.substr(start, at - start);
        if (before.ends_with("\n") || before.ends_with("\n\r")) {
            end = at + 1;
            break;
        }
    }
    const std::size_t lineEnd = bytes.find('\n', start);
    const std::size_t lineSize =
        (lineEnd == std::string_view::npos ? bytes.size() : lineEnd) - start;
    if (lineSize > kMaxRequestLineBytes) {
        return refuse(414, "the request line is longer than " +
                               std::to_string(kMaxRequestLineBytes) + " bytes");
    }
    if (end == std::string_view::npos) {
        if (bytes.size() - start > kMaxHeadBytes) {
            return refuse(431, "the request's headers are longer than " +
                                   std::to_string(kMaxHeadBytes) + " bytes");
        }
        m_scanned = bytes.size() > 2 ? bytes.size() - 2 : 0;
        return State::Incomplete;
    }
    if (end - start > kMaxHeadBytes) {
        return refuse(431, "the request's headers are longer than " +
                               std::to_string(kMaxHeadBytes) + " bytes");
    }

    // The request line: METHOD SP TARGET SP HTTP/1.x
    const std::string_view line = withoutLineEnd(bytes.substr(start, lineSize));
    const std::size_t space1 = line.find(' ');
    const std::size_t space2 =
        space1 == std::string_view::npos ? space1 : line.find(' ', space1 + 1);
    if (space2 == std::string_view::npos || line.find(' ', space2 + 1) != std::string_view::npos) {
        return refuse(400, "the request line " + sheetref::quoteText(line) +
                               " is not METHOD TARGET HTTP/1.1");
    }
    const std::string_view method = line.substr(0, space1);
    const std::string_view target = line.substr(space1 + 1, space2 - space1 - 1);
    const std::string_view version = line.substr(space2 + 1);
    if (!isToken(method)) {
        return refuse(400, "the method " + sheetref::quoteText(method) + " is not a token");
    }
    if (target.empty() || std::any_of(target.begin(), target.end(), [](char ch) {
            return static_cast<unsigned char>(ch) <= ' ' || ch == 0x7f;
        })) {
        return refuse(400, "the target " + sheetref::quoteText(target) + " is not a URL's path");
    }
    if (version == "HTTP/1.0") {
        m_request.http10 = true;
    } else if (version != "HTTP/1.1") {
        return refuse(505, "the version " + sheetref::quoteText(version) +
                               " is not understood; expected HTTP/1.1 or HTTP/1.0");
    }
    m_request.method.assign(method);
    m_request.target.assign(target);

    // The headers: NAME ":" OWS VALUE OWS, one a line.
    std::size_t at = start + lineSize + 1;
    while (true) {
        const std::size_t next = bytes.find('\n', at);
        const std::string_view header = withoutLineEnd(bytes.substr(at, next - at));
        at = next + 1;
        if (header.empty()) {
            break;
        }
        if (header.front() == ' ' || header.front() == '\t') {
            return refuse(400,
                          "a header is folded over two lines, which HTTP/1.1 no longer allows");
        }
        const std::size_t colon = header.find(':');
        const std::string_view name = header.substr(0, colon);
        if (colon == std::string_view::npos || !isToken(name)) {
            return refuse(400,
                          "the header line " + sheetref::quoteText(header) + " is not NAME: VALUE");
        }
        const std::string_view value = trimmed(header.substr(colon + 1));
        if (std::any_of(value.begin(), value.end(),
                        [](char ch) { return ch == '\0' || ch == '\r' || ch == '\n'; })) {
            return refuse(400, "the header " + std::string(name) + " holds a control character");
        }
        if (m_request.headers.size() == kMaxHeaders) {
            return refuse(431,
                          "the request has more than " + std::to_string(kMaxHeaders) + " headers");
        }
        m_request.headers.emplace_back(name, value);
    }
    if (!m_request.http10 &&
        std::none_of(m_request.headers.begin(), m_request.headers.end(),
                     [](const auto& h) { return sameName(h.first, "Host"); })) {
        return refuse(400, "an HTTP/1.1 request needs a Host header");
    }

    // The framing, by RFC 9112: what a proxy and this server could read two ways (two
    // lengths that disagree, a coding one of the two does not know) is refused.
    std::optional<std::string_view> length;
    bool chunked = false;
    for (const auto& [name, value] : m_request.headers) {
        if (sameName(name, "Content-Length")) {
            if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
                return refuse(400, "the Content-Length " + sheetref::quoteText(value) +
                                       " is not a number of bytes");
            }
            if (length && *length != value) {
                return refuse(400, "two Content-Length headers disagree");
            }
            length = value;
        } else if (sameName(name, "Transfer-Encoding")) {
            if (chunked || !sameName(value, "chunked")) {
                return refuse(501, "the Transfer-Encoding " + sheetref::quoteText(value) +
                                       " is not understood; expected chunked");
            }
            chunked = true;
        }
    }
    if (chunked && length) {
        return refuse(400, "a request has Transfer-Encoding or Content-Length, not both");
    }
    if (length) {
        // Leading zeros are allowed; a length too large for a size_t is too large.
        const std::string_view digits =
            length->substr(std::min(length->find_first_not_of('0'), length->size()));
        constexpr std::size_t kMostDigits = 9; // more is over the limit, and may overflow
        if (!digits.empty()) {
            std::from_chars(digits.data(), digits.data() + std::min(digits.size(), kMostDigits),
                            m_length);
        }
        if (digits.size() > kMostDigits || m_length > kMaxBodyBytes) {
            return refuse(413,
                          "the body is larger than " + std::to_string(kMaxBodyBytes) + " bytes");
        }
    }
    const std::string_view expect = m_request.header("Expect");
    if (!expect.empty() && !sameName(expect, "100-continue")) {
        return refuse(417, "the expectation " + sheetref::quoteText(expect) +
                               " is not understood; expected 100-continue");
    }
    m_chunked = chunked;
    m_headEnd = end;
    m_position = end;
    return State::Complete;
}

RequestParser::State RequestParser::readChunks(std::string_view bytes) {
    // chunk = SIZE [; extensions] CRLF DATA CRLF, until a size of 0, the trailers and
    // an empty line. A bare LF ends a line as well as CRLF.
    while (true) {
        switch (m_chunkPart) {
        case ChunkPart::Size:
        case ChunkPart::Trailer: {
            const bool trailer = m_chunkPart == ChunkPart::Trailer;
            const std::size_t lineEnd = bytes.find('\n', m_position);
            const std::size_t limit = trailer ? kMaxHeadBytes - m_trailerBytes : kMaxChunkLineBytes;
            if ((lineEnd == std::string_view::npos ? bytes.size() : lineEnd) - m_position > limit) {
                return trailer ? refuse(431, "the request's trailers are longer than " +
                                                 std::to_string(kMaxHeadBytes) + " bytes")
                               : refuse(400, "a chunk's size line is longer than " +
                                                 std::to_string(kMaxChunkLineBytes) + " bytes");
            }
            if (lineEnd == std::string_view::npos) {
                return State::Incomplete;
            }
            const std::string_view line =
                withoutLineEnd(bytes.substr(m_position, lineEnd - m_position));
            m_trailerBytes += trailer ? lineEnd + 1 - m_position : 0;
            m_position = lineEnd + 1;
            if (trailer) {
                // Trailers are read and set aside: nothing here needs them.
                if (line.empty()) {
                    return State::Complete;
                }
                break;
            }
            const std::string_view size = trimmed(line.substr(0, line.find(';')));
            std::size_t chunk = 0;
            const auto [end, error] =
                std::from_chars(size.data(), size.data() + size.size(), chunk, 16);
            if (size.empty() || error == std::errc::invalid_argument ||
                end != size.data() + size.size()) {
                return refuse(400, "the chunk size " + sheetref::quoteText(size) +
                                       " is not a hexadecimal number");
            }
            if (error == std::errc::result_out_of_range ||
                chunk > kMaxBodyBytes - m_request.body.size()) {
                return refuse(413, "the body is larger than " + std::to_string(kMaxBodyBytes) +
                                       " bytes");
            }
            m_chunkLeft = chunk;
            m_chunkPart = chunk == 0 ? ChunkPart::Trailer : ChunkPart::Data;
            break;
        }
        case ChunkPart::Data:
            if (bytes.size() - m_position < m_chunkLeft) {
                return State::Incomplete;
            }
            m_request.body.append(bytes.substr(m_position, m_chunkLeft));
            m_position += m_chunkLeft;
            m_chunkPart = ChunkPart::DataEnd;
            break;
        case ChunkPart::DataEnd: {
            const std::string_view rest = bytes.substr(m_position);
            if (rest.empty() || rest == "\r") {
                return State::Incomplete;
            }
            const std::size_t ending = rest.starts_with("\r\n") ? 2
                                       : rest.starts_with('\n') ? 1
                                                                : 0;
            if (ending == 0) {
                return refuse(400, "a chunk is longer than its size says");
            }
            m_position += ending;
            m_chunkPart = ChunkPart::Size;
            break;
        }
        }
    }
}

std::variant<Request, HttpRefusal> requestOf(const HttpRequest& http) {
    std::string_view target = http.target;
    // The absolute form a proxy sends: its path is what is asked for.
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (target.starts_with(scheme)) {
            const std::size_t slash = target.find('/', scheme.size());
            target = slash == std::string_view::npos ? "/" : target.substr(slash);
        }
    }
    if (!target.starts_with('/') && target != "*") {
        return HttpRefusal{400, "the target " + sheetref::quoteText(target) +
                                    " is not a path starting with /"};
    }
    const std::size_t mark = target.find('?');
    const auto path = percentDecoded(target.substr(0, mark), false);
    if (!path) {
        return HttpRefusal{400, "the path " + sheetref::quoteText(target.substr(0, mark)) +
                                    " is not percent-encoded right"};
    }
    Request request{.method = http.method, .path = *path, .body = http.body};
    std::string_view query = mark == std::string_view::npos ? "" : target.substr(mark + 1);
    query = query.substr(0, query.find('#'));
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query.remove_prefix(amp == std::string_view::npos ? query.size() : amp + 1);
        if (pair.empty()) {
            continue;
        }
        const std::size_t equals = pair.find('=');
        const auto name = percentDecoded(pair.substr(0, equals), true);
        const auto value =
            percentDecoded(equals == std::string_view::npos ? "" : pair.substr(equals + 1), true);
        if (!name || !value) {
            return HttpRefusal{400, "the query parameter " + sheetref::quoteText(pair) +
                                        " is not percent-encoded right"};
        }
        request.query.emplace(*name, *value);
    }
    request.accept = http.header("Accept");
    request.ifNoneMatch = http.header("If-None-Match");
    request.origin = originOf(http.header("Host"));
    return request;
}

void writeResponse(std::string& out, const Response& response, const HttpRequest* request,
                   Persistence persistence) {
    const bool noBody = response.status == 204 || response.status == 304 ||
                        (response.status >= 100 && response.status < 200);
    const bool head = request != nullptr && request->method == "HEAD";
    std::optional<std::string> compressed;
    if (!noBody && request != nullptr && response.body.size() >= kSmallestCompressed &&
        compressible(response.contentType) && request->acceptsGzip()) {
        compressed = gzipped(response.body);
    }
    const std::string_view body = compressed ? *compressed : response.body;

    out += "HTTP/1.1 ";
    out += std::to_string(response.status);
    out += ' ';
    out += reasonPhrase(response.status);
    out += "\r\nDate: ";
    out += httpDate();
    out += "\r\n";
    if (!response.contentType.empty() && !noBody) {
        out += "Content-Type: ";
        out += response.contentType;
        out += "\r\n";
    }
    if (!noBody) {
        out += "Content-Length: ";
        out += std::to_string(body.size());
        out += "\r\n";
    }
    if (compressed) {
        out += "Content-Encoding: gzip\r\n";
    }
    for (const auto& [name, value] : response.headers) {
        out += name;
        out += ": ";
        out += value;
        out += "\r\n";
    }
    if (persistence == Persistence::Close) {
        out += "Connection: close\r\n";
    } else if (request != nullptr && request->http10) {
        out += "Connection: keep-alive\r\n";
    }
    out += "\r\n";
    if (!noBody && !head) {
        out += body;
    }
}

} // namespace sheetfind::server
