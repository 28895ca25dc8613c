// SPDX-License-Identifier: MIT
#include "commands.h"

#include "datum.h"
#include "decimal_text.h"
#include "fields.h"
#include "geometry_cover.h"
#include "gis_commands.h"
#include "grid.h"
#include "line_reader.h"
#include "point_reader.h"
#include "reference_reader.h"
#include "sheet_reference.h"

#include <array>
#include <charconv>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sheetfind::cli {
namespace {

using sheetref::Reference;
using sheetref::Scale;

constexpr KnownOption kScale{.name = "scale", .shortName = 's', .takesValue = true};
constexpr KnownOption kFormat{.name = "format", .shortName = 'f', .takesValue = true};
constexpr KnownOption kInput{.name = "input", .takesValue = true};
constexpr KnownOption kLonFirst{.name = "lon-first"};
// The datum the points are given in; each is shifted into the grid's where they differ.
constexpr KnownOption kDatum{.name = "datum", .takesValue = true};
// Marks the answers that a shift's error may have put in the wrong cell.
constexpr KnownOption kFlagUncertain{.name = "flag-uncertain"};

// Where cells are written as polygons, and how finely their edges are drawn.
constexpr KnownOption kOutput{.name = "output", .shortName = 'o', .takesValue = true};
constexpr KnownOption kDriver{.name = "of", .takesValue = true};
constexpr KnownOption kDensify{.name = "densify", .takesValue = true};
// What is read from a GIS source.
constexpr KnownOption kLayer{.name = "layer", .shortName = 'l', .takesValue = true};
constexpr KnownOption kAssumeCrs{.name = "assume-crs", .takesValue = true};
constexpr KnownOption kWkt{.name = "wkt", .takesValue = true};
constexpr KnownOption kGeodesic{.name = "geodesic"};
constexpr KnownOption kExplode{.name = "explode"};
// The columns of a table.
constexpr KnownOption kColumn{.name = "column", .takesValue = true};
constexpr KnownOption kDelimiter{.name = "delimiter", .takesValue = true};
constexpr KnownOption kLatitudeColumn{.name = "lat", .takesValue = true};
constexpr KnownOption kLongitudeColumn{.name = "lon", .takesValue = true};
constexpr KnownOption kPointColumn{.name = "point", .takesValue = true};
constexpr KnownOption kBbox{.name = "bbox", .takesValue = true, .valueCount = 4};

constexpr std::array kLocateOptions{kScale,  kFormat,  kInput, kLonFirst,     kOutput,
                                    kDriver, kDensify, kDatum, kFlagUncertain};
constexpr std::array kReferenceOptions{kFormat, kOutput, kDriver, kDensify};
constexpr std::array kCoverOptions{kScale, kFormat, kOutput,   kDriver,    kDensify,
                                   kLayer, kWkt,    kGeodesic, kAssumeCrs, kDatum};
constexpr std::array kAnnotateOptions{kScale,           kColumn,      kDelimiter, kLatitudeColumn,
                                      kLongitudeColumn, kPointColumn, kInput,     kLonFirst,
                                      kOutput,          kDriver,      kLayer,     kExplode,
                                      kAssumeCrs,       kGeodesic,    kDatum,     kFlagUncertain};
constexpr std::array kGridOptions{kScale, kFormat, kOutput, kDriver, kDensify, kBbox, kDatum};
constexpr std::array kServeOptions{KnownOption{.name = "bind", .takesValue = true},
                                   KnownOption{.name = "port", .takesValue = true},
                                   KnownOption{.name = "tiles", .takesValue = true}};

// Text: a line per answer. Polygons: the cells as a layer, GeoJSON on standard output
// or any GDAL format in the file of -o.
enum class Format { Text, Polygons };

// Calls `handle` with each line of the input, and answers the lines that hold no
// input (blank, or a # comment) with an empty line and a line past the length limit
// with an error, so that lines in always equal lines out. Answers are flushed before
// each read that may wait for the writer, and reading stops once nobody reads them.
template <typename Handle> void eachLine(Context& context, bool answerEmpty, Handle handle) {
    Session& session = context.session;
    LineReader lines(context.in, [&session] { session.out().flush(); });
    InputLine line;
    std::size_t number = 0;
    while (session.writing() && lines.next(line)) {
        ++number;
        if (line.tooLong) {
            handle.failure(TableFailure{.error = TableError::LineTooLong, .count = kMaxLineLength},
                           number);
        } else if (isBlankOrComment(line.text)) {
            if (answerEmpty) {
                session.out().append('\n');
            }
        } else {
            handle(line.text, number);
        }
        session.out().flushIfFull();
    }
    if (lines.failed()) {
        session.readFailed(lines.error());
    }
}

struct Common {
    Scale scale = Scale::Sheet;
    Format format = Format::Text;
    gis::CellTarget target; // where and how finely polygons go
};

int answerCells(Context& context, const Common& common, const CellWalk& cells);

CellWalk eachOf(const std::vector<Reference>& cells) {
    return [&cells](const CellVisitor& visit) {
        for (const Reference& cell : cells) {
            if (!visit(cell)) {
                return;
            }
        }
    };
}

// Answers in the chosen format: in text, a line for each input, bad ones in place;
// as polygons, each cell written once as it comes and bad inputs on standard error.
class Answers {
public:
    // Opens the layer at once, so that an output that cannot be written is told
    // before any input is read; ready() is then false.
    Answers(Context& context, const Common& common)
        : m_session(context.session), m_format(common.format) {
        if (text()) {
            return;
        }
        const GisModule* gis = gisModule(m_session);
        m_writer = gis != nullptr ? gis->openCells(context, common.target) : nullptr;
        m_broken = m_writer == nullptr;
    }

