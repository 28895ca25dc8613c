// SPDX-License-Identifier: MIT
#include "csv_annotator.h"
#include "csv_columns.h"
#include "csv_dialect.h"
#include "csv_reader.h"
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
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
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

// The table as it arrives in blocks: its byte order mark and delimiter found at the
// start, then each record annotated.
class Table {
public:
    Table(Session& session, std::optional<char> delimiter, AnnotateSettings settings)
        : m_session(session), m_delimiter(delimiter), m_settings(std::move(settings)) {}

    // Reads the next block; false once there is no point reading more.
    bool feed(std::string_view bytes) {
        if (m_reader) {
            return m_reader->feed(bytes) ? m_annotator->going() : failed();
        }
        m_held += bytes;
        if (!m_markLookedFor) {
            if (m_held.size() < kByteOrderMark.size()) {
                return true;
            }
            lookForMark();
            bytes = m_held;
        }
        if (!m_delimiter && !m_detector.feed(bytes)) {
            return true;
        }
        return start();
    }

    void finish() {
        if (!m_reader) {
            if (!m_markLookedFor) {
                lookForMark();
                m_detector.feed(m_held);
            }
            m_detector.finish();
            if (!start()) {
                return;
            }
        }
        if (!m_reader->finish()) {
            failed();
            return;
        }
        m_annotator->finish();
    }

private:
    void lookForMark() {
        m_markLookedFor = true;
        m_byteOrderMark = std::string_view(m_held).starts_with(kByteOrderMark);
        if (m_byteOrderMark) {
            m_held.erase(0, kByteOrderMark.size());
        }
    }

    // The delimiter is known: what was held to find it is read as the table's start.
    bool start() {
        const char delimiter = m_delimiter ? *m_delimiter : m_detector.delimiter().value_or(',');
        m_annotator = std::make_unique<CsvAnnotator>(m_session, delimiter, m_byteOrderMark,
                                                     std::move(m_settings));
        m_reader = std::make_unique<CsvReader>(
            delimiter, [annotator = m_annotator.get()](const CsvRecord& record) {
                annotator->record(record);
            });
        const std::string held = std::move(m_held);
        return m_reader->feed(held) ? m_annotator->going() : failed();
    }

    // The records before the fault are written; after it, where a record ends is
    // anybody's guess, so reading stops.
    bool failed() {
        const CsvError& error = *m_reader->error();
        const bool quotes = error.kind == CsvError::Kind::Quotes;
        m_session.reportFailure(
            InputFailure{.error = quotes ? InputError::MalformedQuotes : InputError::RecordTooLong,
                         .field = Field::Line,
                         .detail = error.detail,
                         .count = quotes ? 0 : CsvReader::kMaxRecordBytes},
            "row " + std::to_string(error.row) + ": ");
        return false;
    }

    Session& m_session;
    std::optional<char> m_delimiter;
    AnnotateSettings m_settings;
    std::string m_held; // the start of the table, until its delimiter is known
    bool m_markLookedFor = false;
    bool m_byteOrderMark = false;
    DelimiterDetector m_detector;
    std::unique_ptr<CsvAnnotator> m_annotator;
    std::unique_ptr<CsvReader> m_reader;
};

struct TableOptions {
    std::optional<char> delimiter;
    AnnotateSettings settings;
};

// The options of annotate for a table, or a usage error already reported.
std::optional<TableOptions> tableOptions(Context& context) {
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
    TableOptions options;
    AnnotateSettings& settings = options.settings;
    const auto scale = scaleOption(context);
    if (!scale) {
        return std::nullopt;
    }
    settings.scale = *scale;
    if (const auto delimiter = args.value("delimiter")) {
        if (*delimiter == "," || *delimiter == ";") {
            options.delimiter = delimiter->front();
        } else if (*delimiter == "tab" || *delimiter == "\\t" || *delimiter == "\t") {
            options.delimiter = '\t';
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
    settings.column = sheetref::sheetColumnName(settings.scale);
    if (const auto column = args.value("column")) {
        if (column->empty()) {
            return usage("--column needs a name for the new column");
        }
        settings.column = std::string(*column);
    }
    return options;
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
        return annotateLayer(context);
    }
    auto options = tableOptions(context);
    if (!options) {
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
    Table table(session, options->delimiter, std::move(options->settings));
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
