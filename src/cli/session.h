// SPDX-License-Identifier: MIT
#pragma once

#include "output.h"
#include "reference.h"
#include "streams.h"
#include "table_error.h"

#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sheetfind::cli {

using sheetfind::ByteSink;
using sheetfind::ByteSource;
using sheetfind::Output;

// The exit statuses of sheetfind-cli.
enum ExitStatus : int {
    kAllAnswered = 0, // every input was answered (an empty answer is an answer)
    kSomeFailed = 1,  // some input was bad; each was reported, the rest answered
    kUsageOrIo = 2,   // a usage error, or a failed read or write
};

// The one policy for what sheetfind-cli writes and how it ends, shared by every
// subcommand: answers go to standard output, a bad input is answered in place with
// "ERROR: " and its reason (or reported on standard error where the output is not
// lines), and the status says whether all went well. A reader that goes away (`|
// head -1`) ends the run quietly; any other failed write is reported, with status 2.
class Session {
public:
    Session(ByteSink& out, ByteSink& err);

    Output& out() { return m_file ? *m_file : m_out; }

    // Writes the answers to `sink` from now on, as `-o FILE` asks, under the same
    // policy; what was buffered for standard output is written there first. `sink`
    // must outlive the last write, which finish() makes; `name` is the file's, for
    // a message.
    void writeTo(ByteSink& sink, std::string name);

    // An answer line: the cell's text (none where no cell holds the point), then
    // `after`, then the newline; written straight into the output, as a batch needs.
    void answer(const std::optional<sheetref::Reference>& cell, std::string_view after = {}) {
        using sheetref::Reference;
        out().appendWith(Reference::kMaxTextLength + after.size() + 1, [&](char* at) {
            std::size_t size = cell ? cell->writeText(std::span<char, Reference::kMaxTextLength>(
                                          at, Reference::kMaxTextLength))
                                    : 0;
            if (!after.empty()) {
                std::memcpy(at + size, after.data(), after.size());
                size += after.size();
            }
            at[size] = '\n';
            return size + 1;
        });
    }
    // A bad input answered in its place on standard output: "ERROR: " and the reason.
    void answerFailure(const RecordFailure& failure);
    // A bad input reported on standard error, after `where` ("line 3: ") if given.
    void reportFailure(const RecordFailure& failure, std::string_view where = {});
    // The same for a bad input already described: the exit status becomes kSomeFailed.
    void reportFailure(std::string_view message);
    // Any other message on standard error, prefixed with the program's name.
    void diagnose(std::string_view message);

    // A usage error of `command` (empty for the tool itself); returns kUsageOrIo.
    int usageError(std::string_view message, std::string_view command = {});
    // A failed read of the input.
    void readFailed(int error);
    // Any other failed input or output, such as a file that cannot be opened: `what`
    // ("cannot open \"a.csv\"") and the reason; the status becomes kUsageOrIo.
    void ioFailed(std::string_view what, int error);

    // Whether the output is still open: once the reader has gone or a write failed,
    // there is no point answering more.
    bool writing() const { return (m_file ? *m_file : m_out).open(); }

    // Writes what is left and gives the exit status.
    int finish();

    // The reason, with what to do about it in this tool's terms: its options.
    static std::string describe(const RecordFailure& failure);
    // What to do, in this tool's options, after a reason: "; name another with --column".
    static std::string_view advice(TableAdvice advice);

private:
    Output m_out;
    std::optional<Output> m_file;
    std::string m_fileName;
    ByteSink& m_err;
    bool m_failed = false;
    bool m_ioFailed = false;
};

} // namespace sheetfind::cli
