// The batch reader: any bytes in, exactly one answer line out for each input line,
// each an empty line, a reference or an ERROR line.

#include "batch.h"
#include "fuzz_check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const sheetfind::LineAnswerer answerer(QLocale::c());
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // fmemopen refuses an empty buffer; an empty input has no lines either way.
    std::FILE* in = size == 0 ? std::fopen("/dev/null", "rb")
                              : fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    char* output = nullptr;
    std::size_t outputSize = 0;
    std::FILE* out = open_memstream(&output, &outputSize);
    const auto result = sheetfind::answerStream(in, out, answerer);
    std::fclose(in);
    std::fclose(out);

    std::size_t lines = 0;
    for (const char ch : input) {
        lines += ch == '\n' ? 1 : 0;
    }
    if (!input.empty() && input.back() != '\n') {
        ++lines; // a last line without a newline is answered too
    }
    std::size_t answers = 0;
    const std::string_view text(output, outputSize);
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        check(end != std::string_view::npos); // every answer ends with a newline
        const std::string_view answer = text.substr(start, end - start);
        check(answer.empty() || answer.size() == 6 || answer.starts_with("ERROR: "));
        ++answers;
        start = end + 1;
    }
    check(answers == lines && result.lines == lines && !result.readError && !result.writeError);
    std::free(output);
    return 0;
}