    bool text() const { return m_format == Format::Text; }
    bool ready() const { return !m_broken; }

    // In text, the line of the cell's text and then `after`.
    void cell(const std::optional<Reference>& reference, std::string_view after = {}) {
        if (text()) {
            m_session.answer(reference, after);
        } else if (reference && m_writer && !m_writer->add(*reference)) {
            broke();
        }
    }

    // `line` is the input line's number when the input came on standard input.
    void failure(const RecordFailure& failure, std::size_t line = 0) {
        if (text()) {
            m_session.answerFailure(failure);
        } else {
            m_session.reportFailure(failure, line == 0 ? std::string()
                                                       : "line " + std::to_string(line) + ": ");
        }
    }

    int finish() {
        if (m_writer && !m_writer->close()) {
            broke();
        }
        m_writer.reset();
        const int status = m_session.finish();
        return m_broken ? kUsageOrIo : status;
    }

private:
    // A layer that cannot be written any further. On standard output the Session
    // tells why (or ends quietly when the reader went away); a file is told here.
    void broke() {
        if (m_session.writing() && m_writer) {
            m_session.diagnose(m_writer->error());
            m_broken = true;
        }
        m_writer.reset();
    }

    Session& m_session;
    Format m_format;
    std::unique_ptr<gis::CellSink> m_writer;
    bool m_broken = false;
};

// Answers each line of the input through `answer(text) -> variant<optional<Reference>,
// InputFailure>`, with `afterOf` what a cell's answer line holds after its text.
template <typename Answer, typename AfterOf>
void answerLines(Context& context, Answers& answers, Answer answer, AfterOf afterOf) {
    struct Handler {
        Answers& answers;
        Answer& answer;
        AfterOf& afterOf;
        void operator()(std::string_view text, std::size_t number) {
            auto result = answer(text);
            if (const auto* failed = std::get_if<InputFailure>(&result)) {
                answers.failure(*failed, number);
            } else {
                const auto& reference = std::get<std::optional<Reference>>(result);
                answers.cell(reference, afterOf(reference));
            }
        }
        void failure(const RecordFailure& failed, std::size_t number) {
            answers.failure(failed, number);
        }
    };
    eachLine(context, answers.text(), Handler{answers, answer, afterOf});
}

// The options every subcommand shares, or a usage error already reported.
std::optional<Common> commonOptions(Context& context) {
    Common common;
    const auto scale = scaleOption(context);
    if (!scale) {
        return std::nullopt;
    }
    common.scale = *scale;
    common.target.scale = *scale;
    const auto format = context.args.value("format");
    if (format) {
        if (*format != "text" && *format != "geojson") {
            context.session.usageError("unknown format \"" + std::string(*format) +
                                           "\"; expected text or geojson",
                                       context.command);
            return std::nullopt;
        }
        common.format = *format == "geojson" ? Format::Polygons : Format::Text;
    }
    if (const auto output = context.args.value("output")) {
        // The file's format comes from its name or --of; -f is for standard output.
        if (format) {
            context.session.usageError("--format chooses what goes to standard output; with "
                                       "-o FILE the format comes from the file's name, or --of",
                                       context.command);
            return std::nullopt;
        }
        if (output->empty()) {
            context.session.usageError("-o needs a file name", context.command);
            return std::nullopt;
        }
        common.format = Format::Polygons;
        common.target.path = std::string(*output);
    }
    if (const auto driver = context.args.value("of")) {
        if (common.target.path.empty()) {
            context.session.usageError("--of " + std::string(*driver) +
                                           " names the format of a file: give it with -o FILE",
                                       context.command);
            return std::nullopt;
        }
        common.target.driver = std::string(*driver);
    }
    if (const auto densify = context.args.value("densify")) {
        int points = 0;
        const auto [end, error] =
            std::from_chars(densify->data(), densify->data() + densify->size(), points);
        if (error != std::errc() || end != densify->data() + densify->size() ||
            !(1 <= points && points <= sheetref::kMaxPointsPerEdge)) {
            context.session.usageError("--densify: " + sheetref::describePointsPerEdge(*densify),
                                       context.command);
            return std::nullopt;
        }
        if (common.format == Format::Text) {
            context.session.usageError("--densify shapes polygons: use it with -f geojson or "
                                       "-o FILE",
                                       context.command);
            return std::nullopt;
        }
        common.target.pointsPerEdge = points;
    }
    return common;
}

// After the canonical reference: south, west, north and east, tab-separated.
std::string boundsAfter(const std::optional<Reference>& reference) {
    const sheetref::Bounds b = sheetref::bounds(*reference);
    return '\t' + sheetref::decimalText(b.south) + '\t' + sheetref::decimalText(b.west) + '\t' +
           sheetref::decimalText(b.north) + '\t' + sheetref::decimalText(b.east);
}

std::string joinOperands(std::span<const std::string_view> operands) {
    std::string text;
    for (const std::string_view operand : operands) {
        if (!text.empty()) {
            text += ' ';
        }
        text += operand;
    }
    return text;
}

int locate(Context& context) {
    const auto common = commonOptions(context);
    if (!common) {
        return kUsageOrIo;
    }
    PointOptions options{.longitudeFirst = context.args.has("lon-first")};
    if (const auto input = context.args.value("input")) {
        const auto notation = notationNamed(*input);
        if (!notation) {
            return context.session.usageError("unknown notation \"" + std::string(*input) +
                                                  "\"; expected decimal, dms, utm or mgrs",
                                              context.command);
        }
        options.notation = *notation;
    }
    const auto datum = datumOption(context);
    if (!datum) {
        return kUsageOrIo;
    }
    DatumLocator locator(*datum);
    const PointReader reader(NumberReader(), options);
    const Scale scale = common->scale;
    const bool shifting = needsShift(*datum, scale);
    std::size_t shiftsTold = 0; // the transformations the notice has named so far
    const bool flagUncertain = context.args.has("flag-uncertain");
    bool uncertain = false; // of the answer last made
    if (flagUncertain && common->format != Format::Text) {
        return context.session.usageError("--flag-uncertain marks answer lines: it is for text "
                                          "output, not a layer of cells",
                                          context.command);
    }
    Answers answers(context, *common);
    if (!answers.ready()) {
        return answers.finish();
    }
    // The answer to a point located as `cell`, or the failure of its shift, handed to
    // `fail`. The cell is passed on as it is, never copied: a batch pays for every copy
    // of a value just made.
    const auto answerCell = [&](const std::optional<Reference>& cell, const auto& fail) {
        // Which shift was used is said before the first answer that needed it, and again
        // with each transformation PROJ takes up further on.
        if (shifting && locator.operationsUsed() > shiftsTold) {
            context.session.diagnose(locator.notice());
            shiftsTold = locator.operationsUsed();
        }
        if (!locator.failure().empty()) {
            fail(InputFailure{.error = InputError::NotShifted,
                              .field = Field::Point,
                              .text = std::string(),
                              .detail = locator.failure()});
            return;
        }
        // An answer that the shift's error may have put in the wrong cell says so after
        // a tab.
        answers.cell(cell, uncertain ? std::string_view("\tuncertain") : std::string_view());
    };
    // Without a shift the grid places a point as it is, and there is nothing to tell,
    // nothing that can fail and nothing uncertain.
    const bool asItIs = !shifting && !flagUncertain;
    const auto answerPoint = [&](LatLon point, const auto& fail) {
        if (asItIs) {
            answers.cell(sheetref::locate(point, scale));
        } else if (flagUncertain) {
            const DatumLocator::Located located = locator.locateFlagged(point, scale);
            uncertain = located.uncertain;
            answerCell(located.cell, fail);
        } else {
            answerCell(locator.locate(point, scale), fail);
        }
    };
    const auto& operands = context.args.operands;
    if (operands.empty()) {
        struct Handler {
            const PointReader& reader;
            Answers& answers;
            decltype(answerPoint)& answer;
            // Held here, not behind the answer's references: the answers written
            // between two lines would have them read again from memory.
            bool asItIs;
            Scale scale;
            void operator()(std::string_view text, std::size_t number) {
                const auto fail = [&](const InputFailure& failure) {
                    answers.failure(failure, number);
                };
                // Nearly every line of a batch is two plain numbers: read in one pass,
                // and placed at once where nothing is shifted.
                if (const auto plain = reader.readPlain(text)) {
                    if (asItIs) {
                        answers.cell(sheetref::locate(*plain, scale));
                    } else {
                        answer(*plain, fail);
                    }
                    return;
                }
                const PointResult point = reader.read(text);
                if (const auto* failure = std::get_if<InputFailure>(&point)) {
                    fail(*failure);
                } else {
                    answer(std::get<LatLon>(point), fail);
                }
            }
            void failure(const RecordFailure& failed, std::size_t number) {
                answers.failure(failed, number);
            }
        };
        eachLine(context, answers.text(), Handler{reader, answers, answerPoint, asItIs, scale});
        return answers.finish();
    }
    // The arguments make one point together, as "10U 491213 5458885" typed without
    // quotes does.
    PointResult point = reader.read(joinOperands(operands));
    if (operands.size() == 2) {
        // Each argument is one coordinate ("49,25" "-123,1" is a point even where a
        // comma separates), unless only both together make a point: "10UDV 9121358885".
        PointResult pair = reader.read(operands[0], operands[1]);
        if (std::holds_alternative<LatLon>(pair) || std::holds_alternative<InputFailure>(point)) {
            point = std::move(pair);
        }
    }
    // An argument's failure goes to standard error, and through the answers, so that a
    // layer already begun is ended valid and empty.
    const auto fail = [&](const InputFailure& failure) { context.session.reportFailure(failure); };
    if (const auto* failure = std::get_if<InputFailure>(&point)) {
        fail(*failure);
    } else {
        answerPoint(std::get<LatLon>(point), fail);
    }
    return answers.finish();
}

std::variant<std::optional<Reference>, InputFailure> referenceAnswer(std::string_view text) {
    auto reference = readReference(text);
    if (auto* failure = std::get_if<InputFailure>(&reference)) {
        return std::move(*failure);
    }
    return std::optional<Reference>(std::get<Reference>(reference));
}

int bounds(Context& context) {
    auto common = commonOptions(context);
    if (!common) {
        return kUsageOrIo;
    }
    // The layer is in the datum of the first reference's grid; a cell of the other is
    // shifted into it.
    if (!context.args.operands.empty()) {
        const auto first = readReference(context.args.operands.front());
        if (const auto* cell = std::get_if<Reference>(&first)) {
            common->target.scale = cell->scale();
        }
    }
    Answers answers(context, *common);
    if (!answers.ready()) {
        return answers.finish();
    }
    if (context.args.operands.empty()) {
        answerLines(context, answers, referenceAnswer, boundsAfter);
        return answers.finish();
    }
    for (const std::string_view operand : context.args.operands) {
        if (!context.session.writing()) {
            break;
        }
        const auto result = referenceAnswer(operand);
        if (const auto* failure = std::get_if<InputFailure>(&result)) {
            // An argument's error goes to standard error, as every command's does; only
            // lines read from standard input are answered in place.
            context.session.reportFailure(*failure);
        } else {
            const auto& reference = std::get<std::optional<Reference>>(result);
            answers.cell(reference, boundsAfter(reference));
        }
        context.session.out().flushIfFull();
    }
    return answers.finish();
}

} // namespace

