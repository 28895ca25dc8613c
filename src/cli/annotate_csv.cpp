// SPDX-License-Identifier: MIT
#include "csv_annotator.h"
#include "gis_commands.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace sheetfind::cli {
namespace {

constexpr std::size_t kReadSize = 64 * 1024;

// Tables are bytes: no CRLF translation where the platform has it, and no
// descriptor left open in a child process where it can be avoided.
#ifdef O_BINARY
constexpr int kFileFlags = O_BINARY;
#elif defined(O_CLOEXEC)
constexpr int kFileFlags = O_CLOEXEC;
#else
constexpr int kFileFlags = 0;
#endif
constexpr std::string_view kStandardStream = "-";

// A table is read here; any other source is a GIS layer, read through GDAL.
bool isTable(std::string_view source) {
    if (source == kStandardStream) {
        return true;
    }
    const std::size_t dot = source.rfind('.');
    if (dot == std::string_view::npos || source.find('/', dot) != std::string_view::npos) {
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
    bool open(const std::string& path, int flags) {
        m_fd = ::open(path.c_str(), flags, 0666);
        return m_fd >= 0;
    }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

bool sameFile(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

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
        if (!sourceFile.open(source, O_RDONLY | kFileFlags)) {
            session.ioFailed("cannot open \"" + source + "\"", errno);
            return session.finish();
        }
        in = &fileSource.emplace(sourceFile.fd());
    }
    OpenFile outputFile;
    std::optional<FdSink> fileSink;
    if (const auto output = context.args.value("output"); output && *output != kStandardStream) {
        const std::string path(*output);
        // Opening the source for writing would empty it before it is read.
        if (sourceFile.fd() >= 0 && sameFile(sourceFile.fd(), path)) {
            return session.usageError("the output \"" + path +
                                          "\" is the source; write the annotated table elsewhere",
                                      context.command);
        }
        if (!outputFile.open(path, O_WRONLY | O_CREAT | O_TRUNC | kFileFlags)) {
            session.ioFailed("cannot open \"" + path + "\" for writing", errno);
            return session.finish();
        }
        session.writeTo(fileSink.emplace(outputFile.fd()));
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
    return session.finish();
}

} // namespace sheetfind::cli
