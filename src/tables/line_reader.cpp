// SPDX-License-Identifier: MIT
#include "line_reader.h"

#include <cstring>
#include <utility>

namespace sheetfind {
namespace {

constexpr std::size_t kReadSize = 64 * 1024;

} // namespace

LineReader::LineReader(ByteSource& in, std::function<void()> beforeRead)
    : m_in(in), m_beforeRead(std::move(beforeRead)), m_block(kReadSize) {}

bool LineReader::fill() {
    if (m_beforeRead) {
        m_beforeRead();
    }
    const std::ptrdiff_t got = m_in.read(m_block.data(), m_block.size());
    if (got <= 0) {
        m_end = true;
        m_failed = got < 0;
        return false;
    }
    m_data = std::string_view(m_block.data(), static_cast<std::size_t>(got));
    return true;
}

bool LineReader::nextAnyLine(InputLine& line) {
    bool tooLong = false;
    bool found = false;
    m_pending.clear();
    std::string_view text;
    while (!found) {
        if (m_data.empty() && (m_end || !fill())) {
            if (m_pending.empty() && !tooLong) {
                return false;
            }
            text = m_pending; // the last line had no newline
            break;
        }
        const char* newline =
            static_cast<const char*>(std::memchr(m_data.data(), '\n', m_data.size()));
        const std::size_t length =
            newline == nullptr ? m_data.size() : static_cast<std::size_t>(newline - m_data.data());
        const std::string_view piece = m_data.substr(0, length);
        if (!tooLong && m_pending.size() + piece.size() > kMaxLineLength) {
            // Nothing more of this line is kept, however long it goes on.
            tooLong = true;
            m_pending.clear();
        }
        m_data.remove_prefix(newline == nullptr ? length : length + 1);
        if (newline == nullptr) {
            if (!tooLong) {
                m_pending.append(piece);
            }
            continue;
        }
        found = true;
        if (m_pending.empty()) {
            text = piece; // the whole line is in the block: no copy
        } else if (!tooLong) {
            m_pending.append(piece);
            text = m_pending;
        }
    }
    if (!m_started) {
        m_started = true;
        if (text.starts_with(kByteOrderMark)) {
            text.remove_prefix(kByteOrderMark.size());
        }
    }
    line = InputLine{tooLong ? std::string_view() : withoutCarriageReturn(text), tooLong};
    return true;
}

} // namespace sheetfind
