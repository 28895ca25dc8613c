// SPDX-License-Identifier: MIT
// Every file the tool writes is whole or absent: a full disk, a signal or a failed
// run leaves nothing under the output's name, and nothing that exists is written
// over, the input least of all.

#include "output_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct ShellRun {
    int status;
    std::string output; // standard output and error together
};

class OutputRule : public testing::Test {
protected:
    void SetUp() override {
        m_folder =
            fs::path(testing::TempDir()) / ("sheetfind_output_rule." + std::to_string(::getpid()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        write("points.csv", "name,lat,lon\nA,49.25,-123.1\nB,49.3,-123.3\n");
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string path(const std::string& name) const { return (m_folder / name).string(); }

    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }

    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // What the folder holds, hidden names included.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Runs a bash script in the folder, with $CLI naming the tool.
    ShellRun shell(const std::string& script) const {
        const std::string command = "cd '" + m_folder.string() +
                                    "' && CLI='" SHEETFIND_CLI "' LC_ALL=C.UTF-8 bash -c '" +
                                    script + "' 2>&1";
        ShellRun run{-1, {}};
        FILE* pipe = ::popen(command.c_str(), "r");
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            run.output += buffer;
        }
        const int status = ::pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

private:
    fs::path m_folder;
};

// A disk that fills up: writes past 8 KiB fail (EFBIG) as they would with ENOSPC.
constexpr const char* kFullDisk = "trap \"\" XFSZ; ulimit -f 8; ";

struct WriterCase {
    const char* name;
    const char* command; // writes out.EXT; EXT is replaced by each format's extension
};

struct FullDiskCase {
    WriterCase writer;
    const char* extension;
};

void PrintTo(const FullDiskCase& c, std::ostream* os) {
    *os << c.writer.name << c.extension;
}

class FullDisk : public OutputRule, public testing::WithParamInterface<FullDiskCase> {};

TEST_P(FullDisk, IsStatusTwoNamingTheFileAndLeavesNothing) {
    const FullDiskCase& c = GetParam();
    // Enough rows and features to pass 8 KiB in any format.
    ASSERT_EQ(shell("(echo lat,lon; yes 49.25,-123.1 | head -2000) > many.csv; $CLI grid "
                    "--scale 250k --bbox 40 -100 60 -60 -o cells.gpkg")
                  .status,
              0);
    std::string command = c.writer.command;
    command.replace(command.find("EXT"), 3, c.extension);
    const ShellRun run = shell(kFullDisk + command);
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(run.output.find("out" + std::string(c.extension)), std::string::npos) << run.output;
    for (const std::string& name : entries()) {
        EXPECT_TRUE(name == "points.csv" || name == "cells.gpkg" || name == "many.csv") << name;
    }
}

constexpr std::array kLayerExtensions{".geojson", ".json", ".kml", ".gml",
                                      ".gpkg",    ".shp",  ".csv", ".fgb"};
constexpr std::array kWriters{
    WriterCase{"grid", "$CLI grid --scale 250k -o outEXT"},
    WriterCase{"annotate", "$CLI annotate cells.gpkg -o outEXT"},
};

std::vector<FullDiskCase> fullDiskCases() {
    std::vector<FullDiskCase> cases;
    for (const WriterCase& writer : kWriters) {
        for (const char* extension : kLayerExtensions) {
            cases.push_back({writer, extension});
        }
    }
    cases.push_back({{"table", "$CLI annotate many.csv -o outEXT"}, ".csv"});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Writers, FullDisk, testing::ValuesIn(fullDiskCases()));

class Interrupted : public OutputRule, public testing::WithParamInterface<const char*> {};

TEST_P(Interrupted, LeavesNoPartOfTheFile) {
    // Job control, so that the tool in the background hears SIGINT as from a terminal.
    const ShellRun run =
        shell(std::string("set -m; $CLI grid --scale 50k -o big.geojson & pid=$!; "
                          "for i in $(seq 600); do ls -A | grep -q sheetfind && break; "
                          "sleep 0.05; done; sleep 0.2; kill -") +
              GetParam() + " $pid; wait $pid; echo \"status $?\"");
    EXPECT_NE(run.output.find("status 1"), std::string::npos) << run.output; // 128 + signal
    EXPECT_EQ(entries(), std::vector<std::string>{"points.csv"});
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupted, testing::Values("INT", "TERM", "HUP"));

struct TableRunCase {
    const char* name;
    const char* script;
    int status;
    const char* message;
    bool written; // out.csv exists afterwards
};

void PrintTo(const TableRunCase& c, std::ostream* os) {
    *os << c.name;
}

class TableOutput : public OutputRule, public testing::WithParamInterface<TableRunCase> {};

TEST_P(TableOutput, IsWholeOrAbsentAndNeverOverAFile) {
    const TableRunCase& c = GetParam();
    write("kept.csv", "lat,lon\n1,2\n");
    const ShellRun run = shell(c.script);
    EXPECT_EQ(run.status, c.status) << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    EXPECT_EQ(read("kept.csv"), "lat,lon\n1,2\n");
    EXPECT_EQ(fs::exists(path("out.csv")), c.written);
    for (const std::string& name : entries()) {
        EXPECT_EQ(name.find("sheetfind-"), std::string::npos) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, TableOutput,
    testing::Values(
        TableRunCase{"written", "$CLI annotate points.csv -o out.csv", 0, "", true},
        TableRunCase{"existing", "$CLI annotate points.csv -o kept.csv", 2,
                     "\"kept.csv\" exists already; it is left as it is", false},
        TableRunCase{"input_by_redirection", "$CLI annotate -o kept.csv < kept.csv", 2,
                     "\"kept.csv\" is the input", false},
        TableRunCase{"input_by_name", "$CLI annotate kept.csv -o kept.csv", 2,
                     "\"kept.csv\" is the input", false},
        TableRunCase{"input_by_link", "ln -s kept.csv link.csv; $CLI annotate kept.csv -o link.csv",
                     2, "\"link.csv\" is the input", false},
        TableRunCase{"dangling_link",
                     "ln -s nowhere.csv out.csv; $CLI annotate points.csv -o "
                     "out.csv; status=$?; rm out.csv; exit $status",
                     2, "exists already", false},
        TableRunCase{"no_point_columns", "printf \"a,b\\n1,2\\n\" | $CLI annotate -o out.csv", 1,
                     "has no point columns", false},
        TableRunCase{"empty_table", "$CLI annotate -o out.csv < /dev/null", 1, "", false},
        TableRunCase{
            "malformed_quotes",
            "printf \"lat,lon\\n49.25,-123.1\\n\\\"49,-123\\n\" | $CLI annotate -o out.csv", 1, "",
            false}),
    [](const testing::TestParamInfo<TableRunCase>& run) { return run.param.name; });

TEST_F(OutputRule, LayerOutputsAreNeverWrittenOverAFile) {
    ASSERT_EQ(shell("$CLI grid --scale 250k --bbox 49 -124 50 -122 -o cells.shp").status, 0);
    write("taken.dbf", "kept");
    const ShellRun run = shell("$CLI grid --scale 250k -o taken.shp");
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_NE(run.output.find("\"taken.dbf\" exists already"), std::string::npos) << run.output;
    EXPECT_EQ(read("taken.dbf"), "kept");
    EXPECT_FALSE(fs::exists(path("taken.shp")));
    EXPECT_FALSE(fs::exists(path("taken.shx")));
    EXPECT_TRUE(fs::exists(path("cells.dbf")));
}

// A device or a named pipe is written as it is, in any format written in one pass.
TEST_F(OutputRule, StreamsAreWrittenAsTheyAre) {
    struct Case {
        const char* script;
        int status;
        const char* output;
    };
    for (const Case& c : {
             Case{"$CLI locate -o /dev/null --of GeoJSON 49 -123", 0, ""},
             Case{"mkfifo pipe; cat pipe > got & $CLI cover -s 1m 49 -124 50 -122 -o pipe --of "
                  "GeoJSONSeq; wait; cat got",
                  0, "\"reference\": \"092\""},
             Case{"$CLI grid -s 1m -o /dev/null --of GPKG", 2,
                  "a GPKG database is not written to a device or a pipe"},
             // CSV is a folder to GDAL unless its name ends in .csv.
             Case{"$CLI locate --of CSV -o /dev/null 49.25 -123.1 && echo written", 0, "written"},
             Case{"mkfifo pipe; cat pipe > got & $CLI locate --of CSV -o pipe 49.25 -123.1; wait; "
                  "cat got",
                  0, "092G06"},
             // A reader that leaves is a failed write: opened to read too, the pipe was its
             // own reader and the run waited for ever.
             Case{
                 "mkfifo pipe; head -c 10 pipe > /dev/null & timeout 20 $CLI grid -s 2500 --of CSV "
                 "-o pipe 2>&1; echo \"status $?\"",
                 0, "Broken pipe\nstatus 2"},
         }) {
        const ShellRun run = shell(c.script);
        EXPECT_EQ(run.status, c.status) << c.script << "\n" << run.output;
        EXPECT_NE(run.output.find(c.output), std::string::npos) << c.script << "\n" << run.output;
    }
}

TEST_F(OutputRule, StagedFilesAreDiscardedUnlessCommitted) {
    {
        auto staged = sheetfind::OutputFile::stage(path("gone.txt"));
        ASSERT_TRUE(std::holds_alternative<sheetfind::OutputFile>(staged));
        std::ofstream(std::get<sheetfind::OutputFile>(staged).path()) << "half";
    }
    EXPECT_EQ(entries(), std::vector<std::string>{"points.csv"});
}

} // namespace
