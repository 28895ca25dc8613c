// SPDX-License-Identifier: MIT
#include "server.h"

#include "api.h"
#include "assets.h"
#include "http_transport.h"

#include "quote.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <string_view>

namespace sheetfind::server {

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
    explicit Impl(ServeSettings serve)
        : settings(std::move(serve)),
          transport([this](const Request& request) { return answer(request); }) {}

    Response answer(const Request& request) const {
        // The one answer made from the settings, ahead of respond().
        if (request.path == "/static/config.json" &&
            (request.method == "GET" || request.method == "HEAD")) {
            Response config = pageConfig(settings.tiles);
            addCommonHeaders(config, request.path);
            return config;
        }
        return respond(request);
    }

    ServeSettings settings;
    HttpTransport transport;
};

HttpServer::HttpServer(ServeSettings settings)
    : m_impl(std::make_unique<Impl>(std::move(settings))) {}

HttpServer::~HttpServer() = default;

std::optional<std::string> HttpServer::bind() {
    return m_impl->transport.bind(m_impl->settings.bind, m_impl->settings.port);
}

int HttpServer::port() const {
    return m_impl->transport.port();
}

std::string HttpServer::url() const {
    const std::string& host = m_impl->settings.bind;
    const bool ipv6 = host.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port()) + "/";
}

void HttpServer::run() {
    m_impl->transport.run();
}

void HttpServer::stop() {
    m_impl->transport.stop();
}

} // namespace sheetfind::server
