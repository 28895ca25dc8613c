// SPDX-License-Identifier: MIT
// Runs the real `sheetfind-cli annotate` on CSV tables: bytes in, bytes out, the
// messages and the exit status. The random sweep reads the output back with a
// reader of its own and judges each sheet by the independent oracle.

#include "cli_run.h"
#include "nts_oracle.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kMessage = "sheetfind-cli: ";

struct Case {
    const char* name;
    QStringList arguments;
    std::string input;
    std::string out;
    int exitCode;
    std::string err = "";
    const char* locale = "C.UTF-8";
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class AnnotateTable : public testing::TestWithParam<Case> {};

TEST_P(AnnotateTable, WritesEveryRecordWithItsSheet) {
    const Case& c = GetParam();
    QStringList arguments{"annotate"};
    arguments += c.arguments;
    const CliRun run = runCli(arguments, c.input, c.locale);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.exitCode, c.exitCode);
}

const std::string kBadLatitude = std::string(kMessage) +
                                 "row 3: Type mismatch: the latitude \"abc\" is not a number; "
                                 "expected decimal degrees such as 49.25\n";

INSTANTIATE_TEST_SUITE_P(
    Csv, AnnotateTable,
    testing::Values(
        Case{"PlainCommas",
             {},
             "id,lat,lon\n1,49.25,-123.1\n2,45.42,-75.7\n",
             "id,lat,lon,nts_50k\n1,49.25,-123.1,092G06\n2,45.42,-75.7,031G05\n",
             0},
        Case{"QuotedDelimiterIsKeptQuoted",
             {},
             "name,lat,lon\n\"Smith, J\",49.25,-123.1\n",
             "name,lat,lon,nts_50k\n\"Smith, J\",49.25,-123.1,092G06\n",
             0},
        Case{"NeedlessQuotesAreDropped",
             {},
             "\"name\",\"lat\",\"lon\"\n\"a\",\"49.25\",\"-123.1\"\n",
             "name,lat,lon,nts_50k\na,49.25,-123.1,092G06\n",
             0},
        Case{"DoubledQuotes",
             {},
             "name,lat,lon\n\"say \"\"hi\"\"\",49.25,-123.1\n",
             "name,lat,lon,nts_50k\n\"say \"\"hi\"\"\",49.25,-123.1,092G06\n",
             0},
        Case{"EmbeddedNewlineIsOneRow",
             {},
             "note,lat,lon\n\"two\nlines\",49.25,-123.1\nx,abc,-75\n",
             "note,lat,lon,nts_50k\n\"two\nlines\",49.25,-123.1,092G06\nx,abc,-75,\n",
             1,
             kBadLatitude},
        Case{"CrLfStaysCrLf",
             {},
             "lat,lon\r\n49.25,-123.1\r\n\"a\r\nb\",1\r\n",
             "lat,lon,nts_50k\r\n49.25,-123.1,092G06\r\n\"a\r\nb\",1,\r\n",
             1,
             std::string(kMessage) +
                 "row 3: Type mismatch: the latitude \"a\\x0D\\x0Ab\" is not a number; "
                 "expected decimal degrees such as 49.25\n"},
        Case{"ByteOrderMarkIsKept",
             {},
             "\xEF\xBB\xBFlat,lon\n49.25,-123.1\n",
             "\xEF\xBB\xBFlat,lon,nts_50k\n49.25,-123.1,092G06\n",
             0},
        Case{"SemicolonsWithDecimalCommasInFrench",
             {},
             "nom;lat;lon\nVancouver;49,25;-123,1\n",
             "nom;lat;lon;nts_50k\nVancouver;49,25;-123,1;092G06\n",
             0,
             "",
             "fr_CA.UTF-8"},
        Case{"Tabs",
             {},
             "lat\tlon\tnote\n49.25\t-123.1\ta, b\n",
             "lat\tlon\tnote\tnts_50k\n49.25\t-123.1\ta, b\t092G06\n",
             0},
        Case{"DelimiterOptionOverridesTheHeader",
             {"--delimiter", ";"},
             "lat;lon;note,with,commas\n49.25;-123.1;x\n",
             "lat;lon;note,with,commas;nts_50k\n49.25;-123.1;x;092G06\n",
             0},
        Case{"DelimiterTabByName",
             {"--delimiter", "tab"},
             "lat\tlon\n49.25\t-123.1\n",
             "lat\tlon\tnts_50k\n49.25\t-123.1\t092G06\n",
             0},
        Case{"DelimiterTabEscaped",
             {"--delimiter", "\\t"},
             "lat\tlon\n49.25\t-123.1\n",
             "lat\tlon\tnts_50k\n49.25\t-123.1\t092G06\n",
             0},
        Case{"ColumnNamesIgnoreCaseAndBlanks",
             {},
             "ID, Latitude ,LNG\n1,49.25,-123.1\n",
             "ID, Latitude ,LNG,nts_50k\n1,49.25,-123.1,092G06\n",
             0},
        Case{"LatLonBeforeProjectedXY",
             {},
             "x,y,lat,lon\n500000,5400000,49.25,-123.1\n",
             "x,y,lat,lon,nts_50k\n500000,5400000,49.25,-123.1,092G06\n",
             0},
        Case{"LatLonChosenByName",
             {"--lat", "North", "--lon", "east"},
             "north,east\n49.25,-123.1\n",
             "north,east,nts_50k\n49.25,-123.1,092G06\n",
             0},
        Case{"LatLonChosenByNumber",
             {"--lat", "3", "--lon", "2"},
             "a,b,c\nx,-123.1,49.25\n",
             "a,b,c,nts_50k\nx,-123.1,49.25,092G06\n",
             0},
        Case{"LonFirstDoesNotSwapNamedColumns",
             {"--lon-first"},
             "lat,lon\n49.25,-123.1\n",
             "lat,lon,nts_50k\n49.25,-123.1,092G06\n",
             0},
        Case{"SwappedColumnsGetNoLonFirstHint",
             {},
             "lat,lon\n-123.1,49.25\n",
             "lat,lon,nts_50k\n-123.1,49.25,\n",
             1,
             std::string(kMessage) + "row 2: latitude -123.1 is out of range -90..90\n"},
        Case{"PointColumnInEveryNotation",
             {"--point", "where"},
             "id,where\n1,10U 491213 5458885\n2,10UDV9121358885\n3,49°15'N 123°06'W\n4,\"49.25, "
             "-123.1\"\n",
             "id,where,nts_50k\n1,10U 491213 5458885,092G06\n2,10UDV9121358885,092G06\n3,49°15'N "
             "123°06'W,092G06\n4,\"49.25, -123.1\",092G06\n",
             0},
        Case{"PointColumnFoundByName",
             {},
             "mgrs\n10UDV9121358885\n",
             "mgrs,nts_50k\n10UDV9121358885,092G06\n",
             0},
        Case{"PointColumnLongitudeFirst",
             {"--lon-first"},
             "coords\n-123.1 49.25\n",
             "coords,nts_50k\n-123.1 49.25,092G06\n",
             0},
        Case{"PointColumnOneNotation",
             {"--input", "utm"},
             "position\n10UDV9121358885\n",
             "position,nts_50k\n10UDV9121358885,\n",
             1,
             std::string(kMessage) +
                 "row 2: the point \"10UDV9121358885\" is not UTM; expected ZONE BAND EASTING "
                 "NORTHING such as 10U 491213 5458885\n"},
        Case{"ColumnOption",
             {"--column", "sheet, NTS"},
             "lat,lon\n49.25,-123.1\n",
             "lat,lon,\"sheet, NTS\"\n49.25,-123.1,092G06\n",
             0},
        Case{"MapAreaScale",
             {"-s", "250k"},
             "lat,lon\n49.25,-123.1\n",
             "lat,lon,nts_250k\n49.25,-123.1,092G\n",
             0},
        Case{"SeriesScale",
             {"--scale", "1m"},
             "lat,lon\n49.25,-123.1\n",
             "lat,lon,nts_1m\n49.25,-123.1,092\n",
             0},
        Case{"OutsideTheGridIsAnEmptyCell", {}, "lat,lon\n10,10\n", "lat,lon,nts_50k\n10,10,\n", 0},
        Case{"NoPointColumnsListsTheHeader",
             {},
             "id,name,\"a\"\"b\"\n1,2,3\n",
             "",
             1,
             std::string(kMessage) +
                 "the header has no point columns: its names are \"id\", \"name\", \"a\\\"b\"; "
                 "expected lat and lon (or latitude and longitude, y and x...), or a point column "
                 "such as position, coordinates, utm or mgrs, or --lat and --lon, or --point\n"},
        Case{"LatitudeWithoutLongitudeIsNotAPair",
             {},
             "lat,name\n49,x\n",
             "",
             1,
             std::string(kMessage) +
                 "the header has no point columns: its names are \"lat\", \"name\"; expected lat "
                 "and lon (or latitude and longitude, y and x...), or a point column such as "
                 "position, coordinates, utm or mgrs, or --lat and --lon, or --point\n"},
        // Reading stops at the header, so the quote below it is never reached: the
        // same whatever the size of the file.
        Case{"NothingIsReportedAfterAHeaderRefused",
             {},
             "id,name\na\"b,1\n",
             "",
             1,
             std::string(kMessage) +
                 "the header has no point columns: its names are \"id\", \"name\"; expected lat "
                 "and lon (or latitude and longitude, y and x...), or a point column such as "
                 "position, coordinates, utm or mgrs, or --lat and --lon, or --point\n"},
        Case{"ChosenColumnMissing",
             {"--lat", "lat", "--lon", "9"},
             "lat,lon\n49,-123\n",
             "",
             1,
             std::string(kMessage) +
                 "the longitude column \"9\" is not in the header; expected one of its names or "
                 "a number from 1 to 2: \"lat\", \"lon\"\n"},
        Case{"ShortRowIsPadded",
             {},
             "id,lat,lon,note\n1,49.25,-123.1\n2,49.25\n",
             "id,lat,lon,note,nts_50k\n1,49.25,-123.1,,092G06\n2,49.25,,,\n",
             1,
             std::string(kMessage) +
                 "row 3: the record has 2 fields and so no longitude column \"lon\"; expected as "
                 "many fields as the header\n"},
        Case{"LongRowKeepsItsFieldsAfterTheSheet",
             {},
             "lat,lon\n49.25,-123.1,x,\"y,z\"\n",
             "lat,lon,nts_50k\n49.25,-123.1,092G06,x,\"y,z\"\n",
             1,
             std::string(kMessage) +
                 "row 2: the record has 4 fields, more than the header; those past the header are "
                 "kept after the sheet column\n"},
        Case{"EmptyFile",
             {},
             "",
             "",
             1,
             std::string(kMessage) + "the table is empty; expected a header row\n"},
        Case{"OnlyAByteOrderMark",
             {},
             "\xEF\xBB\xBF",
             "",
             1,
             std::string(kMessage) + "the table is empty; expected a header row\n"},
        Case{"HeaderOnly", {}, "lat,lon\n", "lat,lon,nts_50k\n", 0},
        Case{"HeaderOnlyWithoutLineEnd", {}, "lat,lon", "lat,lon,nts_50k\n", 0},
        Case{"BadRowAmongGoodOnes",
             {},
             "lat,lon\n49.25,-123.1\nabc,1\n45.42,-75.7\n",
             "lat,lon,nts_50k\n49.25,-123.1,092G06\nabc,1,\n45.42,-75.7,031G05\n",
             1,
             std::string(kMessage) +
                 "row 3: Type mismatch: the latitude \"abc\" is not a number; expected decimal "
                 "degrees such as 49.25\n"},
        Case{"BlanksAtTheEndsOfUnquotedFieldsAreKept",
             {},
             "name,lat,lon\n a b , 49.25 ,-123.1\t\n",
             "name,lat,lon,nts_50k\n a b , 49.25 ,-123.1\t,092G06\n",
             0},
        Case{"BlankLinesStayAndAreCounted",
             {},
             "lat,lon\n\n49.25,-123.1\n\nabc,1\n",
             "lat,lon,nts_50k\n\n49.25,-123.1,092G06\n\nabc,1,\n",
             1,
             std::string(kMessage) +
                 "row 5: Type mismatch: the latitude \"abc\" is not a number; expected decimal "
                 "degrees such as 49.25\n"},
        Case{"LastRecordWithoutLineEnd",
             {},
             "lat,lon\n49.25,-123.1",
             "lat,lon,nts_50k\n49.25,-123.1,092G06\n",
             0},
        Case{"QuoteInsideAnUnquotedField",
             {},
             "name,lat,lon\nok,49.25,-123.1\nab\"c,1,2\nz,1,2\n",
             "name,lat,lon,nts_50k\nok,49.25,-123.1,092G06\n",
             1,
             std::string(kMessage) +
                 "row 3: malformed quotes (error parsing data while strict checking enabled); "
                 "expected a quoted field to be wholly in double quotes, with each quote inside "
                 "it written twice\n"},
        Case{"TextAfterAClosingQuote",
             {},
             "name,lat,lon\n\"a\"b,1,2\n",
             "name,lat,lon,nts_50k\n",
             1,
             std::string(kMessage) +
                 "row 2: malformed quotes (error parsing data while strict checking enabled); "
                 "expected a quoted field to be wholly in double quotes, with each quote inside "
                 "it written twice\n"},
        Case{"QuoteNeverClosed",
             {},
             "lat,lon\n49.25,-123.1\n\"49,1\n",
             "lat,lon,nts_50k\n49.25,-123.1,092G06\n",
             1,
             std::string(kMessage) +
                 "row 3: malformed quotes (error parsing data while strict checking enabled); "
                 "expected a quoted field to be wholly in double quotes, with each quote inside "
                 "it written twice\n"},
        Case{"GisOptionIsAUsageError",
             {"--explode"},
             "lat,lon\n",
             "",
             2,
             std::string(kMessage) +
                 "--explode is for GIS layers; a CSV table has none of it\nTry 'sheetfind-cli "
                 "annotate --help'.\n"},
        Case{"LatWithoutLonIsAUsageError",
             {"--lat", "a"},
             "a,b\n",
             "",
             2,
             std::string(kMessage) +
                 "--lat and --lon go together: name both columns, or --point for one\nTry "
                 "'sheetfind-cli annotate --help'.\n"},
        Case{"UnknownDelimiter",
             {"--delimiter", "|"},
             "a|b\n",
             "",
             2,
             std::string(kMessage) +
                 "unknown delimiter \"|\"; expected , ; or tab\nTry 'sheetfind-cli annotate "
                 "--help'.\n"}),
    [](const auto& row) { return std::string(row.param.name); });

