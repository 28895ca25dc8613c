// SPDX-License-Identifier: MIT
#include "server.h"

#include "api.h"
#include "assets.h"
#include "http_transport.h"

#include <httplib.h>

#include <nlohmann/json.hpp>

#include "quote.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace sheetfind::server {
namespace {

// A client that sends nothing for this long is dropped, so slow clients cannot hold
// the workers.
constexpr time_t kReadTimeoutSeconds = 5;
constexpr time_t kWriteTimeoutSeconds = 10;

// The origin a client reached, from its Host header: a name or address and a port,
// nothing else, since links carry it back to the client. Empty for anything else,
// and links are then relative.
std::string originOf(const std::string& host) {
    constexpr std::size_t kLongestHost = 255 + 7; // a DNS name, ':' and a port
    const bool plain = !host.empty() && host.size() <= kLongestHost &&
                       std::all_of(host.begin(), host.end(), [](char ch) {
                           return std::isalnum(static_cast<unsigned char>(ch)) != 0 ||
                                  std::string_view(".-:[]").find(ch) != std::string_view::npos;
                       });
    return plain ? "http://" + host : std::string();
}

Request requestOf(const httplib::Request& from) {
    Request request{.method = from.method, .path = from.path, .body = from.body};
    for (const auto& [name, value] : from.params) {
        request.query.emplace(name, value);
    }
    request.accept = from.get_header_value("Accept");
    request.ifNoneMatch = from.get_header_value("If-None-Match");
    request.origin = originOf(from.get_header_value("Host"));
    return request;
}

// Every answer, the HTTP layer's own refusals included, allows any origin, once: a
// browser refuses an answer that says it twice, and its page never sees the error.
void allowAnyOrigin(httplib::Response& response) {
    if (!response.has_header("Access-Control-Allow-Origin")) {
        response.set_header("Access-Control-Allow-Origin", "*");
    }
}

// RFC 9112's framing, checked before a body is read: a request smuggled past a proxy
// hides in two Content-Lengths that disagree, or in a Transfer-Encoding one of the two
// does not understand. The status and the reason, or nullopt.
std::optional<std::pair<int, std::string>> badFraming(const httplib::Request& request) {
    const std::size_t lengths = request.get_header_value_count("Content-Length");
    for (std::size_t i = 0; i < lengths; ++i) {
        const std::string value = request.get_header_value("Content-Length", i);
        if (value.empty() || !std::all_of(value.begin(), value.end(), [](char ch) {
                return std::isdigit(static_cast<unsigned char>(ch)) != 0;
            })) {
            return std::pair{400, "the Content-Length " + sheetref::quoteText(value) +
                                      " is not a number of bytes"};
        }
        if (value != request.get_header_value("Content-Length", 0)) {
            return std::pair{400, std::string("two Content-Length headers disagree")};
        }
    }
    if (request.has_header("Transfer-Encoding")) {
        const std::string coding = request.get_header_value("Transfer-Encoding");
        if (coding != "chunked" || request.get_header_value_count("Transfer-Encoding") > 1) {
            return std::pair{501, "the Transfer-Encoding " + sheetref::quoteText(coding) +
                                      " is not understood; expected chunked"};
        }
        if (lengths > 0) {
            return std::pair{400, std::string("a request has Transfer-Encoding or "
                                              "Content-Length, not both")};
        }
    }
    return std::nullopt;
}

void answer(const Response& from, httplib::Response& to) {
    to.status = from.status;
    for (const auto& [name, value] : from.headers) {
        to.set_header(name, value);
    }
    if (!from.contentType.empty()) {
        to.set_content(from.body, from.contentType.c_str());
    }
    allowAnyOrigin(to);
}

} // namespace

