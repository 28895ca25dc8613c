// SPDX-License-Identifier: MIT
// sheetfind-cli serve as a client meets it: over loopback, with hostile requests,
// under load from many keep-alive clients, and stopped while it answers.

#include "grid.h"

#include <gtest/gtest.h>

#include <httplib.h>

#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// The tool serving on a free port of loopback, stopped with SIGTERM at the end.
class Served {
public:
    Served() {
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        char* const argv[] = {const_cast<char*>(SHEETFIND_CLI), const_cast<char*>("serve"),
                              const_cast<char*>("--port"), const_cast<char*>("0"), nullptr};
        EXPECT_EQ(posix_spawn(&m_pid, SHEETFIND_CLI, &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = ::fdopen(out[0], "r");
        char line[256] = {};
        if (std::fgets(line, sizeof line, m_out) != nullptr) {
            const std::string text(line);
            const std::size_t colon = text.rfind(':');
            m_port = std::stoi(text.substr(colon + 1));
        }
    }
    ~Served() {
        if (m_pid > 0) {
            stop();
        }
        std::fclose(m_out);
    }
    int port() const { return m_port; }
    // SIGTERM, then the exit status.
    int stop() {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    httplib::Client client() const {
        httplib::Client client("127.0.0.1", m_port);
        client.set_read_timeout(30, 0);
        return client;
    }

private:
    pid_t m_pid = -1;
    FILE* m_out = nullptr;
    int m_port = 0;
};

// One server for the suite: starting one per case would cost more than the cases.
Served& served() {
    static Served server;
    return server;
}

struct HostileCase {
    const char* name;
    std::string target; // sent as it is, undecoded
    int status;
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

class Hostile : public testing::TestWithParam<HostileCase> {};

TEST_P(Hostile, IsRefusedWithJsonAndNeverAFile) {
    const HostileCase& c = GetParam();
    httplib::Client client = served().client();
    const auto result = client.Get(c.target);
    ASSERT_TRUE(result) << httplib::to_string(result.error());
    EXPECT_EQ(result->status, c.status) << result->body;
    EXPECT_EQ(result->body.find("root:"), std::string::npos);
    EXPECT_TRUE(nlohmann::json::accept(result->body)) << result->body;
    // Once: a browser refuses an answer that allows an origin twice.
    EXPECT_EQ(result->get_header_value_count("Access-Control-Allow-Origin"), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, Hostile,
    testing::Values(HostileCase{"Traversal", "/static/../../etc/passwd", 404},
                    HostileCase{"EncodedTraversal", "/static/%2e%2e/%2e%2e/etc/passwd", 404},
                    HostileCase{"EncodedSlash", "/static/..%2f..%2fetc%2fpasswd", 404},
                    HostileCase{"RootTraversal", "/%2e%2e/%2e%2e/etc/passwd", 404},
                    HostileCase{"LongUri", "/api/locate?point=" + std::string(10'000, '1'), 414},
                    HostileCase{"NaN", "/api/locate?lat=nan&lon=-123.1", 400},
                    HostileCase{"Antimeridian", "/api/cover?bbox=170,50,-170,60", 400},
                    HostileCase{"WholeWorldAtSheets", "/api/cover?bbox=-180,-90,180,90", 400},
                    HostileCase{"PathNotUtf8", "/api/%ff%fe", 404},
                    HostileCase{"PageSettings", "/static/config.json", 200}),
    [](const testing::TestParamInfo<HostileCase>& row) { return std::string(row.param.name); });

// A port another server listens on is refused, not shared with it.
TEST(Serve, APortInUseIsRefused) {
    const std::string port = std::to_string(served().port());
    char* const argv[] = {const_cast<char*>(SHEETFIND_CLI), const_cast<char*>("serve"),
                          const_cast<char*>("--port"), const_cast<char*>(port.c_str()), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, SHEETFIND_CLI, nullptr, nullptr, argv, environ), 0);
    int status = 0;
    for (int tries = 0; tries < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "a second server listened on port " << port;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

// curl --data-binary sends application/x-www-form-urlencoded: the body is still the
// lines or the GeoJSON, whatever its size up to the limit.
TEST(Serve, ABodyIsReadWhateverItsContentType) {
    httplib::Client client = served().client();
    std::string lines;
    while (lines.size() < 20'000) {
        lines += "49.25 -123.1\n";
    }
    const auto result = client.Post("/api/locate", lines, "application/x-www-form-urlencoded");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200) << result->body;
    EXPECT_TRUE(result->body.starts_with("092G06\n092G06\n")) << result->body.substr(0, 100);
}

TEST(Serve, ABodyOverTheLimitIs413) {
    httplib::Client client = served().client();
    const auto result =
        client.Post("/api/cover", std::string(2 * 1024 * 1024, ' '), "application/json");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 413);
}

TEST(Serve, MalformedGeoJsonIs400WithTheReason) {
    httplib::Client client = served().client();
    const auto result = client.Post("/api/cover", R"({"type": "Point", "coordinates": ["a", 1]})",
                                    "application/geo+json");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 400);
    EXPECT_NE(result->body.find("error"), std::string::npos);
}

// 32 keep-alive clients, 100 requests each, every answer checked against the grid.
TEST(Serve, HoldsLoadAndAnswersEveryRequestRight) {
    constexpr int kClients = 32;
    constexpr int kRequests = 100;
    std::atomic<int> wrong{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([c, &wrong, &failed] {
            httplib::Client client = served().client();
            client.set_keep_alive(true);
            std::mt19937 random(static_cast<unsigned>(c));
            std::uniform_real_distribution<double> latitude(41, 79);
            std::uniform_real_distribution<double> longitude(-140, -50);
            for (int r = 0; r < kRequests; ++r) {
                const double lat = latitude(random);
                const double lon = longitude(random);
                char target[128];
                if (r % 2 == 0) {
                    std::snprintf(target, sizeof target, "/api/locate?lat=%.6f&lon=%.6f", lat, lon);
                } else {
                    std::snprintf(target, sizeof target,
                                  "/collections/nts_50k/items?bbox=%.6f,%.6f,%.6f,%.6f", lon, lat,
                                  lon + 0.01, lat + 0.01);
                }
                const auto result = client.Get(target);
                if (!result || result->status != 200) {
                    ++failed;
                    continue;
                }
                const auto body = nlohmann::json::parse(result->body);
                const auto cell =
                    sheetref::locate({.latitude = lat, .longitude = lon}, sheetref::Scale::Sheet);
                bool right = r % 2 == 0 && body["reference"] == cell->text();
                for (const auto& feature : body.value("features", nlohmann::json::array())) {
                    right = right || feature["properties"]["reference"] == cell->text();
                }
                wrong += right ? 0 : 1;
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(wrong.load(), 0);
}

// The server places the map's points in BC's PNG grid as sheetfind-cli places them,
// both shifting them into NAD27: across the shift (-120.5695 is in a-096 once shifted,
// in b-096 were it not), on and off BC, a line GET and POST answer alike.
TEST(Serve, PngCellsAreThoseOfTheCommandLine) {
    const std::vector<std::string> points = {
        "56.912 -120.567", "56.912 -120.5695", "56.9125 -120.5701",
        "55.75 -120.2371", "58.25 -122.6",     "49.25 -123.1",
        "51.05 -114.07",   "59.999 -124.0",    "48.85 2.35"};
    std::string lines;
    for (const std::string& point : points) {
        lines += point + '\n';
    }
    for (const std::string_view scale : {"png", "png-unit", "png-block"}) {
        const std::string command = "printf '" + lines + "' | " + SHEETFIND_CLI + " locate -s " +
                                    std::string(scale) + " 2>/dev/null";
        FILE* cli = ::popen(command.c_str(), "r");
        ASSERT_NE(cli, nullptr);
        std::string expected;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, cli) != nullptr) {
            expected += buffer;
        }
        ASSERT_EQ(::pclose(cli), 0) << command;

        httplib::Client client = served().client();
        const auto posted =
            client.Post("/api/locate?scale=" + std::string(scale), lines, "text/plain");
        ASSERT_TRUE(posted);
        EXPECT_EQ(posted->body, expected) << scale;
        std::string got;
        for (const std::string& point : points) {
            const std::size_t space = point.find(' ');
            const auto one = client.Get("/api/locate?lat=" + point.substr(0, space) + "&lon=" +
                                        point.substr(space + 1) + "&scale=" + std::string(scale));
            ASSERT_TRUE(one);
            const auto reference = nlohmann::json::parse(one->body)["reference"];
            got += (reference.is_null() ? std::string() : reference.get<std::string>()) + '\n';
        }
        EXPECT_EQ(got, expected) << scale;
        EXPECT_TRUE(expected.find("H/094-A-15\n") < expected.find("\n\n")) << expected;
    }
}

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// What a connection receives before `seconds` pass or the server closes it.
std::string received(int fd, int seconds) {
    timeval timeout{.tv_sec = seconds, .tv_usec = 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string answer;
    char buffer[4096];
    for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    return answer;
}

// What a raw socket gets back for `request`, until the server closes the connection
// or `seconds` pass.
std::string rawExchange(int port, const std::string& request, int seconds) {
    const int fd = connectTo(port);
    EXPECT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    std::string answer = received(fd, seconds);
    ::close(fd);
    return answer;
}

// Requests as bytes, and what the answer starts with and holds. Framing that a proxy
// and the server could read two ways (RFC 9112) is refused.
TEST(Serve, RawRequestsGetTheirAnswers) {
    const std::string locate = "GET /api/locate?lat=49.25&lon=-123.1 HTTP/1.1\r\nHost: x\r\n";
    const std::string post = "POST /api/locate HTTP/1.1\r\nHost: x\r\n";
    struct Row {
        std::string request;
        std::string start;
        std::string holds;
    };
    const Row rows[] = {
        {locate + "X-Long: " + std::string(20'000, 'a') + "\r\n\r\n", "HTTP/1.1 431", "error"},
        {post + "Content-Length: 5\r\nContent-Length: 6\r\n\r\n49.25 -123.1\n", "HTTP/1.1 400",
         "disagree"},
        {post + "Content-Length: -5\r\n\r\n", "HTTP/1.1 400", "Content-Length"},
        {post + "Transfer-Encoding: gzip\r\n\r\n", "HTTP/1.1 501", "chunked"},
        {post + "Transfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n", "HTTP/1.1 400",
         "not both"},
        {post + "Content-Length: 0\r\nConnection: close\r\n\r\n", "HTTP/1.1 400", "no body"},
        {post + "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                "6\r\n49.25 \r\n7\r\n-123.1\n\r\n0\r\n\r\n",
         "HTTP/1.1 200", "\r\n\r\n092G06\n"},
        {"FOO /api/locate HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", "HTTP/1.1 501", "FOO"},
        {"TRACE /api/locate HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", "HTTP/1.1 405",
         "Allow: GET, POST\r\n"},
        {"GET /api/locate?lat=49.25&lon=-123.1 HTTP/1.1\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 400", "Host"},
        {"GET /api/locate?lat=49.25&lon=-123.1 HTTP/1.0\r\n\r\n", "HTTP/1.1 200", "092G06"},
        {"GET / HTTP/2.0\r\nHost: x\r\n\r\n", "HTTP/1.1 505", "HTTP/1.1"},
        {"GET /static/app.js HTTP/1.1\r\nHost: x\r\nAccept-Encoding: br, gzip\r\n"
         "Connection: close\r\n\r\n",
         "HTTP/1.1 200", "Content-Encoding: gzip\r\n"},
        // Pipelined: both answered, in order.
        {locate + "\r\nGET /api/bounds/082O HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 200", "\"reference\":\"092G06\""},
    };
    for (const Row& row : rows) {
        const std::string answer = rawExchange(served().port(), row.request, 10);
        EXPECT_TRUE(answer.starts_with(row.start)) << row.request.substr(0, 80) << "\n"
                                                   << answer.substr(0, 200);
        EXPECT_NE(answer.find(row.holds), std::string::npos) << row.request.substr(0, 80) << "\n"
                                                             << answer.substr(0, 400);
    }
    const std::string pipelined =
        rawExchange(served().port(), rows[std::size(rows) - 1].request, 10);
    EXPECT_LT(pipelined.find("092G06"), pipelined.find("\"reference\":\"082O\""));
}

// Links carry back the Host a client sent only when it is a host and a port.
TEST(Serve, LinksCarryOnlyAPlainHost) {
    const auto selfLink = [](const std::string& host) {
        const std::string answer = rawExchange(
            served().port(),
            "GET /collections HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n", 10);
        const auto body = nlohmann::json::parse(answer.substr(answer.find("\r\n\r\n") + 4));
        return body["links"][0]["href"].get<std::string>();
    };
    EXPECT_EQ(selfLink("sheets.example:8080"), "http://sheets.example:8080/collections");
    EXPECT_EQ(selfLink("a\"b/<c>"), "/collections");
}

// curl asks before it sends a large body: the server says to go on, then answers.
TEST(Serve, AClientThatExpectsContinueIsToldToGoOn) {
    const int fd = connectTo(served().port());
    const std::string head = "POST /api/locate HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\n"
                             "Content-Length: 13\r\nConnection: close\r\n\r\n";
    ::send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    char buffer[64] = {};
    EXPECT_GT(::recv(fd, buffer, sizeof buffer - 1, 0), 0);
    EXPECT_STREQ(buffer, "HTTP/1.1 100 Continue\r\n\r\n");
    ::send(fd, "49.25 -123.1\n", 13, MSG_NOSIGNAL);
    EXPECT_NE(received(fd, 10).find("\r\n\r\n092G06\n"), std::string::npos);
    ::close(fd);
}

// 80 clients each send a header line a second, as a slow-loris attack does: another
// client is answered at once, and each slow one gets 408 once its head has taken
// longer than the server allows, however steadily it sends.
TEST(Serve, SlowClientsNeitherStarveOthersNorStay) {
    constexpr int kSlow = 80;
    const std::string start = "GET /api/locate?lat=49.25&lon=-123.1 HTTP/1.1\r\n";
    httplib::Client client = served().client();
    // The first answer sets up the datum shift, which takes a while once.
    ASSERT_TRUE(client.Get("/api/locate?lat=49.25&lon=-123.1"));
    std::vector<int> slow;
    for (int i = 0; i < kSlow; ++i) {
        slow.push_back(connectTo(served().port()));
        ::send(slow.back(), start.data(), start.size(), MSG_NOSIGNAL);
    }
    const auto began = std::chrono::steady_clock::now();
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        for (int second = 0; second < 15 && !done; ++second) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            for (const int fd : slow) {
                ::send(fd, "X-Slow: 1\r\n", 11, MSG_NOSIGNAL);
            }
        }
    });
    const auto asked = std::chrono::steady_clock::now();
    const auto result = client.Get("/api/locate?lat=49.25&lon=-123.1");
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1));
    EXPECT_TRUE(result && result->status == 200);
    int refused = 0;
    for (const int fd : slow) {
        refused += received(fd, 20).starts_with("HTTP/1.1 408") ? 1 : 0;
    }
    const auto waited = std::chrono::steady_clock::now() - began;
    done = true;
    trickle.join();
    for (const int fd : slow) {
        ::close(fd);
    }
    EXPECT_EQ(refused, kSlow);
    EXPECT_LT(waited, std::chrono::seconds(14));
}

// A burst of connections, more than any listen queue of old: each is answered.
TEST(Serve, ABurstOfConnectionsIsAnswered) {
    constexpr int kBurst = 300;
    const std::string request =
        "GET /api/locate?lat=49.25&lon=-123.1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    std::vector<int> burst;
    for (int i = 0; i < kBurst; ++i) {
        burst.push_back(connectTo(served().port()));
    }
    for (const int fd : burst) {
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    }
    int answered = 0;
    for (const int fd : burst) {
        answered += received(fd, 10).starts_with("HTTP/1.1 200") ? 1 : 0;
        ::close(fd);
    }
    EXPECT_EQ(answered, kBurst);
}

// SIGTERM ends the server within seconds whatever its clients do: one trickles its
// head, one stops halfway through a body, one never reads its answers.
TEST(Serve, SigtermEndsItWithinSecondsWhateverItsClientsDo) {
    Served own;
    httplib::Client client = own.client();
    const auto result = client.Get("/api/locate?lat=49.25&lon=-123.1");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    const int trickling = connectTo(own.port());
    ::send(trickling, "GET /api/loc", 12, MSG_NOSIGNAL);
    const int halfway = connectTo(own.port());
    const std::string half = "POST /api/locate HTTP/1.1\r\nHost: x\r\nContent-Length: 99\r\n\r\n49";
    ::send(halfway, half.data(), half.size(), MSG_NOSIGNAL);
    const int deaf = connectTo(own.port());
    std::string many;
    for (int i = 0; i < 200; ++i) {
        many += "GET /static/leaflet/leaflet.js HTTP/1.1\r\nHost: x\r\n\r\n";
    }
    ::send(deaf, many.data(), many.size(), MSG_NOSIGNAL);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto signalled = std::chrono::steady_clock::now();
    EXPECT_EQ(own.stop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(5));
    for (const int fd : {trickling, halfway, deaf}) {
        ::close(fd);
    }
}

} // namespace
