#include "subcommands.h"

#include "batch.h"
#include "geojson.h"
#include "grid.h"
#include "lookup_command.h"
#include "point_reader.h"
#include "reference_parser.h"

#include <QString>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace sheetfind {
namespace {

using sheetref::Reference;
using sheetref::Scale;

constexpr std::string_view kUsage = R"(Usage: sheetfind-cli LATITUDE LONGITUDE
       sheetfind-cli < FILE
       sheetfind-cli locate [--scale 1m|250k|50k] [--format geojson] [LATITUDE LONGITUDE]
       sheetfind-cli bounds [--format geojson] [REFERENCE...]
       sheetfind-cli neighbours [--format geojson] REFERENCE
       sheetfind-cli cover [--scale 1m|250k|50k] [--format geojson] SOUTH WEST NORTH EAST

Without a subcommand, prints the 1:50 000 NTS map sheet that covers a point, such
as 092G06, or an empty line when no sheet of the grid covers it (this form spans
40-80 N and 48-144 W, as the window does). West longitudes are negative: -123.1
is a value, not an option.

With no arguments, reads standard input: each line holds a latitude and a
longitude separated by blanks, a tab, or a comma (where the comma is not the
decimal separator). Output line N answers input line N with the reference, an
empty line, or "ERROR: " and the reason.

Numbers are read in the locale of LC_ALL, LC_NUMERIC or LANG, as the window
reads them; 49.25 is also accepted where the decimal separator is a comma.

Subcommands work on the whole grid, the high Arctic (80-88 N) included, at three
scales: --scale 1m (series, 1:1 000 000, e.g. 092), 250k (map area, 1:250 000,
e.g. 092G) or 50k (sheet, 1:50 000, e.g. 092G06; the default).

  locate      The reference of the cell that covers a point, or an empty line.
              The point is LATITUDE LONGITUDE, or one argument holding both;
              without it, reads standard input line by line as the bare form
              does. Also reads degrees-minutes-seconds with hemisphere letters:
              "49°15'N 123°06'W", "49 15 0 N, 123 6 0 W", "N49:15 W123:6".
  bounds      For each reference (or each line of standard input when none is
              given): the canonical reference, then its south, west, north and
              east edges in decimal degrees, tab-separated. References are read
              as people write them: 092G06, 92g6, "92 G/6", 92-G-6, 82O, 92.
  neighbours  Every cell of the same scale that shares an edge or a corner with
              the reference, one per line.
  cover       Every cell at the scale that the box SOUTH WEST NORTH EAST shares
              some area with, one per line. An edge lying on a cell's edge does
              not reach across it; a box of no height or width covers the cells
              that own its points. The largest cover, the whole grid, is 27 264
              sheets.

A point on a meridian belongs to the cell west of it, a point on a parallel to
the cell north of it. Output is in reference order.

--format geojson writes, instead of text, one RFC 7946 FeatureCollection of the
cells as polygons (WGS 84 longitude and latitude, counterclockwise rings) with
the properties "reference" and "scale". Each cell appears once. Bad lines are
then reported on standard error as "sheetfind-cli: line N: ...". QGIS opens
the file as it is (Layer > Add Layer > Add Vector Layer, or drag it in).

Exit status: 0 when every input was answered, 1 when any reference or number
was bad (each reported on its own "ERROR:" line, the others answered, or on
standard error for a single input), 2 on a usage or input/output error.

Examples:
  sheetfind-cli 49.25 -123.1                      prints 092G06
  printf '49.25 -123.1\n68,-123.1\n' | sheetfind-cli
  sheetfind-cli locate --scale 250k 81.9147 -75.0092   prints 340D
  sheetfind-cli locate "49°15'N 123°06'W"              prints 092G06
  sheetfind-cli bounds 92G6 340D15
  sheetfind-cli neighbours 067B01
  sheetfind-cli cover --scale 250k 49 -124 50.5 -121
  sheetfind-cli cover --format geojson 49 -124 49.5 -123 > sheets.geojson

Options: --help, --version
)";

enum class Format { Text, GeoJson };

