// SPDX-License-Identifier: MIT
// Load on a server of the web face: CLIENTS keep-alive clients, each sending
// REQUESTS GET /api/locate for random points of the grid, one after another.
// Prints the rate (requests per second) and the 99th percentile latency (ms);
// any answer but 200 is counted and fails the run.
//   server_load PORT [CLIENTS, default 32] [REQUESTS, default 1000]
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: server_load PORT [CLIENTS] [REQUESTS]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int clients = argc > 2 ? std::atoi(argv[2]) : 32;
    const int requests = argc > 3 ? std::atoi(argv[3]) : 1000;
    using Clock = std::chrono::steady_clock;
    std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
    std::atomic<int> failed{0};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            std::mt19937 random(static_cast<unsigned>(c));
            std::uniform_real_distribution<double> latitude(41, 79);
            std::uniform_real_distribution<double> longitude(-140, -50);
            auto& mine = latencies[static_cast<std::size_t>(c)];
            for (int r = 0; r < requests; ++r) {
                char target[96];
                std::snprintf(target, sizeof target, "/api/locate?lat=%.5f&lon=%.5f",
                              latitude(random), longitude(random));
                const auto sent = Clock::now();
                const auto result = client.Get(target);
                mine.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                if (!result || result->status != 200) {
                    ++failed;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<double> all;
    for (const auto& some : latencies) {
        all.insert(all.end(), some.begin(), some.end());
    }
    std::sort(all.begin(), all.end());
    const double p99 = all[static_cast<std::size_t>(0.99 * static_cast<double>(all.size() - 1))];
    std::printf("%.0f %.3f\n", static_cast<double>(all.size()) / seconds, p99);
    if (failed > 0) {
        std::fprintf(stderr, "%d requests failed\n", failed.load());
        return 1;
    }
    return 0;
}
