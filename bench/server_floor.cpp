// SPDX-License-Identifier: MIT
// The floor of the web face: a cpp-httplib server with the server's own transport
// settings that answers every GET with the same small JSON and does nothing else, on
// the same machine and with the same library, to set the server's rate against.
//   server_floor        prints "serving on http://127.0.0.1:PORT/", stops on SIGTERM
#include "http_transport.h"
#include "stop_signals.h"

#include <cstdio>

int main() {
    sheetfind::server::StopSignals signals;
    httplib::Server server;
    sheetfind::server::configureTransport(server);
    server.Get(".*", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(R"({"reference":"092G06"})", "application/json");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::printf("serving on http://127.0.0.1:%d/\n", port);
    std::fflush(stdout);
    signals.runUntilSignalled([&server] { server.listen_after_bind(); },
                              [&server] { server.stop(); });
    return 0;
}
