#pragma once

#include "streams.h"

#include <string>
#include <string_view>

namespace sheetfind::cli {

// Buffered output to a sink, which remembers how writing went: the tool's answers
// are collected here and written in blocks, so that a batch of millions of lines
// costs a write per 64 KiB.
class Output {
public:
    enum class State {
        Open,
        Closed, // the reader went away (EPIPE, as after `| head -1`): stop, quietly
        Failed, // any other failed write, such as a full disk
    };

    explicit Output(ByteSink& sink);

    void append(std::string_view text) { m_buffer += text; }
    void append(char ch) { m_buffer += ch; }
    // Writes the buffer once it holds a block.
    void flushIfFull() {
        if (m_buffer.size() >= kBlockSize) {
            flush();
        }
    }
    // Writes everything buffered; false when the output is no longer open.
    bool flush();

    State state() const { return m_state; }
    bool open() const { return m_state == State::Open; }
    int error() const { return m_error; } // errno of the failed write

    static constexpr std::size_t kBlockSize = 64 * 1024;

private:
    ByteSink& m_sink;
    std::string m_buffer;
    State m_state = State::Open;
    int m_error = 0;
};

} // namespace sheetfind::cli
