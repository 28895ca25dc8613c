// SPDX-License-Identifier: MIT
// cli::run as a library: the one output policy, driven with scripted inputs and
// outputs that fail the way pipes and disks fail.

#include "cli.h"
#include "gis_commands.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

using sheetfind::ByteSink;
using sheetfind::ByteSource;
using sheetfind::StringSink;
using sheetfind::StringSource;

namespace {

// The GIS commands are linked in: the tool uses them without loading its module.
const sheetfind::cli::GisModule* const kGisCommands = sheetfind_cli_gis_module();

// Accepts `room` bytes, then fails every write with `error`, as a pipe whose reader
// has gone (EPIPE) or a full disk (ENOSPC) does.
class FailingSink : public ByteSink {
public:
    FailingSink(std::size_t room, int error) : m_room(room), m_error(error) {}
    int write(std::string_view bytes) override {
        if (bytes.size() > m_room) {
            return m_error;
        }
        m_room -= bytes.size();
        m_text += bytes;
        return 0;
    }
    const std::string& text() const { return m_text; }

private:
    std::size_t m_room;
    int m_error;
    std::string m_text;
};

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome run(std::vector<std::string_view> args, std::string input, ByteSink* out = nullptr) {
    StringSource in(std::move(input));
    StringSink text;
    StringSink err;
    Outcome result;
    result.status = sheetfind::cli::run(args, in, out ? *out : text, err);
    result.out = text.text();
    result.err = err.text();
    return result;
}

std::string repeated(const std::string& line, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += line;
    }
    return text;
}

struct PipeCase {
    const char* name;
    std::vector<std::string_view> args;
    std::string input;
};

void PrintTo(const PipeCase& c, std::ostream* os) {
    *os << c.name;
}

class ClosedPipe : public testing::TestWithParam<PipeCase> {};

// `... | head -1`: the reader has what it wanted. Every subcommand ends quietly with
// status 0, whatever was left unread, even a last line cut in half by a buffer.
TEST_P(ClosedPipe, EndsQuietlyWithStatusZero) {
    FailingSink sink(7, EPIPE);
    const Outcome result = run(GetParam().args, GetParam().input, &sink);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
}