struct Options {
    std::string_view command;
    std::optional<Scale> scale;
    Format format = Format::Text;
    bool help = false;
    std::vector<std::string_view> operands;
};

std::optional<Scale> scaleNamed(std::string_view name) {
    if (name == "1m" || name == "1:1000000") {
        return Scale::Series;
    }
    if (name == "250k" || name == "1:250000") {
        return Scale::MapArea;
    }
    if (name == "50k" || name == "1:50000") {
        return Scale::Sheet;
    }
    return std::nullopt;
}

// "-123.1" is a west longitude, not an option.
bool isOption(std::string_view arg) {
    return arg.size() > 1 && arg[0] == '-' && !('0' <= arg[1] && arg[1] <= '9') && arg[1] != '.';
}

// The options of a subcommand, or a usage error.
std::variant<Options, std::string> parseOptions(std::span<const std::string_view> args) {
    Options options;
    options.command = args[0];
    bool onlyOperands = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (onlyOperands || !isOption(arg)) {
            options.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyOperands = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        std::string_view value;
        if (name == "--scale" || name == "--format") {
            if (equals != std::string_view::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return std::string(name) + " needs a value";
            }
        }
        if (name == "--scale") {
            options.scale = scaleNamed(value);
            if (!options.scale) {
                return "unknown scale \"" + std::string(value) + "\"; expected 1m, 250k or 50k";
            }
        } else if (name == "--format") {
            if (value != "geojson" && value != "text") {
                return "unknown format \"" + std::string(value) + "\"; expected geojson or text";
            }
            options.format = value == "geojson" ? Format::GeoJson : Format::Text;
        } else {
            return "unknown option \"" + std::string(arg) + "\" for " + std::string(args[0]);
        }
    }
    return options;
}

