// SPDX-License-Identifier: MIT
#pragma once

#include <httplib.h>

#include <cstddef>

// How the web face uses its connections, in one place for the server and for the
// floor it is measured against (bench/server_floor), so that the two differ only in
// what they answer.
namespace sheetfind::server {

// Workers: each keep-alive connection holds one while it lasts; connections beyond
// them wait in the queue.
inline constexpr std::size_t kWorkers = 64;
// Requests one keep-alive connection may carry before it is closed.
inline constexpr std::size_t kRequestsPerConnection = 1000;

inline void configureTransport(httplib::Server& server) {
    // Small answers go out at once, not after the peer's delayed acknowledgement.
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(kRequestsPerConnection);
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
}

} // namespace sheetfind::server
