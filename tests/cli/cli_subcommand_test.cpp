// SPDX-License-Identifier: MIT
// Runs the real sheetfind-cli subcommands: arguments and lines in, lines or GeoJSON
// out, exit status. GeoJSON is read back through GDAL, as a GIS tool reads it.

#include "cli_run.h"
#include "layer_read.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

struct Case {
    const char* name;
    QStringList arguments;
    std::string input;
    std::string out;
    int exitCode;
    std::string err = "";
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Subcommands : public testing::TestWithParam<Case> {};

// NAD83 points (the default) are shifted into the petroleum and natural gas grid's
// NAD27, and the shift PROJ used is told once, whatever it is on this machine.
TEST(Datums, AShiftIsToldOnceOnStandardError) {
    const CliRun run = runCli({"locate", "-s", "png"}, "56.91 -120.565\n49.25 -123.1\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);
    EXPECT_TRUE(run.err.starts_with("sheetfind-cli: points were shifted from NAD83 to NAD27 by "))
        << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    // No shift where the grid is drawn in the points' own datum.
    EXPECT_EQ(runCli({"locate", "49.25", "-123.1"}, "").err, "");
}

TEST_P(Subcommands, AnswerAsDocumented) {
    const Case& c = GetParam();
    const CliRun run = runCli(c.arguments, c.input);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Locate, Subcommands,
    testing::Values(
        Case{"BarbeauPeak", {"locate", "81.9147", "-75.0092"}, "", "340D15\n", 0},
        Case{"AtEachScale", {"locate", "--scale", "250k", "82.4", "-76.75"}, "", "340E\n", 0},
        Case{"ScaleWithEquals", {"locate", "--scale=1m", "69.3514", "-124.0694"}, "", "097\n", 0},
        Case{"OutsideTheGrid", {"locate", "85", "-125"}, "", "\n", 0},
        Case{"BcgsOnEdges", {"locate", "-s", "2500", "49.25", "-123.1"}, "", "092G025322\n", 0},
        Case{"BcgsOutsideBc", {"locate", "-s", "20k", "45.5", "-73.6"}, "", "\n", 0},
        // NAD27 points on the petroleum and natural gas grid's own graticule: no shift.
        Case{"PngInNad27",
             {"locate", "-s", "png", "--datum", "NAD27", "56.91", "-120.565"},
             "",
             "a-096-H/094-A-15\n",
             0},
        Case{"PngNeighboursAcrossASheetLine",
             {"neighbours", "H/094-A-15"},
             "",
             "A/094-A-15\nB/094-A-15\nG/094-A-15\nI/094-A-15\nJ/094-A-15\nD/094-A-16\n"
             "E/094-A-16\nL/094-A-16\n",
             0},
        Case{"PngBoundsInNad27",
             {"bounds", "200/d-096-H 094-A-15/00"},
             "",
             "d-096-H/094-A-15\t56.9125\t-120.56875\t56.916666666666664\t-120.5625\n",
             0},
        Case{"PngAnnotatedInNad27",
             {"annotate", "-s", "png", "--datum", "nad27"},
             "lat,lon\n56.91,-120.565\n",
             "lat,lon,png\n56.91,-120.565,a-096-H/094-A-15\n",
             0},
        Case{"PngFlaggedTable",
             {"annotate", "-s", "png", "--datum", "NAD27", "--flag-uncertain"},
             "lat,lon\n56.91,-120.565\n51.05,-114.07\n",
             "lat,lon,png,png_uncertain\n56.91,-120.565,a-096-H/094-A-15,false\n51.05,-114.07,,\n",
             0},
        Case{"FlagIsForAnswerLines",
             {"locate", "-s", "png", "--flag-uncertain", "-f", "geojson", "56.91", "-120.565"},
             "",
             "",
             2,
             "sheetfind-cli: --flag-uncertain marks answer lines: it is for text output, not a "
             "layer of cells\nTry 'sheetfind-cli locate --help'.\n"},
        Case{"PngBoxInNad27",
             {"cover", "-s", "png-unit", "--datum", "NAD27", "56.913", "-120.572", "56.914",
              "-120.570"},
             "",
             "096-H/094-A-15\n",
             0},
        // serve checks what it is given before it listens.
        Case{"ServeBindEmpty",
             {"serve", "--bind", ""},
             "",
             "",
             2,
             "sheetfind-cli: --bind needs an address, such as 127.0.0.1, 0.0.0.0 or ::1\nTry "
             "'sheetfind-cli serve --help'.\n"},
        Case{"ServeTilesWithMarkup",
             {"serve", "--tiles", "https://<b>x</b>/{z}/{x}/{y}"},
             "",
             "",
             2,
             "sheetfind-cli: --tiles \"https://<b>x</b>/{z}/{x}/{y}\" holds a character that is "
             "not a URL's; expected an http or https URL with {z}, {x} and {y}, such as "
             "https://tile.example.org/{z}/{x}/{y}.png\nTry 'sheetfind-cli serve --help'.\n"},
        Case{"ServeTilesNotHttp",
             {"serve", "--tiles", "javascript:alert(1)/{z}/{x}/{y}"},
             "",
             "",
             2,
             "sheetfind-cli: --tiles \"javascript:alert(1)/{z}/{x}/{y}\" is not an http or https "
             "URL; expected an http or https URL with {z}, {x} and {y}, such as "
             "https://tile.example.org/{z}/{x}/{y}.png\nTry 'sheetfind-cli serve --help'.\n"},
        Case{"UnknownDatum",
             {"locate", "--datum", "ED50", "49", "-123"},
             "",
             "",
             2,
             "sheetfind-cli: unknown datum \"ED50\"; expected NAD83, NAD27 or WGS84\nTry "
             "'sheetfind-cli locate --help'.\n"},
        // A control character is shown, not sent to the terminal.
        Case{"UnknownDatumWithAnEscape",
             {"locate", "--datum",
              "ED\x1b"
              "50",
              "49", "-123"},
             "",
             "",
             2,
             "sheetfind-cli: unknown datum \"ED\\x1B50\"; expected NAD83, NAD27 or WGS84\nTry "
             "'sheetfind-cli locate --help'.\n"},
        Case{"DmsInOneArgument", {"locate", "49°15'N 123°06'W"}, "", "092G06\n", 0},
        Case{"DmsHemispheresSwapped", {"locate", "123°06'W", "49°15'N"}, "", "092G06\n", 0},
        Case{"BadNumber",
             {"locate", "49.25", "west"},
             "",
             "",
             1,
             "sheetfind-cli: Type mismatch: the longitude \"west\" is not a number; expected "
             "decimal degrees such as -123.1\n"},
        Case{"StandardInputLineForLine",
             {"locate"},
             "49.25 -123.1\n85 -100\nabc 1\n49 15 0 N, 123 6 0 W\n49 15 N 123 6 W\n"
             "N49:15 W123:6\n30 -100\n49N 50N\n",
             "092G06\n561C03\nERROR: Type mismatch: the latitude \"abc\" is not a number; "
             "expected decimal degrees such as 49.25\n092G06\n092G06\n092G06\n\n"
             "ERROR: the point \"49N 50N\" has two latitudes (N or S); expected one latitude "
             "and one longitude\n",
             1},
        Case{"StandardInputSkipsOverlongLines",
             {"locate", "--scale", "250k"},
             "49.25 -123.1\n" + std::string(70'000, '7') + "\n85 -100\n",
             "092G\nERROR: line too long (the limit is 65536 bytes)\n561C\n",
             1},
        // Several arguments make one point, as "10U 491213 5458885" unquoted does.
        Case{"ThreeArgumentsAreOnePoint",
             {"locate", "1", "2", "3"},
             "",
             "",
             1,
             "sheetfind-cli: expected a latitude and a longitude separated by blanks or a comma, "
             "found 3 fields\n"},
        Case{"UnknownScale",
             {"locate", "--scale", "100k", "49", "-123"},
             "",
             "",
             2,
             "sheetfind-cli: unknown scale \"100k\"; expected 1m, 250k, 50k, 20k, 10k, 5k, "
             "2500, png-block, png-unit or png\nTry 'sheetfind-cli locate --help'.\n"}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Bounds, Subcommands,
    testing::Values(
        Case{"References",
             {"bounds", "92G6", "340 d15", "82O", "92"},
             "",
             "092G06\t49.25\t-123.5\t49.5\t-123\n340D15\t81.75\t-76\t82\t-74\n"
             "082O\t51\t-116\t52\t-114\n092\t48\t-128\t52\t-120\n",
             0},
        // An argument's error goes to standard error; the others are answered.
        Case{"BadReferenceOnStandardError",
             {"bounds", "92G6", "27K06", "910"},
             "",
             "092G06\t49.25\t-123.5\t49.5\t-123\n910\t80\t-136\t84\t-120\n",
             1,
             "sheetfind-cli: reference \"27K06\": map-area letter \"K\" at character 3 is not in "
             "Arctic series 027; expected A to H\n"},
        Case{"BcgsForms",
             {"bounds", "92G.025.3.4.2", "092g025_3_4_2", "092G0255"},
             "",
             "092G025342\t49.275\t-123.125\t49.2875\t-123.1\n"
             "092G025342\t49.275\t-123.125\t49.2875\t-123.1\n",
             1,
             "sheetfind-cli: reference \"092G0255\": quarter digit \"5\" at character 8 after "
             "092G025 is not in 1 to 4; expected 1 (south-west), 2 (south-east), 3 (north-west) "
             "or 4 (north-east)\n"},
        Case{"StandardInput",
             {"bounds"},
             "021-H-01\r\n\n911\n1N10",
             "021H01\t45\t-64.5\t45.25\t-64\n\nERROR: reference "
             "\"911\": series \"911\" at character 1 is not in the grid; expected 0 to 119, or a "
             "high-Arctic series 120, 121, 340, 341, 560, 561, 780, 781 or 910\n"
             "001N10\t47.5\t-53\t47.75\t-52.5\n",
             1}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    NeighboursAndCover, Subcommands,
    testing::Values(
        Case{"Neighbours",
             {"neighbours", "92g6"},
             "",
             "092G02\n092G03\n092G04\n092G05\n092G07\n092G10\n092G11\n092G12\n",
             0},
        Case{"BcgsNeighboursAcrossMapAreas",
             {"neighbours", "092G091"},
             "",
             "092F090\n092F100\n092G081\n092G082\n092G092\n092J001\n092J002\n092K010\n",
             0},
        Case{"BcgsCover",
             {"cover", "-s", "20k", "49.15", "-123.3", "49.25", "-123.0"},
             "",
             "092G014\n092G015\n092G024\n092G025\n",
             0},
        Case{"NeighboursOfABadReference",
             {"neighbours", "92G17"},
             "",
             "",
             1,
             "sheetfind-cli: reference \"92G17\": sheet number \"17\" at character 4 is not in 1 "
             "to 16\n"},
        Case{"Cover",
             {"cover", "--scale", "250k", "49", "-124", "50.5", "-121"},
             "",
             "092G\n092H\n092I\n092J\n",
             0},
        Case{"CoverExactBounds", {"cover", "49.25", "-123.5", "49.5", "-123"}, "", "092G06\n", 0},
        Case{"CoverAcrossZones",
             {"cover", "--scale", "1m", "79", "-90", "81", "-89"},
             "",
             "059\n560\n",
             0},
        Case{"CoverReadsTheLocale",
             {"cover", "49,25", "-123,5", "49,5", "-123"},
             "",
             "",
             1,
             "sheetfind-cli: Type mismatch: the south edge \"49,25\" is not a number; expected "
             "decimal degrees such as 49.25\n"},
        Case{"CoverSwappedEdges",
             {"cover", "-123", "49", "-122", "50"},
             "",
             "",
             1,
             "sheetfind-cli: south edge -123 is out of range -90..90\n"},
        Case{"CoverNeedsFourEdges",
             {"cover", "49", "-124", "50"},
             "",
             "",
             2,
             "sheetfind-cli: cover expects SOUTH WEST NORTH EAST; got 3 arguments\nTry "
             "'sheetfind-cli cover --help'.\n"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SubcommandHelp, DocumentsEverySubcommand) {
    const CliRun run = runCli({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* text : {"Usage: sheetfind-cli LATITUDE LONGITUDE", "locate", "bounds",
                             "neighbours", "cover", "Exit status"}) {
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
    }
    for (const char* command : {"locate", "bounds", "neighbours", "neighbors", "cover"}) {
        const CliRun help = runCli({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_NE(help.out.find("--format"), std::string::npos) << command;
        const CliRun version = runCli({command, "--version"});
        EXPECT_EQ(version.out, "sheetfind-cli 1.00\n") << command;
    }
    EXPECT_NE(runCli({"locate", "-h"}).out.find("MGRS"), std::string::npos);
}

TEST(SubcommandTheBareFormIsUnchanged, HighArcticPointsStillHaveNoCaption) {
    EXPECT_EQ(runCli({"81.9147", "-75.0092"}).out, "\n");
}

// Reads a FeatureCollection back through GDAL and checks what RFC 7946 and QGIS need
// of it; returns the references in the order written.
std::vector<std::string> checkedFeatures(const std::string& text, const std::string& scale) {
    static int file = 0;
    // CTest runs the cases as processes side by side: each names its own files.
    const std::string path = ::testing::TempDir() + "subcommand_" + std::to_string(::getpid()) +
                             "_" + std::to_string(++file) + ".geojson";
    const ReadLayer layer = readLayer(writtenFile(path, text));
    std::filesystem::remove(path);
    EXPECT_TRUE(layer.opened) << text.substr(0, 200);
    EXPECT_TRUE(layer.wgs84);
    std::vector<std::string> references;
    for (const ReadFeature& feature : layer.features) {
        EXPECT_EQ(feature.scale, scale);
        EXPECT_EQ(feature.rings, 1) << feature.reference;
        EXPECT_GE(feature.ring.size(), 5u);
        EXPECT_EQ(feature.ring.front(), feature.ring.back());
        EXPECT_GT(twiceSignedArea(feature.ring), 0) << feature.reference;
        for (const auto& [x, y] : feature.ring) {
            EXPECT_TRUE(-144 <= x && x <= -48) << "longitude first: " << x << " " << y;
            EXPECT_TRUE(40 <= y && y <= 88) << x << " " << y;
        }
        references.push_back(feature.reference);
    }
    return references;
}

TEST(SubcommandGeoJson, CoverIsAFeatureCollectionOfPolygons) {
    const CliRun run = runCli({"cover", "--format", "geojson", "49", "-124", "49.5", "-123"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(checkedFeatures(run.out, "1:50000"),
              (std::vector<std::string>{"092G03", "092G04", "092G05", "092G06"}));
}

TEST(SubcommandGeoJson, LocateCollectsEachSheetOnceAndReportsBadLinesOnStandardError) {
    const CliRun run = runCli({"locate", "--format=geojson", "--scale", "250k"},
                              "81.9147 -75.0092\nx y\n82.4 -76.75\n81.9 -75.5\n30 -100\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(checkedFeatures(run.out, "1:250000"), (std::vector<std::string>{"340D", "340E"}));
    EXPECT_EQ(run.err, "sheetfind-cli: line 2: Type mismatch: the latitude \"x\" is not a number; "
                       "expected decimal degrees such as 49.25\n");
}

TEST(SubcommandGeoJson, BoundsAndNeighbours) {
    const CliRun bounds = runCli({"bounds", "--format", "geojson", "340", "92G6", "92"});
    EXPECT_EQ(bounds.exitCode, 0);
    const std::string path = ::testing::TempDir() + "bounds.geojson";
    const ReadLayer layer = readLayer(writtenFile(path, bounds.out));
    std::filesystem::remove(path);
    ASSERT_EQ(layer.features.size(), 3u);
    EXPECT_EQ(layer.features[1].reference, "092G06");
    EXPECT_EQ(layer.features[1].scale, "1:50000");
    const auto neighbours =
        checkedFeatures(runCli({"neighbours", "--format", "geojson", "079"}).out, "1:1000000");
    EXPECT_EQ(std::set<std::string>(neighbours.begin(), neighbours.end()),
              (std::set<std::string>{"068", "069", "078", "088", "089", "560", "780"}));
}

TEST(SubcommandGeoJson, NothingFoundIsAnEmptyCollection) {
    const CliRun run = runCli({"cover", "--format", "geojson", "30", "-100", "35", "-90"});
    EXPECT_EQ(run.exitCode, 0);
    const std::string path = ::testing::TempDir() + "nothing.geojson";
    const ReadLayer layer = readLayer(writtenFile(path, run.out));
    std::filesystem::remove(path);
    EXPECT_TRUE(layer.opened) << run.out;
    EXPECT_TRUE(layer.features.empty());
}

TEST(SubcommandLimits, TheWholeGridIsTheLargestCover) {
    const CliRun run = runCli({"cover", "-90", "-180", "90", "180"});
    EXPECT_EQ(run.exitCode, 0);
    std::size_t lines = 0;
    for (const char ch : run.out) {
        lines += ch == '\n' ? 1 : 0;
    }
    EXPECT_EQ(lines, 27'264u);
}

} // namespace