std::string number(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// The canonical reference, then south, west, north and east, tab-separated.
std::string boundsLine(const Reference& reference) {
    const sheetref::Bounds b = sheetref::bounds(reference);
    return reference.text() + '\t' + number(b.south) + '\t' + number(b.west) + '\t' +
           number(b.north) + '\t' + number(b.east);
}

std::string referenceLine(const std::optional<Reference>& reference) {
    return reference ? reference->text() : std::string();
}

// The cells to write as GeoJSON, each once, in the order first met. There are at
// most some 29 000 cells in the grid, so this never grows beyond that.
class Collection {
public:
    void add(const Reference& reference) {
        if (m_seen.insert(reference).second) {
            m_references.push_back(reference);
        }
    }
    const std::vector<Reference>& references() const { return m_references; }

private:
    std::set<Reference> m_seen;
    std::vector<Reference> m_references;
};

std::variant<Reference, std::string> readReference(std::string_view text) {
    auto result = sheetref::parseReference(text);
    if (const auto* failure = std::get_if<sheetref::ParseFailure>(&result)) {
        return sheetref::describe(*failure);
    }
    return std::get<Reference>(result);
}

// What one input gives: a cell, no cell (a point outside the grid), or an error.
using Answer = std::variant<std::optional<Reference>, std::string>;
using LineText = std::function<std::string(const std::optional<Reference>&)>;

class Runner {
public:
    Runner(const CliStreams& streams, Format format) : m_streams(streams), m_format(format) {}

    void fail(const std::string& message) {
        std::fprintf(m_streams.err, "sheetfind-cli: %s\n", message.c_str());
        m_failed = true;
    }

    // Answers each input in turn: in text, a line each, errors in place; in
    // GeoJSON, the cells collected and errors on standard error.
    void answer(const Answer& answer, const LineText& text) {
        if (const auto* error = std::get_if<std::string>(&answer)) {
            if (m_format == Format::Text) {
                m_text += "ERROR: " + *error + '\n';
                m_failed = true;
            } else {
                fail(*error);
            }
            return;
        }
        const auto& reference = std::get<std::optional<Reference>>(answer);
        if (m_format == Format::Text) {
            m_text += text(reference) + '\n';
        } else if (reference) {
            m_cells.add(*reference);
        }
    }

    // Answers standard input, line by line, as the bare form does.
    int answerInput(const std::function<Answer(std::string_view)>& read, const LineText& text) {
        const auto readInput = [&read](const InputLine& line) {
            return line.tooLong ? Answer(std::string(kLineTooLong)) : read(line.text);
        };
        unsigned long long lineNumber = 0;
        BatchResult result;
        if (m_format == Format::Text) {
            result = answerStream(m_streams.in, m_streams.out,
                                  [&](const InputLine& line, std::string& out) {
                                      const Answer answer = readInput(line);
                                      if (const auto* error = std::get_if<std::string>(&answer)) {
                                          out += "ERROR: " + *error + '\n';
                                          return false;
                                      }
                                      out +=
                                          text(std::get<std::optional<Reference>>(answer)) + '\n';
                                      return true;
                                  },
                                  {m_streams.interactive});
        } else {
            result = answerStream(m_streams.in, m_streams.err,
                                  [&](const InputLine& line, std::string& out) {
                                      ++lineNumber;
                                      const Answer answer = readInput(line);
                                      if (const auto* error = std::get_if<std::string>(&answer)) {
                                          out += "sheetfind-cli: line " +
                                                 std::to_string(lineNumber) + ": " + *error + '\n';
                                          return false;
                                      }
                                      if (const auto& reference =
                                              std::get<std::optional<Reference>>(answer)) {
                                          m_cells.add(*reference);
                                      }
                                      return true;
                                  },
                                  {m_streams.interactive});
        }
        if (result.writeError && result.errorNumber == EPIPE) {
            return result.failures == 0 ? 0 : 1; // the reader has all it wanted
        }
        if (result.readError || result.writeError) {
            std::fprintf(m_streams.err, "sheetfind-cli: cannot %s: %s\n",
                         result.readError ? "read standard input" : "write the answers",
                         std::strerror(result.errorNumber));
            return 2;
        }
        m_failed = m_failed || result.failures != 0;
        return finish();
    }

    void add(const std::vector<Reference>& references) {
        for (const Reference& reference : references) {
            answer(Answer(reference), referenceLine);
        }
    }

    // Writes what was collected; the exit status.
    int finish() {
        std::string output = m_text;
        if (m_format == Format::GeoJson) {
            output = featureCollection(m_cells.references());
        }
        const bool written =
            std::fwrite(output.data(), 1, output.size(), m_streams.out) == output.size() &&
            std::fflush(m_streams.out) == 0;
        if (!written) {
            std::fprintf(m_streams.err, "sheetfind-cli: cannot write the answers: %s\n",
                         std::strerror(errno));
            return 2;
        }
        return m_failed ? 1 : 0;
    }

    bool failed() const { return m_failed; }

private:
    const CliStreams& m_streams;
    Format m_format;
    std::string m_text;
    Collection m_cells;
    bool m_failed = false;
};

int usageError(const CliStreams& streams, const std::string& message) {
    std::fprintf(streams.err, "sheetfind-cli: %s\nTry 'sheetfind-cli --help'.\n", message.c_str());
    return 2;
}

int locate(const Options& options, const CliStreams& streams) {
    const Scale scale = options.scale.value_or(Scale::Sheet);
    const PointReader reader;
    const auto answerFor = [&](const PointResult& point) -> Answer {
        if (const auto* error = std::get_if<std::string>(&point)) {
            return *error;
        }
        const GeoPoint& p = std::get<GeoPoint>(point);
        return sheetref::locate({.latitude = p.latitude, .longitude = p.longitude}, scale);
    };
    Runner runner(streams, options.format);
    if (options.operands.empty()) {
        return runner.answerInput(
            [&](std::string_view line) { return answerFor(reader.readLine(line)); }, referenceLine);
    }
    if (options.operands.size() > 2) {
        return usageError(streams, "locate expects a latitude and a longitude, or none to read "
                                   "standard input; got " +
                                       std::to_string(options.operands.size()) + " arguments");
    }
    const Answer answer = answerFor(
        options.operands.size() == 1 ? reader.readLine(options.operands[0])
                                     : reader.readPair(options.operands[0], options.operands[1]));
    if (const auto* error = std::get_if<std::string>(&answer)) {
        runner.fail(*error);
        return 1;
    }
    runner.answer(answer, referenceLine);
    return runner.finish();
}

int bounds(const Options& options, const CliStreams& streams) {
    const auto answerFor = [](std::string_view text) -> Answer {
        auto reference = readReference(text);
        if (auto* error = std::get_if<std::string>(&reference)) {
            return std::move(*error);
        }
        return std::optional<Reference>(std::get<Reference>(reference));
    };
    const LineText line = [](const std::optional<Reference>& reference) {
        return boundsLine(*reference);
    };
    Runner runner(streams, options.format);
    if (options.operands.empty()) {
        return runner.answerInput(answerFor, line);
    }
    for (const std::string_view operand : options.operands) {
        runner.answer(answerFor(operand), line);
    }
    return runner.finish();
}

int neighbours(const Options& options, const CliStreams& streams) {
    if (options.operands.size() != 1) {
        return usageError(streams, "neighbours expects one reference; got " +
                                       std::to_string(options.operands.size()) + " arguments");
    }
    Runner runner(streams, options.format);
    const auto reference = readReference(options.operands[0]);
    if (const auto* error = std::get_if<std::string>(&reference)) {
        runner.fail(*error);
        return 1;
    }
    runner.add(sheetref::neighbours(std::get<Reference>(reference)));
    return runner.finish();
}

int cover(const Options& options, const CliStreams& streams) {
    if (options.operands.size() != 4) {
        return usageError(streams, "cover expects SOUTH WEST NORTH EAST; got " +
                                       std::to_string(options.operands.size()) + " arguments");
    }
    Runner runner(streams, options.format);
    const NumberReader reader;
    const char* const names[] = {"south", "west", "north", "east"};
    double edges[4] = {};
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string_view text = options.operands[i];
        const QString wide = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        const auto value = reader.read(wide);
        if (const auto* error = std::get_if<ConversionError>(&value)) {
            const bool latitude = i % 2 == 0;
            runner.fail(QStringLiteral("%1: the %2 edge \"%3\" %4; expected decimal degrees "
                                       "such as %5")
                            .arg(errorName(*error), QString::fromLatin1(names[i]),
                                 wide.size() > 40 ? wide.first(40) + QStringLiteral("…") : wide,
                                 *error == ConversionError::Overflow
                                     ? QStringLiteral("is too large for a number")
                                     : QStringLiteral("is not a number"),
                                 reader.locale().toString(latitude ? 49.25 : -123.1))
                            .toStdString());
            return 1;
        }
        edges[i] = std::get<double>(value);
    }
    const auto result =
        sheetref::cover({.south = edges[0], .north = edges[2], .west = edges[1], .east = edges[3]},
                        options.scale.value_or(Scale::Sheet));
    if (const auto* failure = std::get_if<sheetref::BoxFailure>(&result)) {
        runner.fail(sheetref::describe(*failure));
        return 1;
    }
    runner.add(std::get<std::vector<Reference>>(result));
    return runner.finish();
}

} // namespace

std::string_view cliUsage() {
    return kUsage;
}

bool isSubcommand(std::string_view name) {
    return name == "locate" || name == "bounds" || name == "neighbours" || name == "cover";
}

int runSubcommand(std::span<const std::string_view> args, const CliStreams& streams) {
    const auto parsed = parseOptions(args);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        return usageError(streams, *error);
    }
    const Options& options = std::get<Options>(parsed);
    if (options.help) {
        std::fwrite(kUsage.data(), 1, kUsage.size(), streams.out);
        return std::fflush(streams.out) == 0 ? 0 : 2;
    }
    if (options.scale && (options.command == "bounds" || options.command == "neighbours")) {
        return usageError(streams, "--scale does not apply to " + std::string(options.command) +
                                       ": a reference has its own scale");
    }
    if (options.command == "locate") {
        return locate(options, streams);
    }
    if (options.command == "bounds") {
        return bounds(options, streams);
    }
    if (options.command == "neighbours") {
        return neighbours(options, streams);
    }
    return cover(options, streams);
}

} // namespace sheetfind