std::optional<Scale> scaleOption(Context& context) {
    const auto scale = context.args.value("scale");
    if (!scale) {
        return Scale::Sheet;
    }
    const auto named = sheetref::scaleNamed(*scale);
    if (!named) {
        context.session.usageError(sheetref::describeUnknownScale(*scale), context.command);
    }
    return named;
}

std::optional<Datum> datumOption(Context& context) {
    const auto named = context.args.value("datum");
    if (!named) {
        return Datum::Nad83;
    }
    const auto datum = datumNamed(*named);
    if (!datum) {
        context.session.usageError(describeUnknownDatum(*named), context.command);
    }
    return datum;
}

std::optional<sheetref::Bounds> boxInGridDatum(Context& context, const sheetref::Bounds& box,
                                               Scale scale) {
    const auto datum = datumOption(context);
    if (!datum) {
        return std::nullopt;
    }
    DatumLocator locator(*datum);
    const auto shifted = locator.boxInGridDatum(box, scale);
    if (!shifted) {
        context.session.reportFailure(InputFailure{
            .error = InputError::NotShifted, .field = Field::South, .detail = locator.failure()});
        return std::nullopt;
    }
    if (const std::string notice = locator.notice(); !notice.empty()) {
        context.session.diagnose(notice);
    }
    return shifted;
}

