// SPDX-License-Identifier: MIT
#include "csv_annotator.h"
#include "file_path.h"
#include "gis_commands.h"
#include "output_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace sheetfind::cli {
namespace {

constexpr std::size_t kReadSize = 64 * 1024;

constexpr std::string_view kStandardStream = "-";
constexpr int kStandardInput = 0;

// A table is read here; any other source is a GIS layer, read through GDAL.
bool isTable(std::string_view source) {
    if (source == kStandardStream) {
        return true;
    }
    // A driver's prefix ("CSV:wkt.csv") asks GDAL to read it, geometry column and all.
    const std::size_t colon = source.find(':');
    if (colon != std::string_view::npos && colon > 1 &&
        std::all_of(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(colon),
                    [](unsigned char ch) { return std::isalnum(ch) != 0; })) {
        return false;
    }
    const std::size_t dot = source.rfind('.');
    if (dot == std::string_view::npos ||
        source.find_first_of("/\\", dot) != std::string_view::npos) {
        return false;
    }
    const std::string_view extension = source.substr(dot);
    return sameLetters(extension, ".csv") || sameLetters(extension, ".tsv") ||
           sameLetters(extension, ".txt");
}

// A file descriptor that this command opened, closed when it is done with.
class OpenFile {
public:
    OpenFile() = default;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    bool open(const std::string& path, FileAccess access) {
        m_fd = openFile(path, access);
        return m_fd >= 0;
    }
    int fd() const { return m_fd; }
    // Closes the file now; false, with errno, when the last writes failed there.
    bool close() {
        const int fd = std::exchange(m_fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd = -1;
};

// The options of annotate for a table, or a usage error already reported.
std::optional<AnnotateSettings> tableOptions(Context& context) {
    const Arguments& args = context.args;
    const auto usage = [&](const std::string& message) {
        context.session.usageError(message, context.command);
        return std::nullopt;
    };
    for (const std::string_view option : {"layer", "explode", "assume-crs", "geodesic"}) {
        if (args.has(option)) {
            return usage("--" + std::string(option) +
                         " is for GIS layers; a CSV table has none of it");
        }
    }
    if (const auto driver = args.value("of"); driver && !sameLetters(*driver, "csv")) {
        return usage("a CSV table is annotated as CSV; --of " + std::string(*driver) +
                     " is for GIS layers");
    }
    AnnotateSettings settings;
    const auto scale = scaleOption(context);
    if (!scale) {
        return std::nullopt;
    }
    settings.scale = *scale;
    const auto datum = datumOption(context);
    if (!datum) {
        return std::nullopt;
    }
    settings.datum = *datum;
    settings.flagUncertain = args.has("flag-uncertain");
    if (const auto delimiter = args.value("delimiter")) {
        if (*delimiter == "," || *delimiter == ";") {
            settings.delimiter = delimiter->front();
        } else if (*delimiter == "tab" || *delimiter == "\\t" || *delimiter == "\t") {
            settings.delimiter = '\t';
        } else {
            return usage("unknown delimiter \"" + std::string(*delimiter) +
                         "\"; expected , ; or tab");
        }
    }
    if (const auto input = args.value("input")) {
        const auto notation = notationNamed(*input);
        if (!notation) {
            return usage("unknown notation \"" + std::string(*input) +
                         "\"; expected decimal, dms, utm or mgrs");
        }
        settings.options.notation = *notation;
    }
    settings.options.longitudeFirst = args.has("lon-first");
    settings.choice = ColumnChoice{.latitude = args.value("lat"),
                                   .longitude = args.value("lon"),
                                   .point = args.value("point")};
    if (settings.choice.latitude.has_value() != settings.choice.longitude.has_value()) {
        return usage("--lat and --lon go together: name both columns, or --point for one");
    }
    if (settings.choice.point && settings.choice.latitude) {
        return usage("--point names one column for the point; leave out --lat and --lon");
    }
    if (const auto failure = checkChoice(settings.choice)) {
        return usage(Session::describe(*failure));
    }
    if (const auto column = args.value("column")) {
        if (column->empty()) {
            return usage("--column needs a name for the new column");
        }
        settings.column = std::string(*column);
    }
    return settings;
}

} // namespace

int annotate(Context& context) {
    Session& session = context.session;
    const auto& operands = context.args.operands;
    if (operands.size() > 1) {
        return session.usageError("annotate expects one SOURCE; got " +
                                      std::to_string(operands.size()) + " arguments",
                                  context.command);
    }
    const std::string source(operands.empty() ? kStandardStream : operands[0]);
    if (!isTable(source)) {
        const GisModule* gis = gisModule(session);
        if (gis == nullptr) {
            session.finish();
            return kUsageOrIo;
        }
        return gis->annotateLayer(context);
    }
    auto settings = tableOptions(context);
    if (!settings) {
        return kUsageOrIo;
    }
    OpenFile sourceFile;
    std::optional<FdSource> fileSource;
    ByteSource* in = &context.in;
    if (source != kStandardStream) {
        if (const auto problem = unusableFileName(source)) {
            session.diagnose(*problem);
            session.finish();
            return kUsageOrIo;
        }
        if (!sourceFile.open(source, FileAccess::Read)) {
            session.ioFailed("cannot open \"" + source + "\"", errno);
            return session.finish();
        }
        in = &fileSource.emplace(sourceFile.fd());
    }
    std::optional<OutputFile> outputFile;
    OpenFile outputFd;
    std::optional<FdSink> fileSink;
    const auto output = context.args.value("output");
    if (output && *output != kStandardStream) {
        // The input is never the output: by name, by link, or as `-o F < F`.
        const std::array sources{sourceFile.fd() >= 0 ? sourceFile.fd() : kStandardInput};
        auto staged = OutputFile::stage(std::string(*output), sources);
        if (const auto* refused = std::get_if<std::string>(&staged)) {
            session.diagnose(*refused);
            session.finish();
            return kUsageOrIo;
        }
        outputFile.emplace(std::move(std::get<OutputFile>(staged)));
        // A device or a pipe is written as it is.
        if (!outputFd.open(outputFile->path(), outputFile->stream() ? FileAccess::WriteExisting
                                                                    : FileAccess::CreateNew)) {
            session.ioFailed("cannot write \"" + outputFile->destination() + "\"", errno);
            return session.finish();
        }
        session.writeTo(fileSink.emplace(outputFd.fd()), outputFile->destination());
    }
    CsvAnnotator table(session.out(), std::move(*settings),
                       [&session](std::size_t row, const RecordFailure& failure) {
                           session.reportFailure(failure,
                                                 row == 0 ? std::string()
                                                          : "row " + std::to_string(row) + ": ");
                       });
    std::vector<char> block(kReadSize);
    for (;;) {
        // A program that writes a record and waits gets its answer before the wait.
        session.out().flush();
        const std::ptrdiff_t got = in->read(block.data(), block.size());
        if (got < 0) {
            session.readFailed(in->error());
            break;
        }
        if (got == 0) {
            table.finish();
            break;
        }
        if (!table.feed(std::string_view(block.data(), static_cast<std::size_t>(got)))) {
            break;
        }
    }
    if (const std::string notice = table.datumNotice(); !notice.empty()) {
        session.diagnose(notice);
    }
    const int status = session.finish();
    if (!outputFile || status == kUsageOrIo) {
        return status;
    }
    // Kept only whole: a table that stopped half-way leaves no file.
    if (!table.complete()) {
        return status;
    }
    if (!outputFd.close()) {
        session.ioFailed("cannot write \"" + outputFile->destination() + "\"", errno);
        return session.finish();
    }
    if (const std::string failure = outputFile->commit(); !failure.empty()) {
        session.diagnose(failure);
        return kUsageOrIo;
    }
    return status;
}

} // namespace sheetfind::cli
