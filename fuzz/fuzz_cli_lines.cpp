// SPDX-License-Identifier: MIT
// sheetfind-cli on any bytes: the bare form and locate, as cli::run runs them.
// Exactly one answer line comes out for each input line, each an empty line, a
// reference or an ERROR line, and the run ends with status 0 or 1.

#include "cli.h"
#include "fuzz_check.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::size_t linesIn(std::string_view input) {
    std::size_t lines = 0;
    for (const char ch : input) {
        lines += ch == '\n' ? 1 : 0;
    }
    if (!input.empty() && input.back() != '\n') {
        ++lines; // a last line without a newline is answered too
    }
    return lines;
}

void checkAnswers(std::string_view text, std::size_t lines, std::size_t referenceLength) {
    std::size_t answers = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        check(end != std::string_view::npos); // every answer ends with a newline
        const std::string_view answer = text.substr(start, end - start);
        check(answer.empty() || answer.size() == referenceLength || answer.starts_with("ERROR: "));
        for (const char ch : answer) {
            check(static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7F);
        }
        ++answers;
        start = end + 1;
    }
    check(answers == lines);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the form; the rest is the input.
    const bool locate = data[0] % 2 == 1;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::array<std::string_view, 3> locateArgs = {"locate", "--scale", "250k"};
    const std::span<const std::string_view> args =
        locate ? std::span<const std::string_view>(locateArgs)
               : std::span<const std::string_view>();

    sheetfind::StringSource in{std::string(input)};
    sheetfind::StringSink out;
    sheetfind::StringSink err;
    const int status = sheetfind::cli::run(args, in, out, err);
    check(status == 0 || status == 1);
    // A byte order mark at the start is not part of the first line.
    if (input.starts_with("\xEF\xBB\xBF")) {
        input.remove_prefix(3);
        check(linesIn(input) > 0 || out.text().size() <= 1);
        if (linesIn(input) == 0) {
            return 0;
        }
    }
    checkAnswers(out.text(), linesIn(input), locate ? 4 : 6);
    return 0;
}
