// SPDX-License-Identifier: MIT
#include "grid.h"
#include "nts_oracle.h"
#include "reference_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <vector>

using sheetref::Reference;
using sheetref::Scale;

namespace {

constexpr std::pair<Scale, oracle::PngLevel> kLevels[] = {
    {Scale::PngBlock, oracle::PngLevel::Block},
    {Scale::PngUnit, oracle::PngLevel::Unit},
    {Scale::PngQuarterUnit, oracle::PngLevel::QuarterUnit}};

std::string located(double latitude, double longitude, Scale scale) {
    const auto cell = sheetref::locate({.latitude = latitude, .longitude = longitude}, scale);
    return cell ? cell->text() : "";
}

Reference parsed(std::string_view text) {
    return std::get<Reference>(sheetref::parseReference(text));
}

// Random NAD27 points over BC's series, and points on block, unit and quarter-unit
// lines and a hair either side of them, against the oracle's integer reckoning.
TEST(PngLocate, AgreesWithTheOracleOnAndBesideLines) {
    const unsigned seed = 20261210;
    std::cout << "seed " << seed << '\n';
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> latitude(47.9, 60.1);
    std::uniform_real_distribution<double> longitude(-144.1, -111.9);
    std::uniform_int_distribution<int> rowTick(48 * 240, 60 * 240);
    std::uniform_int_distribution<int> columnTick(-144 * 160, -112 * 160);
    for (int i = 0; i < 4000; ++i) {
        const double onRow = rowTick(random) / 240.0;
        const double onColumn = columnTick(random) / 160.0;
        const double points[][2] = {
            {latitude(random), longitude(random)},  {onRow, longitude(random)},
            {std::nextafter(onRow, 0.0), onColumn}, {latitude(random), onColumn},
            {onRow, std::nextafter(onColumn, 0.0)}, {onRow, onColumn}};
        for (const auto& [lat, lon] : points) {
            for (const auto& [scale, level] : kLevels) {
                ASSERT_EQ(located(lat, lon, scale), oracle::pngReference(lat, lon, level))
                    << lat << ", " << lon << " at " << scale;
            }
        }
    }
}

// A cell reads back from its text, holds its centre and nests in the coarser cells.
TEST(PngReferences, RoundTripAndNest) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> latitude(55, 58);
    std::uniform_real_distribution<double> longitude(-124, -120);
    for (int i = 0; i < 500; ++i) {
        const sheetref::LatLon point{.latitude = latitude(random), .longitude = longitude(random)};
        const auto quarter = sheetref::locate(point, Scale::PngQuarterUnit);
        ASSERT_TRUE(quarter);
        EXPECT_EQ(parsed(quarter->text()), *quarter);
        const sheetref::Bounds b = bounds(*quarter);
        EXPECT_EQ(sheetref::locate({(b.south + b.north) / 2, (b.west + b.east) / 2},
                                   Scale::PngQuarterUnit),
                  quarter);
        EXPECT_EQ(quarter->at(Scale::PngUnit), sheetref::locate(point, Scale::PngUnit));
        EXPECT_EQ(quarter->at(Scale::PngBlock), sheetref::locate(point, Scale::PngBlock));
        EXPECT_EQ(quarter->at(Scale::Sheet), sheetref::locate(point, Scale::Sheet));
        EXPECT_FALSE(quarter->at(Scale::Bcgs20k));
    }
}

struct Written {
    const char* text;
    const char* canonical; // "" for an error
    const char* message;   // part of the error's message
};

TEST(PngReferences, ReadAsRecordsWriteThem) {
    const Written rows[] = {
        {"d-096-H/094-A-15", "d-096-H/094-A-15", ""},
        {"D-96-H/94-A-15", "d-096-H/094-A-15", ""},
        {"d096H094A15", "d-096-H/094-A-15", ""},
        {" d-096-h/094-a-15 ", "d-096-H/094-A-15", ""},
        {"096-H/094-A-15", "096-H/094-A-15", ""},
        {"H/094-A-15", "H/094-A-15", ""},
        {"200/d-096-H 094-A-15/00", "d-096-H/094-A-15", ""},
        {"200D096H094A1500", "d-096-H/094-A-15", ""},
        {"e-096-H/094-A-15", "", "quarter unit \"e\" at character 1 is not in a to d"},
        {"d-101-H/094-A-15", "", "unit \"101\" at character 3 is not in 1 to 100"},
        {"d-000-H/094-A-15", "", "unit \"000\" at character 3 is not in 1 to 100"},
        {"d-096-M/094-A-15", "", "block \"M\" at character 7 is not in A to L"},
        {"d-096-H/094-A-17", "", "sheet number \"17\" at character 15 is not in 1 to 16"},
        {"d-096-H/094-Q-15", "", "map-area letter \"Q\" at character 13"},
        {"d-096-H/031-H-12", "", "of sheet 031H12 lies outside British Columbia"},
        {"d-096-H/082-O-01", "", "of sheet 082O01 lies outside British Columbia"},
        // A location that lacks a part, or has one too many, names the part expected.
        {"-096-H/094-A-15", "",
         "expected a quarter unit a to d or a unit number 1 to 100 first "
         "at character 1, found \"-\""},
        {"d-096-H/094-A", "", "expected a sheet number 1 to 16 at character 14, found the end"},
        {"d-096-H/094-A-15-2", "", "expected the end after the sheet number at character 18"},
        {"dd-096-H/094-A-15", "", "expected a unit number 1 to 100 at character 2, found \"d\""},
        {"d-096/094-A-15", "", "expected a block A to L at character 7, found \"094\""},
        // NTS and BCGS references are read as before.
        {"092G06", "092G06", ""},
        {"92G025", "092G025", ""},
    };
    for (const Written& row : rows) {
        const auto result = sheetref::parseReference(row.text);
        if (*row.canonical != '\0') {
            ASSERT_TRUE(std::holds_alternative<Reference>(result)) << row.text;
            EXPECT_EQ(std::get<Reference>(result).text(), row.canonical) << row.text;
        } else {
            ASSERT_TRUE(std::holds_alternative<sheetref::ParseFailure>(result)) << row.text;
            EXPECT_NE(describe(std::get<sheetref::ParseFailure>(result)).find(row.message),
                      std::string::npos)
                << describe(std::get<sheetref::ParseFailure>(result));
        }
    }
}

