// SPDX-License-Identifier: MIT
// Runs the real sheetfind-cli: lines in, lines out, exit status.

#include "cli_run.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/resource.h>

namespace {

// Runs a shell pipeline in which $CLI names sheetfind-cli.
CliRun runShell(const char* script) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CLI", QStringLiteral(SHEETFIND_CLI));
    environment.insert("LC_ALL", "C.UTF-8");
    process.setProcessEnvironment(environment);
    process.start("bash", {"-c", QString::fromUtf8(script)});
    EXPECT_TRUE(process.waitForFinished(300'000));
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

TEST(CliPoint, PrintsTheCaption) {
    const CliRun run = runCli({"49.25", "-123.1"});
    EXPECT_EQ(run.out, "092G06\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(CliPoint, PrintsAnEmptyLineWhereNoSheetCovers) {
    const CliRun run = runCli({"85", "-100"});
    EXPECT_EQ(run.out, "\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(CliPoint, ReportsAFailureOnStandardError) {
    const CliRun run = runCli({"49.25", "west"});
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "sheetfind-cli: Type mismatch: the longitude \"west\" is not a number; "
                       "expected decimal degrees such as -123.1\n");
    EXPECT_EQ(run.exitCode, 1);
}

TEST(CliPoint, ReadsNumbersInTheEnvironmentsLocale) {
    EXPECT_EQ(runCli({"49,25", "-123,1"}, {}, "fr_CA.UTF-8").out, "092G06\n");
    EXPECT_EQ(runCli({"49,25", "-123,1"}, {}, "C.UTF-8").exitCode, 1);
}

TEST(CliOptions, HelpVersionAndUsage) {
    const CliRun help = runCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: sheetfind-cli LATITUDE LONGITUDE"), std::string::npos);
    EXPECT_EQ(runCli({"--version"}).out, "sheetfind-cli 1.00\n");
    EXPECT_EQ(runCli({"--", "49.25", "-123.1"}).out, "092G06\n");
    const CliRun three = runCli({"1", "2", "3"});
    EXPECT_EQ(three.exitCode, 2);
    EXPECT_NE(three.err.find("got 3 arguments"), std::string::npos);
}

struct BatchCase {
    const char* name;
    std::string input;
    std::string output;
    int exitCode;
};

void PrintTo(const BatchCase& c, std::ostream* os) {
    *os << c.name;
}

class CliBatch : public testing::TestWithParam<BatchCase> {};

TEST_P(CliBatch, AnswersEveryLineInPlace) {
    const BatchCase& c = GetParam();
    const CliRun run = runCli({}, c.input);
    EXPECT_EQ(run.out, c.output);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.err, "");
}

const std::string kFieldError =
    "ERROR: expected a latitude and a longitude separated by blanks or a comma, found ";

INSTANTIATE_TEST_SUITE_P(
    Lines, CliBatch,
    testing::Values(
        BatchCase{"Blanks", "49.25 -123.1\n68\t-123.1\n  45.42   -75.7  \n",
                  "092G06\n097A04\n031G05\n", 0},
        BatchCase{"Comma", "49.25,-123.1\n49.25 , -123.1\n", "092G06\n092G06\n", 0},
        BatchCase{"NoSheet", "85 -100\n49.25 123.1\n", "\n\n", 0},
        BatchCase{"CrLf", "49.25 -123.1\r\n85 -100\r\n", "092G06\n\n", 0},
        BatchCase{"NoFinalNewline", "49.25 -123.1\n45.42 -75.7", "092G06\n031G05\n", 0},
        BatchCase{"EmptyInput", "", "", 0},
        BatchCase{"ErrorsInPlace", "49.25 -123.1\nabc -123.1\n45.42 -75.7\n",
                  "092G06\nERROR: Type mismatch: the latitude \"abc\" is not a number; expected "
                  "decimal degrees such as 49.25\n031G05\n",
                  1},
        // An editor's trailing blank line, or a comment, is no error.
        BatchCase{"BlankAndCommentLines", "49.25 -123.1\n\n \t\n# Ottawa\n45.42 -75.7\n\n",
                  "092G06\n\n\n\n031G05\n\n", 0},
        BatchCase{"ByteOrderMark",
                  "\xEF\xBB\xBF"
                  "49.25 -123.1\n",
                  "092G06\n", 0},
        BatchCase{
            "FieldCounts", "49.25\n1 2 3\n1,2,3\n",
            kFieldError + "1 field\n" + kFieldError + "3 fields\n" + kFieldError + "3 fields\n", 1},
        BatchCase{"Overflow", "1 1e400\n",
                  "ERROR: Overflow: the longitude \"1e400\" is too large for a number; expected "
                  "decimal degrees such as -123.1\n",
                  1},
        BatchCase{"NotUtf8", "\xff\xfe -123.1\n49.25 -123.1\n",
                  "ERROR: Type mismatch: the latitude \"\\xFF\\xFE\" is not a number; expected "
                  "decimal degrees such as 49.25\n092G06\n",
                  1},
        BatchCase{"NulByte", std::string("4\0 1\n49.25 -123.1\n", 18),
                  "ERROR: Type mismatch: the latitude \"4\\x00\" is not a number; expected "
                  "decimal degrees such as 49.25\n092G06\n",
                  1}),
    [](const auto& row) { return std::string(row.param.name); });

const std::string kTooLong = "ERROR: line too long (the limit is 65536 bytes)\n";

TEST(CliBatchLimits, AnswersLongLinesUpToTheLimitAndSkipsLongerOnes) {
    const std::string atLimit = "1 " + std::string(65534, '7');
    const std::string overLimit = atLimit + "7";
    const CliRun run = runCli({}, "49.25 -123.1\n" + atLimit + "\n" + overLimit + "\n" +
                                      std::string(1 << 20, 'x') + "\n45.42 -75.7\n" + overLimit);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "092G06\nERROR: Overflow: the longitude \"" + std::string(40, '7') +
                           "\xe2\x80\xa6\" is too large for a number; expected decimal degrees "
                           "such as -123.1\n" +
                           kTooLong + kTooLong + "031G05\n" + kTooLong);
}

// Lines that a block boundary of the input cuts are answered as the rest: a few
// lines of every kind, repeated past several blocks so that each kind is cut.
TEST(CliBatchLimits, LinesCutByABlockAreAnsweredAsTheRest) {
    const std::string lines = "49.25 -123.1\r\n# Ottawa\n45.42, -75.7\n\n 85 -100 \nabc 1\n";
    std::string many;
    while (many.size() < 4 * 65536) {
        many += lines;
    }
    for (const QStringList& arguments : {QStringList{}, QStringList{"locate"}}) {
        const CliRun once = runCli(arguments, lines);
        const CliRun run = runCli(arguments, many);
        std::string expected;
        for (std::size_t i = 0; i < many.size() / lines.size(); ++i) {
            expected += once.out;
        }
        EXPECT_EQ(run.out, expected) << arguments.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, 1);
    }
}

// Peak memory of the children this test process has waited for, in KiB. ctest
// runs each test in a process of its own, so this is the one command below.
long childrenPeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

TEST(CliBatchLimits, MemoryStaysFlatOnAGibibyteWithoutANewline) {
    const CliRun run = runShell("head -c 1073741824 /dev/zero | \"$CLI\"; echo \"status $?\"");
    EXPECT_EQ(run.out, kTooLong + "status 1\n");
    EXPECT_LT(childrenPeakKiB(), 200 * 1024) << "KiB at the peak";
}

TEST(CliBatchOutput, AClosedPipeEndsQuietly) {
    const CliRun run = runShell("yes '49.25 -123.1' | head -n 1000000 | \"$CLI\" | head -n 1; echo "
                                "\"status ${PIPESTATUS[2]}\"");
    EXPECT_EQ(run.out, "092G06\nstatus 0\n");
    EXPECT_EQ(run.err, "");
}

struct ShellCase {
    const char* name;
    const char* script;
    const char* out;
    const char* err;
};

void PrintTo(const ShellCase& c, std::ostream* os) {
    *os << c.name;
}

class CliPipes : public testing::TestWithParam<ShellCase> {};

TEST_P(CliPipes, EndAsTheOutputPolicySays) {
    const CliRun run = runShell(GetParam().script);
    EXPECT_EQ(run.out, GetParam().out);
    EXPECT_EQ(run.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    RealPipes, CliPipes,
    testing::Values(
        ShellCase{"LocateIntoHead",
                  "yes '49.25 -123.1' | head -n 500000 | \"$CLI\" locate | head -n 1; echo "
                  "\"status ${PIPESTATUS[2]}\"",
                  "092G06\nstatus 0\n", ""},
        ShellCase{"CoverIntoHead",
                  "\"$CLI\" cover -90 -180 90 180 | head -n 1; echo \"status ${PIPESTATUS[0]}\"",
                  "000A01\nstatus 0\n", ""},
        ShellCase{"BoundsArgumentsIntoHead",
                  "\"$CLI\" bounds $(yes 92G6 | head -n 20000) | head -c 7; echo; echo \"status "
                  "${PIPESTATUS[0]}\"",
                  "092G06\t\nstatus 0\n", ""},
        ShellCase{"HelpIntoAFullDisk", "\"$CLI\" --help >/dev/full; echo \"status $?\"",
                  "status 2\n",
                  "sheetfind-cli: cannot write the answers: No space left on device\n"},
        ShellCase{"VersionIntoAFullDisk",
                  "\"$CLI\" locate --version >/dev/full; echo \"status $?\"", "status 2\n",
                  "sheetfind-cli: cannot write the answers: No space left on device\n"},
        ShellCase{"PointIntoAFullDisk", "\"$CLI\" 49.25 -123.1 >/dev/full; echo \"status $?\"",
                  "status 2\n",
                  "sheetfind-cli: cannot write the answers: No space left on device\n"},
        ShellCase{"HelpIntoAClosedOutput", "\"$CLI\" --help >&-; echo \"status $?\"", "status 2\n",
                  "sheetfind-cli: cannot write the answers: Bad file descriptor\n"}),
    [](const auto& row) { return std::string(row.param.name); });

// A program that writes one line and waits for its answer, as a co-process does.
TEST(CliBatchOutput, AnswersStreamOutOfAPipeLineByLine) {
    for (const QStringList& arguments : {QStringList{}, QStringList{"locate"}}) {
        QProcess process;
        process.start(QStringLiteral(SHEETFIND_CLI), arguments);
        ASSERT_TRUE(process.waitForStarted());
        for (const char* line : {"49.25 -123.1\n", "45.42 -75.7\n"}) {
            process.write(line);
            ASSERT_TRUE(process.waitForReadyRead(20'000)) << "no answer while the pipe is open";
            const QByteArray answer = process.readLine();
            EXPECT_TRUE(answer == "092G06\n" || answer == "031G05\n") << answer.toStdString();
        }
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(20'000));
        EXPECT_EQ(process.exitCode(), 0);
    }
}

TEST(CliBatchOutput, AFullDiskIsAnError) {
    const CliRun run = runShell("echo '49.25 -123.1' | \"$CLI\" >/dev/full; echo \"status $?\"");
    EXPECT_EQ(run.out, "status 2\n");
    EXPECT_EQ(run.err, "sheetfind-cli: cannot write the answers: No space left on device\n");
}

TEST(CliBatchLimits, ManyLinesInManyLinesOut) {
    std::string input;
    for (int i = 0; i < 100'000; ++i) {
        input += i % 3 == 0 ? "49.25 -123.1\n" : i % 3 == 1 ? "x 1\n" : "85 -100\n";
    }
    const CliRun run = runCli({}, input);
    std::size_t lines = 0;
    for (const char ch : run.out) {
        lines += ch == '\n' ? 1 : 0;
    }
    EXPECT_EQ(lines, 100'000u);
    EXPECT_EQ(run.exitCode, 1);
}

TEST(CliBatchLocale, CommaIsTheDecimalSeparatorInFrench) {
    const CliRun run = runCli({}, "49,25 -123,1\n49.25 -123.1\n49,25,-123,1\n", "fr_CA.UTF-8");
    EXPECT_EQ(run.out, "092G06\n092G06\n" + kFieldError + "1 field\n");
}

} // namespace
