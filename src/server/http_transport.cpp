// SPDX-License-Identifier: MIT
#include "http_transport.h"

#include "http_message.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <thread>
#include <unordered_map>
#include <vector>

namespace sheetfind::server {
namespace {

using Clock = std::chrono::steady_clock;

// How often deadlines are looked at: a deadline is kept to within this.
constexpr std::chrono::milliseconds kSweep{250};
// Bytes read at a time, and connections accepted at a time by one loop (so that the
// others get their share of a burst).
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr int kAcceptsAtOnce = 64;
// Answers not yet taken by a client beyond which its further pipelined requests wait.
constexpr std::size_t kMaxPendingOutput = 1024 * 1024;
// The most of a request held unanswered: its head, and its body with chunked framing.
constexpr std::size_t kMaxPendingInput = kMaxHeadBytes + 2 * kMaxBodyBytes;
// What is read and thrown away after a refusal, before the connection is closed.
constexpr std::size_t kMaxLingerBytes = 1024 * 1024;

// The system's largest listen queue: a burst of connections waits there for a loop
// rather than on SYN retries.
int listenBacklog() {
    int backlog = SOMAXCONN;
    std::ifstream("/proc/sys/net/core/somaxconn") >> backlog;
    return backlog > 0 ? backlog : SOMAXCONN;
}

// As many descriptors as the system lets this process have: each connection is one.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

enum class Phase {
    Idle,     // between requests
    Head,     // a request has begun; its head is awaited
    Body,     // its body is awaited
    Lingering // the answer is sent and the connection closing: what comes is dropped
};

struct Connection {
    int fd = -1;
    std::string in; // bytes of requests not yet answered
    std::string out;
    std::size_t sent = 0; // of out
    RequestParser parser;
    Phase phase = Phase::Idle;
    Clock::time_point phaseEnd;
    Clock::time_point lastSent;
    std::size_t served = 0;
    std::size_t lingered = 0;
    bool continued = false; // "100 Continue" sent for the request being read
    bool peerDone = false;  // the client will send nothing more
    bool closing = false;   // no further request is read; closed once out is sent
    std::uint32_t events = 0;
    bool watched = false;

    bool sending() const { return sent < out.size(); }
};

} // namespace

struct HttpTransport::Impl {
    class Loop;

    Handler handler;
    Deadlines deadlines;
    int listenFd = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::atomic<std::size_t> connections{0};
    std::vector<std::unique_ptr<Loop>> loops;
};

class HttpTransport::Impl::Loop {
public:
    explicit Loop(Impl& shared)
        : m_shared(shared), m_epoll(::epoll_create1(EPOLL_CLOEXEC)),
          m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        epoll_event event{.events = EPOLLIN, .data = {.ptr = &m_wakeTag}};
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &event);
    }
    ~Loop() {
        for (auto& [fd, connection] : m_connections) {
            ::close(fd);
        }
        ::close(m_epoll);
        ::close(m_wake);
    }
    Loop(const Loop&) = delete;
    Loop& operator=(const Loop&) = delete;

    void wake() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
    }

    void run() {
        listen(true);
        std::array<epoll_event, 128> events{};
        Clock::time_point nextSweep = Clock::now() + kSweep;
        Clock::time_point drainEnd{};
        bool stopped = false;
        while (true) {
            const auto wait =
                std::chrono::duration_cast<std::chrono::milliseconds>(nextSweep - Clock::now());
            const int count = ::epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()),
                                           static_cast<int>(std::max<long>(wait.count(), 0)));
            const Clock::time_point now = Clock::now();
            for (int i = 0; i < count; ++i) {
                void* tag = events[static_cast<std::size_t>(i)].data.ptr;
                if (tag == &m_listenTag) {
                    acceptSome(now);
                } else if (tag == &m_wakeTag) {
                    std::uint64_t ignored = 0;
                    [[maybe_unused]] const auto read = ::read(m_wake, &ignored, sizeof ignored);
                } else {
                    serve(*static_cast<Connection*>(tag),
                          events[static_cast<std::size_t>(i)].events, now);
                }
            }
            if (m_shared.stopping && !stopped) {
                // What is being read is dropped; what is answered is sent, for a while.
                stopped = true;
                drainEnd = now + m_shared.deadlines.drain;
                listen(false);
                std::vector<Connection*> idle;
                for (auto& [fd, connection] : m_connections) {
                    connection->closing = true;
                    if (!connection->sending()) {
                        idle.push_back(connection.get());
                    }
                }
                for (Connection* connection : idle) {
                    close(*connection);
                }
            }
            if (stopped && (m_connections.empty() || now >= drainEnd)) {
                while (!m_connections.empty()) {
                    close(*m_connections.begin()->second);
                }
                return;
            }
            if (now >= nextSweep) {
                sweep(now);
                nextSweep = now + kSweep;
            }
        }
    }

