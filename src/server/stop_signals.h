// SPDX-License-Identifier: MIT
#pragma once

#include <pthread.h>

#include <csignal>
#include <thread>

namespace sheetfind::server {

// SIGINT and SIGTERM end a server cleanly: the requests in flight finish. Made before
// any thread is started, since threads inherit the blocked signals, and before the
// server says where it listens, so that a signal sent on reading that finds it ready.
class StopSignals {
public:
    StopSignals() {
        sigemptyset(&m_signals);
        sigaddset(&m_signals, SIGINT);
        sigaddset(&m_signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
    }

    // Calls run(), which serves until stop() is called: from a thread that waits for
    // the signals, or here once run() has ended of itself.
    template <class Run, class Stop> void runUntilSignalled(Run run, Stop stop) {
        std::thread waiter([this, &stop] {
            int signal = 0;
            sigwait(&m_signals, &signal);
            stop();
        });
        run();
        // Wakes the waiter if no signal came, as when the server could not start.
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
    }

private:
    sigset_t m_signals;
};

} // namespace sheetfind::server
