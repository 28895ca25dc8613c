// SPDX-License-Identifier: MIT
#include "file_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using sheetfind::windowsNameProblem;

struct NameCase {
    const char* name;
    std::size_t length; // of the whole path
    bool stream;        // written as a device would be (-o NUL)
    const char* device; // the device Windows would open instead, or nullptr
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name << (c.stream ? " as a stream" : "");
}

class WindowsNames : public testing::TestWithParam<NameCase> {};

TEST_P(WindowsNames, ADeviceNameIsRefusedByName) {
    const NameCase& c = GetParam();
    const auto problem = windowsNameProblem(c.name, c.length, false, c.stream);
    if (c.device == nullptr) {
        EXPECT_EQ(problem, std::nullopt);
    } else {
        EXPECT_EQ(problem, "\"" + std::string(c.name) +
                               "\" is a name Windows keeps for a device (" + c.device +
                               "), not for a file; choose another name");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, WindowsNames,
    testing::Values(NameCase{"aux.csv", 30, false, "AUX"}, NameCase{"AUX", 30, false, "AUX"},
                    NameCase{"Con.tar.gz", 30, false, "CON"}, NameCase{"prn ", 30, false, "PRN"},
                    NameCase{"C:\\Relevés\\com1.gpkg", 30, false, "COM1"},
                    NameCase{"out/lpt9.shp", 30, false, "LPT9"},
                    NameCase{"D:lpt1", 30, false, "LPT1"}, NameCase{"COM¹.txt", 30, false, "COM¹"},
                    // The null device alone, as /dev/null; with an extension it is a mistake.
                    NameCase{"NUL", 30, true, nullptr}, NameCase{"nul", 30, true, nullptr},
                    NameCase{"NUL", 30, false, "NUL"}, NameCase{"nul.csv", 30, true, "NUL"},
                    // Names that only start like a device's are files.
                    NameCase{"com10.csv", 30, false, nullptr},
                    NameCase{"console.csv", 30, false, nullptr},
                    NameCase{"auxiliary.gpkg", 30, false, nullptr},
                    NameCase{"aux\\points.csv", 30, false, nullptr},
                    NameCase{".aux", 30, false, nullptr}, NameCase{"LPT", 30, false, nullptr}));

TEST(WindowsPaths, BeyondMaxPathOnlyWithLongPathsTurnedOn) {
    EXPECT_EQ(windowsNameProblem("points.csv", 259, false, false), std::nullopt);
    const auto refused = windowsNameProblem("points.csv", 260, false, false);
    ASSERT_TRUE(refused.has_value());
    EXPECT_NE(refused->find("\"points.csv\" needs a path of 260 characters, and Windows takes at "
                            "most 259 unless long paths are turned on"),
              std::string::npos)
        << *refused;
    EXPECT_EQ(windowsNameProblem("points.csv", 32000, true, false), std::nullopt);
}

TEST(FilePaths, NamesAreUtf8BothWays) {
    for (const std::string name : {"Relevés/points.csv", "測量/區域.geojson", "Женя.gpkg"}) {
        EXPECT_EQ(sheetfind::pathText(sheetfind::filePath(name)), name);
        EXPECT_EQ(sheetfind::pathText(sheetfind::filePath(name).filename()),
                  name.substr(name.find('/') == std::string::npos ? 0 : name.find('/') + 1));
    }
}

} // namespace