private:
    // Whether this loop takes new connections: not once stopped, nor while the
    // connections are at their limit or the descriptors run out.
    void listen(bool on) {
        if (on == m_listening) {
            return;
        }
        epoll_event event{.events = EPOLLIN | EPOLLEXCLUSIVE, .data = {.ptr = &m_listenTag}};
        ::epoll_ctl(m_epoll, on ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, m_shared.listenFd, &event);
        m_listening = on;
    }

    void acceptSome(Clock::time_point now) {
        for (int i = 0; i < kAcceptsAtOnce; ++i) {
            if (m_shared.connections >= kMaxConnections) {
                listen(false);
                return;
            }
            const int fd =
                ::accept4(m_shared.listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED) {
                    continue;
                }
                if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    // Out of descriptors or memory: the queue waits for the next sweep.
                    listen(false);
                }
                return;
            }
            // Small answers go out at once, not after the peer's delayed acknowledgement.
            const int yes = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            auto connection = std::make_unique<Connection>();
            connection->fd = fd;
            connection->phaseEnd = now + m_shared.deadlines.idle;
            Connection& added = *connection;
            m_connections.emplace(fd, std::move(connection));
            ++m_shared.connections;
            watch(added);
        }
    }

    // Registers or updates what the loop waits for on a connection: its requests while
    // it takes them, and room to send while it has an answer to send.
    void watch(Connection& connection) {
        const bool backlogged = connection.out.size() - connection.sent >= kMaxPendingOutput ||
                                connection.in.size() > kMaxPendingInput;
        const bool reading = !connection.peerDone && (connection.phase == Phase::Lingering ||
                                                      (!connection.closing && !backlogged));
        // With neither, epoll still reports an error or a hang-up.
        const std::uint32_t events =
            (reading ? EPOLLIN | EPOLLRDHUP : 0u) | (connection.sending() ? EPOLLOUT : 0u);
        if (connection.watched && events == connection.events) {
            return;
        }
        epoll_event event{.events = events, .data = {.ptr = &connection}};
        ::epoll_ctl(m_epoll, connection.watched ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, connection.fd,
                    &event);
        connection.watched = true;
        connection.events = events;
    }

    void close(Connection& connection) {
        const int fd = connection.fd;
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        ::close(fd);
        m_connections.erase(fd);
        --m_shared.connections;
    }

    void serve(Connection& connection, std::uint32_t events, Clock::time_point now) {
        if ((events & EPOLLERR) != 0) {
            close(connection);
            return;
        }
        if ((events & (EPOLLIN | EPOLLHUP | EPOLLRDHUP)) != 0 && !receive(connection, now)) {
            return;
        }
        advance(connection, now);
    }

    // Reads what has arrived; false once the connection is closed.
    bool receive(Connection& connection, Clock::time_point now) {
        thread_local std::array<char, kReadChunk> buffer;
        while (connection.in.size() <= kMaxPendingInput) {
            const ssize_t got = ::recv(connection.fd, buffer.data(), buffer.size(), 0);
            if (got == 0) {
                connection.peerDone = true;
                break;
            }
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    break;
                }
                close(connection);
                return false;
            }
            if (connection.phase == Phase::Lingering || connection.closing) {
                connection.lingered += static_cast<std::size_t>(got);
                if (connection.lingered > kMaxLingerBytes) {
                    close(connection);
                    return false;
                }
            } else {
                if (connection.in.empty() && connection.phase == Phase::Idle) {
                    connection.phase = Phase::Head;
                    connection.phaseEnd = now + m_shared.deadlines.head;
                }
                connection.in.append(buffer.data(), static_cast<std::size_t>(got));
            }
            if (static_cast<std::size_t>(got) < buffer.size()) {
                break;
            }
        }
        if (connection.peerDone && connection.phase == Phase::Lingering) {
            close(connection);
            return false;
        }
        return true;
    }

    // Answers the whole requests read, in order, and sends what it can; closes the
    // connection once it has nothing more to do.
    void advance(Connection& connection, Clock::time_point now) {
        while (true) {
            answerSome(connection, now);
            if (!send(connection, now)) {
                return;
            }
            if (connection.sending() || connection.phase == Phase::Lingering) {
                break;
            }
            if (connection.peerDone && (connection.closing || connection.in.empty())) {
                // The client sent its last request, and has every answer.
                close(connection);
                return;
            }
            if (connection.closing) {
                // Refused or last: read what the client still sends, so that closing
                // does not reset the connection before the client has read the answer.
                ::shutdown(connection.fd, SHUT_WR);
                connection.phase = Phase::Lingering;
                connection.phaseEnd = now + m_shared.deadlines.linger;
                break;
            }
            if (connection.in.empty() || connection.phase != Phase::Idle) {
                break;
            }
            // Pipelined requests held back while the answers before them were sent.
        }
        watch(connection);
    }

    void answerSome(Connection& connection, Clock::time_point now) {
        while (!connection.closing && connection.phase != Phase::Lingering &&
               !connection.in.empty() &&
               connection.out.size() - connection.sent < kMaxPendingOutput) {
            if (connection.phase == Phase::Idle) {
                connection.phase = Phase::Head;
                connection.phaseEnd = now + m_shared.deadlines.head;
            }
            const RequestParser::State state = connection.parser.parse(connection.in);
            if (state == RequestParser::State::Incomplete) {
                if (connection.in.size() > kMaxPendingInput) {
                    refuse(connection, 413,
                           "the request is larger than " + std::to_string(kMaxPendingInput) +
                               " bytes",
                           now);
                } else if (connection.peerDone) {
                    connection.closing = true;
                } else if (connection.parser.headRead() && connection.phase == Phase::Head) {
                    connection.phase = Phase::Body;
                    connection.phaseEnd = now + m_shared.deadlines.body;
                    if (connection.parser.request().expectsContinue() && !connection.continued) {
                        queue(connection, now, [](std::string& out) { out += kContinue; });
                        connection.continued = true;
                    }
                }
                return;
            }
            if (state == RequestParser::State::Refused) {
                const HttpRefusal refusal = connection.parser.refusal();
                refuse(connection, refusal.status, refusal.reason, now);
                return;
            }
            const HttpRequest http = connection.parser.takeRequest();
            connection.in.erase(0, connection.parser.consumed());
            connection.parser.reset();
            connection.continued = false;
            ++connection.served;
            const bool keep = http.keepAlive() && connection.served < kRequestsPerConnection &&
                              !m_shared.stopping;
            auto request = requestOf(http);
            Response response;
            if (const auto* refusal = std::get_if<HttpRefusal>(&request)) {
                response = errorResponse(refusal->status, refusal->reason);
            } else {
                try {
                    response = m_shared.handler(std::get<Request>(request));
                } catch (const std::exception&) {
                    response = errorResponse(500, "the server failed to answer");
                }
            }
            queue(connection, now, [&](std::string& out) {
                writeResponse(out, response, &http,
                              keep ? Persistence::KeepAlive : Persistence::Close);
            });
            connection.closing = !keep;
            connection.phase = Phase::Idle;
            connection.phaseEnd = Clock::now() + m_shared.deadlines.idle;
        }
    }

    // Adds to what a connection sends: the write deadline runs from when its first
    // waiting byte was added, or last taken.
    template <class Write> void queue(Connection& connection, Clock::time_point now, Write write) {
        if (!connection.sending()) {
            connection.lastSent = now;
        }
        write(connection.out);
    }

    // An answer to bytes that are not a request this server takes; the connection ends
    // with it, since where the next request would start is not known.
    void refuse(Connection& connection, int status, const std::string& reason,
                Clock::time_point now) {
        queue(connection, now, [&](std::string& out) {
            writeResponse(out, errorResponse(status, reason), nullptr, Persistence::Close);
        });
        connection.closing = true;
        connection.in.clear();
    }

    // Sends what it can; false once the connection is closed.
    bool send(Connection& connection, Clock::time_point now) {
        while (connection.sending()) {
            const ssize_t sent = ::send(connection.fd, connection.out.data() + connection.sent,
                                        connection.out.size() - connection.sent, MSG_NOSIGNAL);
            if (sent < 0) {
                if (errno == EINTR) {
                    continue;
                }
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    return true;
                }
                close(connection);
                return false;
            }
            connection.sent += static_cast<std::size_t>(sent);
            connection.lastSent = now;
        }
        connection.out.clear();
        connection.sent = 0;
        return true;
    }

    // Deadlines: an answer nobody takes, a client that sends too slowly or not at all.
    void sweep(Clock::time_point now) {
        if (m_shared.connections < kMaxConnections && !m_shared.stopping) {
            listen(true);
        }
        std::vector<Connection*> late;
        for (auto& [fd, connection] : m_connections) {
            const bool stalled = connection->sending()
                                     ? now - connection->lastSent > m_shared.deadlines.write
                                     : now >= connection->phaseEnd;
            if (stalled) {
                late.push_back(connection.get());
            }
        }
        for (Connection* connection : late) {
            if (!connection->sending() && !connection->closing &&
                (connection->phase == Phase::Head || connection->phase == Phase::Body)) {
                const auto allowed = std::chrono::duration_cast<std::chrono::seconds>(
                    connection->phase == Phase::Head ? m_shared.deadlines.head
                                                     : m_shared.deadlines.body);
                refuse(*connection, 408,
                       std::string("the request's ") +
                           (connection->phase == Phase::Head ? "head" : "body") +
                           " did not arrive within " + std::to_string(allowed.count()) + " s",
                       now);
                advance(*connection, now);
            } else {
                close(*connection);
            }
        }
    }

    Impl& m_shared;
    int m_epoll;
    int m_wake;
    char m_listenTag = 0;
    char m_wakeTag = 0;
    bool m_listening = false;
    std::unordered_map<int, std::unique_ptr<Connection>> m_connections;
};

