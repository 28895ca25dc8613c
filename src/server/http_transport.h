// SPDX-License-Identifier: MIT
#pragma once

#include "api.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// The web face's connections: HTTP/1.1 over TCP, read and written by a few event
// loops, so that a connection costs memory and no thread, however slowly its client
// sends. Each loop answers its requests itself, in order (pipelined ones too), with
// deadlines on every phase of a request. Used by the server and by the floor it is
// measured against (bench/server_floor), so that the two differ only in what they
// answer.
namespace sheetfind::server {

// The event loops; each answers its own connections' requests, so a slow answer
// delays only the connections of its loop.
inline constexpr std::size_t kLoops = 8;
// Requests one keep-alive connection may carry before it is closed.
inline constexpr std::size_t kRequestsPerConnection = 1000;
// The connections held at once; more wait in the listen queue.
inline constexpr std::size_t kMaxConnections = 10'000;

// How long each part of a connection's life may take; past it the connection is
// closed (with 408 when a request had begun).
struct Deadlines {
    std::chrono::milliseconds idle{5'000};   // between requests of a connection
    std::chrono::milliseconds head{10'000};  // from a request's first byte to its head's end
    std::chrono::milliseconds body{30'000};  // from the head's end to the body's end
    std::chrono::milliseconds write{10'000}; // with no byte of an answer taken
    std::chrono::milliseconds linger{2'000}; // reading what follows a refusal, before closing
    std::chrono::milliseconds drain{2'000};  // for answers in flight once stopped
};

using Handler = std::function<Response(const Request&)>;

class HttpTransport {
public:
    explicit HttpTransport(Handler handler, Deadlines deadlines = {});
    ~HttpTransport();
    HttpTransport(const HttpTransport&) = delete;
    HttpTransport& operator=(const HttpTransport&) = delete;

    // Listens on the address and port (0: any free one), with the system's largest
    // listen queue and no sharing of the port; nullopt, or why it cannot.
    std::optional<std::string> bind(const std::string& address, int port);
    // The port bound, once bind() succeeded.
    int port() const;
    // Serves until stop(): then answers in flight are sent, for at most the drain
    // deadline, and every connection is closed.
    void run();
    // From any thread, or a signal's waiter.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace sheetfind::server
