// SPDX-License-Identifier: MIT
#include "streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace sheetfind {

std::ptrdiff_t FdSource::read(char* data, std::size_t size) {
    for (;;) {
#ifdef _WIN32
        const auto got = ::_read(m_fd, data, static_cast<unsigned>(size));
#else
        const auto got = ::read(m_fd, data, size);
#endif
        if (got >= 0) {
            return got;
        }
        if (errno != EINTR) {
            m_error = errno;
            return -1;
        }
    }
}

int FdSink::write(std::string_view bytes) {
    while (!bytes.empty()) {
#ifdef _WIN32
        const auto wrote = ::_write(m_fd, bytes.data(), static_cast<unsigned>(bytes.size()));
#else
        const auto wrote = ::write(m_fd, bytes.data(), bytes.size());
#endif
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return 0;
}

std::ptrdiff_t StringSource::read(char* data, std::size_t size) {
    const std::size_t count = std::min(size, m_text.size() - m_at);
    std::memcpy(data, m_text.data() + m_at, count);
    m_at += count;
    return static_cast<std::ptrdiff_t>(count);
}

} // namespace sheetfind