HttpTransport::HttpTransport(Handler handler, Deadlines deadlines)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->handler = std::move(handler);
    m_impl->deadlines = deadlines;
    for (std::size_t i = 0; i < kLoops; ++i) {
        m_impl->loops.push_back(std::make_unique<Impl::Loop>(*m_impl));
    }
}

HttpTransport::~HttpTransport() {
    m_impl->loops.clear();
    if (m_impl->listenFd >= 0) {
        ::close(m_impl->listenFd);
    }
}

std::optional<std::string> HttpTransport::bind(const std::string& address, int port) {
    const std::string where =
        "cannot listen on " + address + " port " + std::to_string(port) + ": ";
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0) {
        return where + ::gai_strerror(status);
    }
    int error = 0;
    for (const addrinfo* each = found; each != nullptr; each = each->ai_next) {
        const int fd = ::socket(each->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        // SO_REUSEADDR alone: a port another server listens on is refused, never shared
        // (SO_REUSEPORT would have the kernel split the requests between the two).
        const int yes = 1;
        if (fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
            ::bind(fd, each->ai_addr, each->ai_addrlen) == 0 &&
            ::listen(fd, listenBacklog()) == 0) {
            m_impl->listenFd = fd;
            break;
        }
        error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    if (m_impl->listenFd < 0) {
        return where + std::strerror(error);
    }
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    ::getsockname(m_impl->listenFd, reinterpret_cast<sockaddr*>(&bound), &size);
    m_impl->port =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                          : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
    raiseDescriptorLimit();
    return std::nullopt;
}

int HttpTransport::port() const {
    return m_impl->port;
}

void HttpTransport::run() {
    std::vector<std::thread> others;
    for (std::size_t i = 1; i < m_impl->loops.size(); ++i) {
        others.emplace_back([this, i] { m_impl->loops[i]->run(); });
    }
    m_impl->loops.front()->run();
    for (std::thread& other : others) {
        other.join();
    }
}

void HttpTransport::stop() {
    m_impl->stopping = true;
    for (const auto& loop : m_impl->loops) {
        loop->wake();
    }
}

} // namespace sheetfind::server
