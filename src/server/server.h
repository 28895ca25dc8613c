// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <optional>
#include <string>

// The web face over HTTP: every request goes to respond() (api.h), with the limits a
// server on a network needs. Stateless: any number of them serve side by side.
namespace sheetfind::server {

// Why `bind` cannot be listened on as an address ("" is none; "example.invalid" does
// not resolve), or nullopt.
std::optional<std::string> checkBindAddress(const std::string& bind);

// Why `tiles` is not a tile URL template the map can use, or nullopt: an http or https
// URL with {z}, {x} and {y}, and nothing that is not a URL's character, so that no
// markup reaches the page through it.
std::optional<std::string> checkTilesTemplate(const std::string& tiles);

struct ServeSettings {
    std::string bind = "127.0.0.1"; // loopback unless the user asks for more
    int port = 8080;                // 0: any free port
    std::string tiles;              // a tile URL template for the map; empty: offline only
};

class HttpServer {
public:
    explicit HttpServer(ServeSettings settings);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds the address and port; nullopt, or why it cannot.
    std::optional<std::string> bind();
    // The port bound, once bind() succeeded.
    int port() const;
    // "http://127.0.0.1:8080/"
    std::string url() const;
    // Serves until stop(); the requests in flight then finish.
    void run();
    // From any thread.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace sheetfind::server