std::optional<std::string> checkBindAddress(const std::string& bind) {
    if (bind.empty()) {
        return std::string("--bind needs an address, such as 127.0.0.1, 0.0.0.0 or ::1");
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(bind.c_str(), nullptr, &hints, &found);
    if (found != nullptr) {
        ::freeaddrinfo(found);
    }
    if (status != 0) {
        return "--bind " + sheetref::quoteText(bind) +
               " is not an address here: " + ::gai_strerror(status);
    }
    return std::nullopt;
}

std::optional<std::string> checkTilesTemplate(const std::string& tiles) {
    const auto problem = [&tiles](std::string_view what) {
        return "--tiles " + sheetref::quoteText(tiles) + " " + std::string(what) +
               "; expected an http or https URL with {z}, {x} and {y}, such as "
               "https://tile.example.org/{z}/{x}/{y}.png";
    };
    if (!tiles.starts_with("http://") && !tiles.starts_with("https://")) {
        return problem("is not an http or https URL");
    }
    for (const std::string_view part : {"{z}", "{x}", "{y}"}) {
        if (tiles.find(part) == std::string::npos) {
            return problem("has no " + std::string(part));
        }
    }
    // A URL's own characters, less the quotes that could end an HTML attribute.
    constexpr std::string_view kUrlMarks = "-._~:/?#[]@!$&()*+,;=%{}";
    const bool plain = std::all_of(tiles.begin(), tiles.end(), [&](char ch) {
        return std::isalnum(static_cast<unsigned char>(ch)) != 0 ||
               kUrlMarks.find(ch) != std::string_view::npos;
    });
    if (!plain) {
        return problem("holds a character that is not a URL's");
    }
    return std::nullopt;
}

struct HttpServer::Impl {
    ServeSettings settings;
    httplib::Server http;
    int port = 0;
};

HttpServer::HttpServer(ServeSettings settings) : m_impl(std::make_unique<Impl>()) {
    m_impl->settings = std::move(settings);
    httplib::Server& http = m_impl->http;
    configureTransport(http);
    // SO_REUSEADDR alone: a port another server listens on is refused, never shared
    // (SO_REUSEPORT would have the kernel split the requests between the two).
    http.set_socket_options([](socket_t socket) {
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    http.set_payload_max_length(kMaxBodyBytes);
    http.set_read_timeout(kReadTimeoutSeconds, 0);
    http.set_write_timeout(kWriteTimeoutSeconds, 0);
    http.set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
        const auto bad = badFraming(request);
        if (!bad) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        const nlohmann::json body = {{"error", bad->second}};
        response.status = bad->first;
        response.set_content(body.dump(), "application/json");
        // The body, if any, was not read: the connection cannot carry another request.
        response.set_header("Connection", "close");
        allowAnyOrigin(response);
        return httplib::Server::HandlerResponse::Handled;
    });
    const auto handle = [](const httplib::Request& request, httplib::Response& response) {
        answer(respond(requestOf(request)), response);
    };
    // The one answer built from the settings, ahead of the rest.
    http.Get("/static/config.json", [this](const httplib::Request&, httplib::Response& response) {
        answer(pageConfig(m_impl->settings.tiles), response);
    });
    const std::string every = ".*";
    http.Get(every, handle);
    // A POST's body is read here as bytes, whatever its Content-Type: curl sends
    // --data-binary as a form, which the HTTP layer would otherwise parse into query
    // parameters and cut at 8 KiB.
    http.Post(every, [](const httplib::Request& request, httplib::Response& response,
                        const httplib::ContentReader& read) {
        Request posted = requestOf(request);
        bool tooLarge = false;
        // The HTTP layer stops reading past its own limit, the same one.
        const bool whole = read([&](const char* data, std::size_t length) {
            tooLarge = posted.body.size() + length > kMaxBodyBytes;
            if (!tooLarge) {
                posted.body.append(data, length);
            }
            return !tooLarge;
        });
        if (tooLarge || !whole) {
            posted.body.assign(kMaxBodyBytes + 1, ' ');
        }
        answer(respond(posted), response);
    });
    http.Put(every, handle);
    http.Patch(every, handle);
    http.Delete(every, handle);
    http.Options(every, handle);
    // What the HTTP layer refuses itself (a body over the limit, a URI too long)
    // gets a JSON body like every other error.
    http.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) {
            const nlohmann::json body = {{"error", "the request was refused with status " +
                                                       std::to_string(response.status)}};
            response.set_content(body.dump(), "application/json");
        }
        allowAnyOrigin(response);
    });
    http.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            response.status = 500;
            response.set_content(R"({"error": "the server failed to answer"})", "application/json");
            allowAnyOrigin(response);
        });
}

HttpServer::~HttpServer() = default;

std::optional<std::string> HttpServer::bind() {
    const ServeSettings& settings = m_impl->settings;
    if (settings.port == 0) {
        m_impl->port = m_impl->http.bind_to_any_port(settings.bind);
        if (m_impl->port > 0) {
            return std::nullopt;
        }
    } else if (m_impl->http.bind_to_port(settings.bind, settings.port)) {
        m_impl->port = settings.port;
        return std::nullopt;
    }
    return "cannot listen on " + settings.bind + " port " + std::to_string(settings.port) + ": " +
           std::strerror(errno);
}

int HttpServer::port() const {
    return m_impl->port;
}

std::string HttpServer::url() const {
    const std::string& host = m_impl->settings.bind;
    const bool ipv6 = host.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port()) + "/";
}

void HttpServer::run() {
    m_impl->http.listen_after_bind();
}

void HttpServer::stop() {
    m_impl->http.stop();
}

} // namespace sheetfind::server
