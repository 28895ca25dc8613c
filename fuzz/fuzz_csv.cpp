// SPDX-License-Identifier: MIT
// The CSV annotator on any bytes, fed in blocks of any size: no crash; each run ends
// with every record of the input written back or a failure reported, and the blocks
// change nothing, neither the table written nor the failures.

#include "csv_annotator.h"
#include "fuzz_check.h"
#include "line_reader.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Tables larger than this teach the fuzzer nothing the small ones do not.
constexpr std::size_t kMaxInput = 16 * 1024;

constexpr std::array<char, 3> kDelimiters = {',', ';', '\t'};

struct Run {
    std::string out;
    std::vector<std::size_t> rows; // of each failure reported
    bool stopped = false;          // a failure of the table as a whole, or of its quotes
};

bool stopsTheTable(std::size_t row, const sheetfind::RecordFailure& failure) {
    const auto* table = std::get_if<sheetfind::TableFailure>(&failure);
    return row == 0 ||
           (table != nullptr && (table->error == sheetfind::TableError::MalformedQuotes ||
                                 table->error == sheetfind::TableError::RecordTooLong));
}

// Annotates `input`, cut into blocks whose sizes cycle through `blocks`.
Run annotate(std::string_view input, char delimiter, std::string_view blocks) {
    Run run;
    sheetfind::StringSink sink;
    sheetfind::Output out(sink);
    sheetfind::AnnotateSettings settings;
    settings.delimiter = delimiter;
    settings.numbers = sheetfind::NumberReader::named("C");
    sheetfind::CsvAnnotator table(out, settings,
                                  [&run](std::size_t row, const sheetfind::RecordFailure& failure) {
                                      check(!sheetfind::describe(failure).empty());
                                      run.rows.push_back(row);
                                      run.stopped = run.stopped || stopsTheTable(row, failure);
                                  });
    bool going = true;
    for (std::size_t at = 0, next = 0; going && at < input.size(); ++next) {
        const std::size_t size = blocks.empty()
                                     ? input.size()
                                     : 1 + static_cast<unsigned char>(blocks[next % blocks.size()]);
        going = table.feed(input.substr(at, size));
        at += size;
    }
    if (going) {
        table.finish();
    }
    check(out.flush());
    run.out = sink.text();
    return run;
}

// The records of a table as the reader sees them, blank lines included.
std::size_t records(std::string_view text, char delimiter, bool& wellFormed) {
    sheetfind::CsvReader reader(delimiter, [](const sheetfind::CsvRecord&) {});
    wellFormed = reader.feed(text) && reader.finish();
    return reader.rows();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the delimiter and how many of the next bytes are block
    // sizes; the rest is the table.
    if (size == 0 || size > kMaxInput) {
        return 0;
    }
    const char delimiter = kDelimiters[data[0] % kDelimiters.size()];
    const std::size_t blockBytes =
        std::min<std::size_t>(data[0] / kDelimiters.size() % 8, size - 1);
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string_view blocks = bytes.substr(0, blockBytes);
    std::string_view input = bytes.substr(blockBytes);

    const Run whole = annotate(input, delimiter, {});
    const Run cut = annotate(input, delimiter, blocks);
    check(whole.out == cut.out);
    check(whole.rows == cut.rows);

    if (input.starts_with(sheetfind::kByteOrderMark)) {
        input.remove_prefix(sheetfind::kByteOrderMark.size());
    }
    bool inputWellFormed = false;
    const std::size_t in = records(input, delimiter, inputWellFormed);
    // A fault of the quotes is reported at the record it is in, which is never handed on.
    for (const std::size_t row : whole.rows) {
        check(row <= in + (inputWellFormed ? 0 : 1));
    }
    if (whole.stopped) {
        return 0;
    }
    // Nothing stopped the table: every record, header included, is written back,
    // and what is written is a table the reader reads whole.
    check(inputWellFormed);
    std::string_view written = whole.out;
    if (written.starts_with(sheetfind::kByteOrderMark)) {
        written.remove_prefix(sheetfind::kByteOrderMark.size());
    }
    bool outputWellFormed = false;
    check(records(written, delimiter, outputWellFormed) == in);
    check(outputWellFormed);
    return 0;
}
