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
    bool writeError = false;
};

// Handles one input line (without its line ending): appends to `out` everything to
// write for it, newline included, or nothing; returns false when the line failed.
using LineHandler = std::function<bool(std::string_view line, std::string& out)>;

// Hands every line of `in` to `handle` and writes what it makes on `out`, whatever
// the other lines hold: blank lines, CRLF endings, a last line without a newline,
// very long lines and bytes that are not UTF-8. Reads and writes in blocks, so
// memory does not grow with the length of the input.
BatchResult answerStream(std::FILE* in, std::FILE* out, const LineHandler& handle,
                         BatchOptions options = {});

// Answers every line of `in` on `out`, line N for line N.
BatchResult answerStream(std::FILE* in, std::FILE* out, const LineAnswerer& answerer,
                         BatchOptions options = {});

} // namespace sheetfind
