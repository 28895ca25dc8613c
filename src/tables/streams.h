// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sheetfind {

// Where sheetfind-cli reads its input. A read returns what is there, up to `size`
// bytes, without waiting for more once it has some: a pipe from a program that
// writes a line and waits for the answer must get that answer.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The number of bytes read, 0 at the end of the input, or -1 on an error, whose
    // errno value error() then gives.
    virtual std::ptrdiff_t read(char* data, std::size_t size) = 0;
    virtual int error() const = 0;
};

// Where sheetfind-cli writes. A write writes every byte or fails.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // 0, or the errno value of the failure: EPIPE when the reader has gone away.
    virtual int write(std::string_view bytes) = 0;
};

// Whether the user has interrupted the program (Ctrl-C, or the console window
// closed): from then on every FdSource read and FdSink write fails with EINTR, so
// that the program unwinds and removes what it was writing. Set on Windows, whose
// console control handler runs beside the program; POSIX signals end the program
// instead (discardStagedFilesOnSignals). Standard error is still written.
void markInterrupted();
bool wasInterrupted();

// A file descriptor: standard input, output and error of the process, or a file.
// Bytes go through as they are, except to and from a Windows console, which speaks
// UTF-16 whatever its code page: there text is converted from and to UTF-8, so that
// "Élise" reads as typed in cmd.exe and PowerShell alike.
class FdSource : public ByteSource {
public:
    explicit FdSource(int fd);
    std::ptrdiff_t read(char* data, std::size_t size) override;
    int error() const override { return m_error; }

private:
    int m_fd;
    int m_error = 0;
#ifdef _WIN32
    std::ptrdiff_t readConsole(char* data, std::size_t size);
    void* m_console = nullptr;   // the console's handle, where the input is one
    std::string m_typed;         // what was typed and converted, not yet read
    wchar_t m_highSurrogate = 0; // the first half of a character split between reads
    bool m_ended = false;        // Ctrl-Z was typed
#endif
};

class FdSink : public ByteSink {
public:
    explicit FdSink(int fd);
    int write(std::string_view bytes) override;

private:
    int m_fd;
#ifdef _WIN32
    int writeConsole(std::string_view bytes);
    void* m_console = nullptr; // the console's handle, where the output is one
    std::string m_partial;     // the start of a UTF-8 sequence cut between writes
#endif
};

// Text in memory, for tests and for embedding the tool.
class StringSource : public ByteSource {
public:
    explicit StringSource(std::string text) : m_text(std::move(text)) {}
    std::ptrdiff_t read(char* data, std::size_t size) override;
    int error() const override { return 0; }

private:
    std::string m_text;
    std::size_t m_at = 0;
};

class StringSink : public ByteSink {
public:
    int write(std::string_view bytes) override {
        m_text += bytes;
        return 0;
    }
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

} // namespace sheetfind
