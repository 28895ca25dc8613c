// SPDX-License-Identifier: MIT
#pragma once

#include "streams.h"

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace sheetfind {

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

    // Inline and without std::string's bookkeeping: a batch appends twice per line.
    void append(std::string_view text) {
        if (text.size() > m_capacity - m_size) {
            grow(text.size());
        }
        if (!text.empty()) {
            std::memcpy(m_data.get() + m_size, text.data(), text.size());
            m_size += text.size();
        }
    }
    void append(char ch) {
        if (m_size == m_capacity) {
            grow(1);
        }
        m_data[m_size++] = ch;
    }
    // Lets `write(char* at)` write at most `most` bytes at the end of the buffer and
    // keeps the number it returns: an answer is written straight in, without a string
    // between.
    template <typename Write> void appendWith(std::size_t most, Write write) {
        if (most > m_capacity - m_size) {
            grow(most);
        }
        m_size += write(m_data.get() + m_size);
    }
    // Writes the buffer once it holds a block.
    void flushIfFull() {
        if (m_size >= kBlockSize) {
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
    // Makes room for `more` bytes beyond what is buffered.
    void grow(std::size_t more);

    ByteSink& m_sink;
    // Two blocks, so that the answers of one line never outgrow it before the check
    // that flushes a full block; one long answer (GeoJSON) grows it.
    std::size_t m_capacity = 2 * kBlockSize;
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    State m_state = State::Open;
    int m_error = 0;
};

} // namespace sheetfind