const std::vector<std::string_view> kManyReferences(20'000, "92G6");

INSTANTIATE_TEST_SUITE_P(
    EverySubcommand, ClosedPipe,
    testing::Values(
        PipeCase{"Bare", {}, repeated("49.25 -123.1\n", 200'000)},
        // The last line has no newline and would be an error if it were read cut.
        PipeCase{"BareCutLastLine", {}, repeated("49.25 -123.1\n", 100'000) + "49.2"},
        PipeCase{"Locate", {"locate"}, repeated("49.25 -123.1\n", 200'000)},
        PipeCase{"LocateGeoJson", {"locate", "-f", "geojson"}, repeated("49.25 -123.1\n", 1000)},
        PipeCase{"CoverWholeWorld", {"cover", "-90", "-180", "90", "180"}, ""},
        PipeCase{"Bounds", {"bounds"}, repeated("92G6\n", 100'000)},
        PipeCase{"Neighbours", {"neighbours", "92G6"}, ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ClosedPipe, BoundsWithManyArguments) {
    std::vector<std::string_view> args{"bounds"};
    args.insert(args.end(), kManyReferences.begin(), kManyReferences.end());
    FailingSink sink(100, EPIPE);
    const Outcome result = run(args, "", &sink);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
}

struct FullCase {
    const char* name;
    std::vector<std::string_view> args;
};

void PrintTo(const FullCase& c, std::ostream* os) {
    *os << c.name;
}

class FullDisk : public testing::TestWithParam<FullCase> {};

// Every failed write is reported, with status 2: help and version included.
TEST_P(FullDisk, IsReportedWithStatusTwo) {
    FailingSink sink(0, ENOSPC);
    const Outcome result = run(GetParam().args, "49.25 -123.1\n", &sink);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "sheetfind-cli: cannot write the answers: No space left on device\n");
}

INSTANTIATE_TEST_SUITE_P(EveryOutput, FullDisk,
                         testing::Values(FullCase{"Help", {"--help"}},
                                         FullCase{"ShortHelp", {"-h"}},
                                         FullCase{"Version", {"--version"}},
                                         FullCase{"LocateHelp", {"locate", "--help"}},
                                         FullCase{"CoverVersion", {"cover", "--version"}},
                                         FullCase{"BarePoint", {"49.25", "-123.1"}},
                                         FullCase{"BareInput", {}},
                                         FullCase{"LocateInput", {"locate"}},
                                         FullCase{"Neighbours", {"neighbours", "92G6"}}),
                         [](const auto& row) { return std::string(row.param.name); });

// A co-process writes one line and waits for its answer before it writes the next:
// each answer must be out before the tool reads again.
class CoProcess : public ByteSource {
public:
    CoProcess(std::vector<std::string> lines, const StringSink& answers)
        : m_lines(std::move(lines)), m_answers(answers) {}
    std::ptrdiff_t read(char* data, std::size_t size) override {
        // Before the next line is sent, every line sent so far has been answered.
        std::size_t answered = 0;
        for (const char ch : m_answers.text()) {
            answered += ch == '\n' ? 1 : 0;
        }
        EXPECT_EQ(answered, m_next) << "answers were held back before a read";
        if (m_next == m_lines.size()) {
            return 0;
        }
        const std::string& line = m_lines[m_next++];
        EXPECT_LE(line.size(), size);
        line.copy(data, line.size());
        return static_cast<std::ptrdiff_t>(line.size());
    }
    int error() const override { return 0; }

private:
    std::vector<std::string> m_lines;
    const StringSink& m_answers;
    std::size_t m_next = 0;
};

TEST(Streaming, EachAnswerIsWrittenBeforeTheNextRead) {
    const std::vector<std::string> lines{"49.25 -123.1\n", "abc 1\n", "\n", "45.42 -75.7\n"};
    for (const std::vector<std::string_view>& args :
         {std::vector<std::string_view>{}, std::vector<std::string_view>{"locate"}}) {
        StringSink answers;
        StringSink err;
        CoProcess in(lines, answers);
        sheetfind::cli::run(args, in, answers, err);
        EXPECT_EQ(answers.text().substr(0, 7), "092G06\n");
    }
}

struct UsageCase {
    const char* name;
    std::vector<std::string_view> args;
    std::string err;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class UsageErrors : public testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, NameTheNearestValidWord) {
    const Outcome result = run(GetParam().args, "");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, GetParam().err);
    EXPECT_EQ(result.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Words, UsageErrors,
    testing::Values(
        UsageCase{"NeighbourSpelledShort",
                  {"neighbor", "92G6"},
                  "sheetfind-cli: unknown subcommand 'neighbor'; did you mean 'neighbours'?\nTry "
                  "'sheetfind-cli --help'.\n"},
        UsageCase{"LocateMisspelled",
                  {"lcoate"},
                  "sheetfind-cli: unknown subcommand 'lcoate'; did you mean 'locate'?\nTry "
                  "'sheetfind-cli --help'.\n"},
        UsageCase{"NothingNear",
                  {"frobnicate"},
                  "sheetfind-cli: unknown subcommand 'frobnicate'\nTry 'sheetfind-cli --help'.\n"},
        UsageCase{"OptionMisspelled",
                  {"locate", "--scal", "250k"},
                  "sheetfind-cli: unknown option '--scal' for locate; did you mean '--scale'?\nTry "
                  "'sheetfind-cli locate --help'.\n"},
        UsageCase{"OptionWithoutValue",
                  {"cover", "-s"},
                  "sheetfind-cli: option '-s' for cover needs a value\nTry 'sheetfind-cli cover "
                  "--help'.\n"},
        UsageCase{"OptionBeforeCommand",
                  {"--scale", "250k"},
                  "sheetfind-cli: unknown option '--scale'; the options of a subcommand go after "
                  "its name, as in 'sheetfind-cli locate --scale 250k'\nTry 'sheetfind-cli "
                  "--help'.\n"},
        UsageCase{"OneArgument",
                  {"49.25"},
                  "sheetfind-cli: expected a latitude and a longitude, or none to read standard "
                  "input; got 1 argument\nTry 'sheetfind-cli --help'.\n"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ShortOptions, AreTheLongOnes) {
    EXPECT_EQ(run({"locate", "-s", "250k", "49.25", "-123.1"}, "").out, "092G\n");
    EXPECT_EQ(run({"locate", "-s250k", "49.25", "-123.1"}, "").out, "092G\n");
    EXPECT_EQ(run({"locate", "--scale=1m", "49.25", "-123.1"}, "").out, "092\n");
}

// A latitude outside -90..90 is the same error in every subcommand that takes one.
TEST(RangeChecks, SpeakAlikeEverywhere) {
    EXPECT_EQ(run({"locate", "95", "-100"}, "").err,
              "sheetfind-cli: latitude 95 is out of range -90..90\n");
    EXPECT_EQ(run({"locate"}, "95 -100\n").out, "ERROR: latitude 95 is out of range -90..90\n");
    EXPECT_EQ(run({"cover", "95", "-100", "96", "-99"}, "").err,
              "sheetfind-cli: south edge 95 is out of range -90..90\n");
    // The bare form is what the window answers: a number is a point, with no sheet.
    EXPECT_EQ(run({"95", "-100"}, "").out, "\n");
}

TEST(ByteOrderMark, IsSkippedByEveryReader) {
    for (const std::vector<std::string_view>& args :
         {std::vector<std::string_view>{}, std::vector<std::string_view>{"locate"}}) {
        EXPECT_EQ(run(args, "\xEF\xBB\xBF"
                            "49.25 -123.1\n")
                      .out,
                  "092G06\n");
    }
    const Outcome bounds = run({"bounds"}, "\xEF\xBB\xBF"
                                           "92G6\n");
    EXPECT_EQ(bounds.out, "092G06\t49.25\t-123.5\t49.5\t-123\n");
    EXPECT_EQ(bounds.status, 0);
}

} // namespace