int writeCells(Context& context, const CellWalk& cells) {
    auto common = commonOptions(context);
    if (!common) {
        return kUsageOrIo;
    }
    common->target.distinct = true;
    return answerCells(context, *common, cells);
}

int writeCells(Context& context, const std::vector<Reference>& cells) {
    return writeCells(context, eachOf(cells));
}

namespace {

int answerCells(Context& context, const Common& common, const CellWalk& cells) {
    Answers answers(context, common);
    if (!answers.ready()) {
        return answers.finish();
    }
    cells([&](const Reference& cell) {
        if (!context.session.writing()) {
            return false;
        }
        answers.cell(cell);
        context.session.out().flushIfFull();
        return true;
    });
    return answers.finish();
}

int neighbours(Context& context) {
    const auto common = commonOptions(context);
    if (!common) {
        return kUsageOrIo;
    }
    if (context.args.operands.size() != 1) {
        const std::size_t count = context.args.operands.size();
        return context.session.usageError("neighbours expects one reference; got " +
                                              std::to_string(count) +
                                              (count == 1 ? " argument" : " arguments"),
                                          context.command);
    }
    auto reference = readReference(context.args.operands[0]);
    if (const auto* failure = std::get_if<InputFailure>(&reference)) {
        context.session.reportFailure(*failure);
        return context.session.finish();
    }
    const std::vector<Reference> cells = sheetref::neighbours(std::get<Reference>(reference));
    // The layer is in the datum of the reference's grid.
    auto target = *common;
    target.target.scale = std::get<Reference>(reference).scale();
    target.target.distinct = true;
    return answerCells(context, target, eachOf(cells));
}

int cover(Context& context) {
    const auto common = commonOptions(context);
    if (!common) {
        return kUsageOrIo;
    }
    const auto& operands = context.args.operands;
    // A file or a WKT text is a geometry: the cells its lines pass through and its
    // areas share.
    if (context.args.has("wkt") || operands.size() == 1) {
        const GisModule* gis = gisModule(context.session);
        if (gis == nullptr) {
            context.session.finish();
            return kUsageOrIo;
        }
        return gis->coverGeometry(context);
    }
    if (operands.size() != 4) {
        return context.session.usageError("cover expects SOUTH WEST NORTH EAST; got " +
                                              std::to_string(operands.size()) +
                                              (operands.size() == 1 ? " argument" : " arguments"),
                                          context.command);
    }
    const NumberReader numbers;
    constexpr std::array kEdges{Field::South, Field::West, Field::North, Field::East};
    std::array<double, 4> edges{};
    for (std::size_t i = 0; i < kEdges.size(); ++i) {
        auto edge = readEdge(numbers, operands[i], kEdges[i]);
        if (const auto* failure = std::get_if<InputFailure>(&edge)) {
            context.session.reportFailure(*failure);
            return context.session.finish();
        }
        edges[i] = std::get<double>(edge);
    }
    const sheetref::Bounds box{
        .south = edges[0], .north = edges[2], .west = edges[1], .east = edges[3]};
    if (const auto failure = sheetref::checkBox(box)) {
        context.session.reportFailure(InputFailure{.error = InputError::BadBox,
                                                   .field = Field::South,
                                                   .text = joinOperands(operands),
                                                   .detail = sheetref::describe(*failure)});
        return context.session.finish();
    }
    const auto inGrid = boxInGridDatum(context, box, common->scale);
    if (!inGrid) {
        return context.session.finish();
    }
    return answerCells(context, *common, [&](const CellVisitor& visit) {
        sheetref::coverEach(*inGrid, common->scale, visit);
    });
}

constexpr std::array kCommands{
    Command{"locate", kLocateOptions, locate},
    Command{"bounds", kReferenceOptions, bounds},
    Command{"neighbours", kReferenceOptions, neighbours},
    Command{"neighbors", kReferenceOptions, neighbours, true},
    Command{"cover", kCoverOptions, cover},
    Command{"annotate", kAnnotateOptions, annotate},
    Command{"grid", kGridOptions, grid},
    Command{"serve", kServeOptions, serve},
};

// One line of the bare form: the batch path, kept free of allocation for plain
// decimal lines.
void answerBareLine(std::string_view line, const NumberReader& numbers, Session& session) {
    if (const auto plain = numbers.readPlainLine(line)) {
        session.answer(sheetref::sheetfindSheet(plain->second, plain->first));
        return;
    }
    const FieldPair fields = splitFields(line, !numbers.commaIsDecimal());
    if (fields.count != 2) {
        session.answerFailure(InputFailure{.error = InputError::FieldCount,
                                           .field = Field::Line,
                                           .text = std::string(line),
                                           .count = fields.count});
        return;
    }
    const PointResult point = readDecimalPair(numbers, fields.first, fields.second);
    if (const auto* failure = std::get_if<InputFailure>(&point)) {
        session.answerFailure(*failure);
        return;
    }
    const LatLon& p = std::get<LatLon>(point);
    session.answer(sheetref::sheetfindSheet(p.longitude, p.latitude));
}

} // namespace

