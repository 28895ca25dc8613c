// SPDX-License-Identifier: MIT
// Yardsticks for the web face: a cpp-httplib server, one thread per connection as the
// web face had before its own transport (64 workers, no delay, 1 000 requests a
// connection), answering every GET either with the same small JSON and nothing else
// ("fixed"), or with the web face's own answers through respond() ("respond").
//   server_floor fixed|respond   prints "serving on http://127.0.0.1:PORT/", stops on SIGTERM
#include "api.h"
#include "stop_signals.h"

#include <httplib.h>

#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    const bool fixed = argc < 2 || std::string_view(argv[1]) == "fixed";
    sheetfind::server::StopSignals signals;
    httplib::Server server;
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(1000);
    server.new_task_queue = [] { return new httplib::ThreadPool(64); };
    server.Get(".*", [fixed](const httplib::Request& from, httplib::Response& to) {
        if (fixed) {
            to.set_content(R"({"reference":"092G06"})", "application/json");
            return;
        }
        sheetfind::server::Request request{.method = from.method, .path = from.path};
        for (const auto& [name, value] : from.params) {
            request.query.emplace(name, value);
        }
        request.accept = from.get_header_value("Accept");
        const sheetfind::server::Response answer = sheetfind::server::respond(request);
        to.status = answer.status;
        for (const auto& [name, value] : answer.headers) {
            to.set_header(name, value);
        }
        to.set_content(answer.body, answer.contentType.c_str());
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::printf("serving on http://127.0.0.1:%d/\n", port);
    std::fflush(stdout);
    signals.runUntilSignalled([&server] { server.listen_after_bind(); },
                              [&server] { server.stop(); });
    return 0;
}