// The neighbours of a cell are the cells the oracle finds just beyond each edge and
// corner, across unit, block and sheet lines, and none where BC drew no block.
TEST(PngNeighbours, AreTheCellsAroundIt) {
    const char* cells[] = {"d-096-H/094-A-15", "a-001-A/094-A-15", "b-010-D/094-A-15",
                           "c-091-L/094-A-15", "001-A/094-A-15",   "100-L/094-A-15",
                           "A/094-A-15",       "L/094-A-15",       "H/094-A-15"};
    for (const char* text : cells) {
        const Reference cell = parsed(text);
        const sheetref::Bounds b = bounds(cell);
        const double height = b.north - b.south;
        const double width = b.east - b.west;
        const auto level =
            kLevels[static_cast<int>(cell.scale()) - static_cast<int>(Scale::PngBlock)].second;
        std::set<std::string> expected;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const std::string around =
                    oracle::pngReference((b.south + b.north) / 2 + dy * height,
                                         (b.west + b.east) / 2 + dx * width, level);
                if ((dx != 0 || dy != 0) && !around.empty()) {
                    expected.insert(around);
                }
            }
        }
        std::set<std::string> found;
        for (const Reference& n : sheetref::neighbours(cell)) {
            found.insert(n.text());
        }
        EXPECT_EQ(found, expected) << text;
    }
}

// A sheet holds 12 blocks, a block 100 units, a unit 4 quarter units, in reference
// order; counting and paging agree with the cover.
TEST(PngCover, OfACellIsItsPartsInOrder) {
    const Reference sheet = *Reference::sheet(94, 'A', 15);
    const auto blocks =
        std::get<std::vector<Reference>>(sheetref::cover(bounds(sheet), Scale::PngBlock));
    ASSERT_EQ(blocks.size(), 12u);
    EXPECT_EQ(blocks.front().text(), "A/094-A-15");
    EXPECT_EQ(blocks.back().text(), "L/094-A-15");
    const auto units =
        std::get<std::vector<Reference>>(sheetref::cover(bounds(blocks[7]), Scale::PngUnit));
    ASSERT_EQ(units.size(), 100u);
    EXPECT_EQ(units[95].text(), "096-H/094-A-15");
    const auto quarters =
        std::get<std::vector<Reference>>(sheetref::cover(bounds(units[95]), Scale::PngQuarterUnit));
    ASSERT_EQ(quarters.size(), 4u);
    EXPECT_EQ(quarters[3].text(), "d-096-H/094-A-15");

    const sheetref::Bounds box{.south = 56.1, .north = 56.4, .west = -121.3, .east = -120.7};
    for (const auto& [scale, level] : kLevels) {
        const auto all = std::get<std::vector<Reference>>(sheetref::cover(box, scale));
        ASSERT_TRUE(std::is_sorted(all.begin(), all.end()));
        EXPECT_EQ(std::get<std::size_t>(sheetref::coverCount(box, scale)), all.size());
        const auto page = std::get<sheetref::CoverPage>(sheetref::coverPage(box, scale, 5, 7));
        EXPECT_EQ(page.cells, std::vector<Reference>(all.begin() + 5, all.begin() + 12));
    }
}

// BC's grid only where BC is: no block in Alberta, one in BC's north-east.
TEST(PngLocate, OnlyWhereBcIs) {
    EXPECT_EQ(located(51.05, -114.07, Scale::PngBlock), "");     // Calgary
    EXPECT_EQ(located(53.5461, -113.4938, Scale::PngBlock), ""); // Edmonton
    EXPECT_EQ(located(45.5, -73.6, Scale::PngBlock), "");        // Montreal
    EXPECT_NE(located(56.2465, -120.8476, Scale::PngBlock), ""); // Fort St. John
}

} // namespace