const std::string kChooseColumns =
    "; expected one latitude column, or the point columns chosen with --lat and --lon, by name "
    "or by number from 1\n";

// A column read or written by mistake gives a plausible table with wrong sheets: what
// could be two columns, or a letter that contradicts its column, is refused.
INSTANTIATE_TEST_SUITE_P(
    AmbiguousColumns, AnnotateTable,
    testing::Values(
        Case{"ALongitudeLetterInTheLatitudeColumn",
             {},
             "lat,lon\n123.1W,49.25N\n49.25e,-123.1\n49.25N,123.1W\n",
             "lat,lon,nts_50k\n123.1W,49.25N,\n49.25e,-123.1,\n49.25N,123.1W,092G06\n",
             1,
             std::string(kMessage) +
                 "row 2: the latitude \"123.1W\" has the hemisphere letter of a longitude (E or "
                 "W); expected a latitude such as 49.25 or 49°15'N\n" +
                 kMessage +
                 "row 3: the latitude \"49.25e\" has the hemisphere letter of a longitude (E or "
                 "W); expected a latitude such as 49.25 or 49°15'N\n"},
        Case{"LatAndLatitude",
             {},
             "id,lat,latitude,lon\n1,49.25,49.25,-123.1\n",
             "",
             1,
             std::string(kMessage) +
                 "the header has two latitude columns, \"lat\" (column 2) and \"latitude\" "
                 "(column 3)" +
                 kChooseColumns},
        Case{"LngAndLong",
             {},
             "lng,long,lat\n-123.1,-123.1,49.25\n",
             "",
             1,
             std::string(kMessage) +
                 "the header has two longitude columns, \"lng\" (column 1) and \"long\" "
                 "(column 2); expected one longitude column, or the point columns chosen with "
                 "--lat and --lon, by name or by number from 1\n"},
        Case{"AChosenNameTwice",
             {"--lat", "lat", "--lon", "lon"},
             "lat,lat,lon\n49.25,49.25,-123.1\n",
             "",
             1,
             std::string(kMessage) +
                 "the header has two latitude columns, \"lat\" (column 1) and \"lat\" (column "
                 "2)" +
                 kChooseColumns},
        Case{"OneColumnNamedForBoth",
             {"--lat", "lat", "--lon", " LAT"},
             "lat,lon\n",
             "",
             2,
             std::string(kMessage) +
                 "the latitude and the longitude are both the column \"lat\"; expected two "
                 "different columns\nTry 'sheetfind-cli annotate --help'.\n"},
        Case{"OneColumnByNameAndNumber",
             {"--lat", "lat", "--lon", "1"},
             "lat,lon\n49.25,-123.1\n",
             "",
             1,
             std::string(kMessage) +
                 "the latitude and the longitude are both the column \"lat\"; expected two "
                 "different columns\n"},
        Case{"TheSheetColumnExists",
             {},
             "lat,lon,NTS_50K\n49.25,-123.1,x\n",
             "",
             1,
             std::string(kMessage) +
                 "the table already has a column \"nts_50k\"; name another with --column\n"},
        Case{"TheColumnOptionNamesAPointColumn",
             {"--column", "lat"},
             "lat,lon\n49.25,-123.1\n",
             "",
             1,
             std::string(kMessage) +
                 "the table already has a column \"lat\"; name another with --column\n"}),
    [](const auto& row) { return std::string(row.param.name); });

