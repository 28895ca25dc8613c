// SPDX-License-Identifier: MIT
#include "streams.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include "windows_text.h"

#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace sheetfind {
namespace {

std::atomic<bool> g_interrupted{false};

} // namespace

void markInterrupted() {
    g_interrupted = true;
}

bool wasInterrupted() {
    return g_interrupted;
}

#ifdef _WIN32
namespace {

// The console behind a descriptor, or null where it is a file or a pipe.
void* consoleOf(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// How many bytes at the start of `bytes` are whole UTF-8 sequences: a sequence cut
// short at the end waits for the rest.
std::size_t wholeSequences(std::string_view bytes) {
    std::size_t back = 0;
    while (back < bytes.size() && back < 4 &&
           (static_cast<unsigned char>(bytes[bytes.size() - 1 - back]) & 0xC0) == 0x80) {
        ++back;
    }
    if (back == bytes.size()) {
        return bytes.size();
    }
    const auto lead = static_cast<unsigned char>(bytes[bytes.size() - 1 - back]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return length > back + 1 ? bytes.size() - 1 - back : bytes.size();
}

constexpr char kEndOfInput = '\x1A'; // Ctrl-Z, which ends what is typed into a console

} // namespace

FdSource::FdSource(int fd) : m_fd(fd), m_console(consoleOf(fd)) {}
FdSink::FdSink(int fd) : m_fd(fd), m_console(consoleOf(fd)) {}

std::ptrdiff_t FdSource::readConsole(char* data, std::size_t size) {
    while (m_typed.empty() && !m_ended) {
        wchar_t typed[1024];
        DWORD got = 0;
        if (!ReadConsoleW(m_console, typed, 1024, &got, nullptr)) {
            m_error = EIO;
            return -1;
        }
        if (got == 0) {
            m_ended = true;
            break;
        }
        std::wstring text;
        if (m_highSurrogate != 0) {
            text += std::exchange(m_highSurrogate, 0);
        }
        text.append(typed, got);
        if (text.back() >= 0xD800 && text.back() <= 0xDBFF) {
            m_highSurrogate = text.back();
            text.pop_back();
        }
        m_typed = utf8(text);
        if (const std::size_t end = m_typed.find(kEndOfInput); end != std::string::npos) {
            m_typed.resize(end);
            m_ended = true;
        }
    }
    const std::size_t count = std::min(size, m_typed.size());
    std::memcpy(data, m_typed.data(), count);
    m_typed.erase(0, count);
    return static_cast<std::ptrdiff_t>(count);
}

int FdSink::writeConsole(std::string_view bytes) {
    m_partial.append(bytes);
    const std::size_t whole = wholeSequences(m_partial);
    const std::wstring text = utf16(std::string_view(m_partial).substr(0, whole));
    m_partial.erase(0, whole);
    for (std::size_t at = 0; at < text.size();) {
        DWORD wrote = 0;
        const auto count = static_cast<DWORD>(std::min<std::size_t>(text.size() - at, 8192));
        if (!WriteConsoleW(m_console, text.data() + at, count, &wrote, nullptr) || wrote == 0) {
            return EIO;
        }
        at += wrote;
    }
    return 0;
}
#else
FdSource::FdSource(int fd) : m_fd(fd) {}
FdSink::FdSink(int fd) : m_fd(fd) {}
#endif

std::ptrdiff_t FdSource::read(char* data, std::size_t size) {
    const auto interrupted = [this] {
        m_error = EINTR;
        return -1;
    };
    if (wasInterrupted()) {
        return interrupted();
    }
#ifdef _WIN32
    if (m_console != nullptr) {
        const std::ptrdiff_t got = readConsole(data, size);
        // Ctrl-C ends a console read; the handler says so from its own thread.
        return wasInterrupted() ? interrupted() : got;
    }
#endif
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
    // Standard error still tells why the program stopped.
    constexpr int kStandardError = 2;
    if (wasInterrupted() && m_fd != kStandardError) {
        return EINTR;
    }
#ifdef _WIN32
    if (m_console != nullptr) {
        return writeConsole(bytes);
    }
#endif
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
