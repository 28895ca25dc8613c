#pragma once

#include "lookup_command.h"

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace sheetfind {

// Answers the lines of a batch file. Each holds a latitude and a longitude,
// separated by blanks or a tab, or by one comma where the locale's decimal
// separator is not a comma.
class LineAnswerer {
public:
    explicit LineAnswerer(const QLocale& locale = QLocale());

    // Appends the caption the window would show (the reference, or nothing) or
    // "ERROR: " and the reason, without a newline. Returns false for an error.
    bool answer(std::string_view line, std::string& out) const;

private:
    LookupCommand m_command;
    bool m_commaSeparates;
};

struct BatchOptions {
    // Flush after every answer, for a person typing at a terminal.
    bool interactive = false;
};

struct BatchResult {
    unsigned long long lines = 0;
    unsigned long long failures = 0;
    bool readError = false;
    bool writeError = false; // answering stopped at the first failed write
    int errorNumber = 0;     // errno of the failed read or write
};

// One input line as the reader saw it, without its line ending: its text, or the
// fact that it ran past the length limit and was skipped unread.
struct InputLine {
    std::string_view text;
    bool tooLong = false;
};

// No coordinate pair or reference needs more; a longer line is junk (a binary
// file, a missing newline) and is answered with one error without being held.
inline constexpr std::size_t kMaxLineLength = 64 * 1024;
inline constexpr std::string_view kLineTooLong = "line too long (the limit is 65536 bytes)";

// Handles one input line: appends to `out` everything to write for it, newline
// included, or nothing; returns false when the line failed.
using LineHandler = std::function<bool(const InputLine& line, std::string& out)>;

// Hands every line of `in` to `handle` and writes what it makes on `out`, whatever
// the other lines hold: blank lines, CRLF endings, a last line without a newline,
// NUL bytes and bytes that are not UTF-8. A line over 64 KiB is handed over as too
// long, without its text. Reads and writes in blocks, so memory stays flat whatever
// the input.
BatchResult answerStream(std::FILE* in, std::FILE* out, const LineHandler& handle,
                         BatchOptions options = {});

// Answers every line of `in` on `out`, line N for line N: the caption the window
// would show, or "ERROR: " and the reason.
BatchResult answerStream(std::FILE* in, std::FILE* out, const LineAnswerer& answerer,
                         BatchOptions options = {});

} // namespace sheetfind