// Peak memory of the children this test process has waited for, in KiB. ctest runs
// each test in a process of its own.
long childrenPeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

CliRun runShell(const std::string& script) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CLI", QStringLiteral(SHEETFIND_CLI));
    environment.insert("LC_ALL", "C.UTF-8");
    process.setProcessEnvironment(environment);
    process.start("bash", {"-c", QString::fromStdString(script)});
    EXPECT_TRUE(process.waitForFinished(600'000));
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

TEST(AnnotateStreaming, AMillionRowsInAMillionRowsOutInFlatMemory) {
    const CliRun run = runShell(
        "awk 'BEGIN { print \"id,lat,lon\"; for (i = 0; i < 1000000; i++) printf "
        "\"%d,%.5f,%.5f\\n\", "
        "i, 40 + (i % 4000) / 100, -50 - (i % 9000) / 100 }' | \"$CLI\" annotate | "
        "awk -F, 'NF != 4 { bad++ } END { print NR, bad + 0 }'; echo \"status ${PIPESTATUS[1]}\"");
    EXPECT_EQ(run.out, "1000001 0\nstatus 0\n");
    EXPECT_LT(childrenPeakKiB(), 200 * 1024) << "KiB at the peak";
}

TEST(AnnotateStreaming, AQuoteLeftOpenDoesNotHoldTheRestOfTheFile) {
    const CliRun run =
        runShell("{ printf 'lat,lon\\n49.25,-123.1\\n\"'; head -c 300000000 "
                 "/dev/zero | tr '\\0' a; } | \"$CLI\" annotate; echo \"status $?\"");
    EXPECT_EQ(run.out, "lat,lon,nts_50k\n49.25,-123.1,092G06\nstatus 1\n");
    EXPECT_EQ(run.err, std::string(kMessage) +
                           "row 3: the record is longer than 16777216 bytes; expected a record of "
                           "a table (is a quote above left open?)\n");
    EXPECT_LT(childrenPeakKiB(), 200 * 1024) << "KiB at the peak";
}

std::string readFile(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll().toStdString();
}

void writeFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

TEST(AnnotateFiles, ReadsTheSourceAndWritesTheOutputFile) {
    const QTemporaryDir dir;
    const QString source = dir.filePath("Points.CSV");
    const QString output = dir.filePath("out.csv");
    writeFile(source, "lat,lon\n49.25,-123.1\n");
    const CliRun run = runCli({"annotate", "-s", "250k", source, "-o", output});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(readFile(output), "lat,lon,nts_250k\n49.25,-123.1,092G\n");
}

TEST(AnnotateFiles, RefusesToWriteOverItsSource) {
    const QTemporaryDir dir;
    const QString source = dir.filePath("points.csv");
    writeFile(source, "lat,lon\n49.25,-123.1\n");
    const CliRun run = runCli({"annotate", source, "-o", dir.filePath("./points.csv")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(readFile(source), "lat,lon\n49.25,-123.1\n");
}

TEST(AnnotateFiles, AMissingSourceIsAnInputOutputError) {
    const QTemporaryDir dir;
    const CliRun run = runCli({"annotate", dir.filePath("none.tsv")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, std::string(kMessage) + "cannot open \"" +
                           dir.filePath("none.tsv").toStdString() +
                           "\": No such file or directory\n");
}

TEST(AnnotateFiles, AFullDiskIsAnError) {
    const CliRun run = runCli({"annotate", "-o", "/dev/full"}, "lat,lon\n49.25,-123.1\n");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err,
              std::string(kMessage) + "cannot write \"/dev/full\": No space left on device\n");
}

// RFC 4180 records, read independently of libcsv: the test's own account of what
// the output holds.
std::vector<std::vector<std::string>> parseCsv(const std::string& text, char delimiter) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                field += ch;
            }
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == delimiter) {
            record.push_back(std::move(field));
            field.clear();
        } else if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        } else if (ch == '\n') {
            record.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(record));
            record.clear();
        } else {
            field += ch;
        }
    }
    return records;
}