int serve(Context& context) {
    if (!context.args.operands.empty()) {
        return context.session.usageError("serve takes no arguments", context.command);
    }
    const GisModule* gis = gisModule(context.session);
    if (gis == nullptr) {
        context.session.finish();
        return kUsageOrIo;
    }
    return gis->serve(context);
}

std::span<const Command> commands() {
    return kCommands;
}

int answerBare(std::span<const std::string_view> operands, ByteSource& in, Session& session) {
    const NumberReader numbers;
    if (operands.size() == 2) {
        const PointResult point = readDecimalPair(numbers, operands[0], operands[1]);
        if (const auto* failure = std::get_if<InputFailure>(&point)) {
            session.reportFailure(*failure);
            return session.finish();
        }
        const LatLon& p = std::get<LatLon>(point);
        session.answer(sheetref::sheetfindSheet(p.longitude, p.latitude));
        return session.finish();
    }
    const Arguments none;
    Context context{.command = {}, .args = none, .in = in, .session = session};
    struct Handler {
        const NumberReader& numbers;
        Session& session;
        void operator()(std::string_view text, std::size_t) {
            answerBareLine(text, numbers, session);
        }
        void failure(const RecordFailure& failed, std::size_t) { session.answerFailure(failed); }
    };
    eachLine(context, true, Handler{numbers, session});
    return session.finish();
}

} // namespace sheetfind::cli
