// SPDX-License-Identifier: MIT
#pragma once

#include "streams.h"

#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfind {

// The UTF-8 byte order mark that some programs (Excel among them) write at the start
// of a text file: it is not part of the first line, nor of a table's first field.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// No coordinate pair or reference needs more; a longer line is junk (a binary file,
// a missing newline) and is answered with one error without being held.
inline constexpr std::size_t kMaxLineLength = 64 * 1024;

// One input line as the reader saw it, without its line ending: its text, or the
// fact that it ran past the length limit and was skipped unread.
struct InputLine {
    std::string_view text;
    bool tooLong = false;
};

// Splits an input into lines, whatever they hold: LF or CRLF endings, a last line
// without a newline, NUL bytes and bytes that are not UTF-8. A UTF-8 byte order mark
// at the start of the input is not part of the first line. Reads in blocks, so
// memory stays flat whatever the input.
//
// Before each read, which may wait for the writer, it calls `beforeRead`: that is
// where the answers so far are flushed, so that a program that writes one line and
// waits for its answer gets it, and a file costs one write per block.
class LineReader {
public:
    LineReader(ByteSource& in, std::function<void()> beforeRead);

    // The next line, or false at the end of the input or on a read error.
    bool next(InputLine& line) {
        // Inline, for a batch: a line that lies whole in the block, after the first.
        if (m_started && !m_data.empty()) {
            if (const void* newline = std::memchr(m_data.data(), '\n', m_data.size())) {
                const auto length =
                    static_cast<std::size_t>(static_cast<const char*>(newline) - m_data.data());
                if (length <= kMaxLineLength) {
                    line = InputLine{withoutCarriageReturn(m_data.substr(0, length))};
                    m_data.remove_prefix(length + 1);
                    return true;
                }
            }
        }
        return nextAnyLine(line);
    }

    bool failed() const { return m_failed; }
    int error() const { return m_in.error(); }

private:
    static std::string_view withoutCarriageReturn(std::string_view line) {
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return line;
    }
    bool nextAnyLine(InputLine& line);
    bool fill();

    ByteSource& m_in;
    std::function<void()> m_beforeRead;
    std::vector<char> m_block;
    std::string_view m_data; // what is left of the block
    std::string m_pending;   // the start of a line that a block boundary cut
    bool m_started = false;  // the byte order mark has been looked for
    bool m_end = false;
    bool m_failed = false;
};

} // namespace sheetfind