// Writes a field as a careless writer might: quoted where it must be, and now and
// then where it need not be.
std::string written(const std::string& field, char delimiter, std::mt19937& random) {
    const bool needs =
        field.find_first_of(std::string{delimiter, '"', '\r', '\n'}) != std::string::npos;
    if (!needs && random() % 4 != 0) {
        return field;
    }
    std::string text = "\"";
    for (const char ch : field) {
        text += ch == '"' ? "\"\"" : std::string(1, ch);
    }
    return text + "\"";
}

TEST(AnnotateSweep, EveryRecordKeepsItsFieldsAndGetsTheOraclesSheet) {
    constexpr unsigned kSeed = 20261209;
    std::printf("seed %u\n", kSeed);
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> unit(0, 1);
    const std::vector<std::string> pieces{"a", " b ", ",", ";", "\t", "\"", "\n", "\r\n", "é", ""};
    for (const char delimiter : {',', ';', '\t'}) {
        const std::string lineEnd = delimiter == ';' ? "\r\n" : "\n";
        std::vector<std::vector<std::string>> rows;
        std::string input = std::string("note") + delimiter + "lat" + delimiter + "lon" + lineEnd;
        for (int i = 0; i < 2000; ++i) {
            std::string note;
            for (auto n = random() % 5; n > 0; --n) {
                note += pieces[random() % pieces.size()];
            }
            char lat[32];
            char lon[32];
            std::snprintf(lat, sizeof lat, "%.6f", 38 + 52 * unit(random));
            std::snprintf(lon, sizeof lon, "%.6f", -40 - 110 * unit(random));
            rows.push_back({note, lat, lon});
            input += written(note, delimiter, random) + delimiter +
                     written(lat, delimiter, random) + delimiter + written(lon, delimiter, random) +
                     lineEnd;
        }
        const CliRun run = runCli({"annotate"}, input);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(run.out.starts_with(std::string("note") + delimiter + "lat" + delimiter +
                                        "lon" + delimiter + "nts_50k" + lineEnd));
        const auto records = parseCsv(run.out, delimiter);
        ASSERT_EQ(records.size(), rows.size() + 1);
        EXPECT_EQ(records[0], (std::vector<std::string>{"note", "lat", "lon", "nts_50k"}));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::vector<std::string> expected = rows[i];
            expected.push_back(oracle::oracleReference(std::strtod(rows[i][1].c_str(), nullptr),
                                                       std::strtod(rows[i][2].c_str(), nullptr),
                                                       oracle::Scale::Sheet));
            ASSERT_EQ(records[i + 1], expected) << "row " << i + 2;
        }
    }
}

} // namespace
