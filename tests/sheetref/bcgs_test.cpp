// SPDX-License-Identifier: MIT
#include "grid.h"
#include "reference_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <random>
#include <string>
#include <vector>

using sheetref::Reference;
using sheetref::Scale;

namespace {

constexpr Scale kBcgsScales[] = {Scale::Bcgs20k, Scale::Bcgs10k, Scale::Bcgs5k, Scale::Bcgs2500};
const double kInf = std::numeric_limits<double>::infinity();

Reference parsed(const std::string& text) {
    return std::get<Reference>(sheetref::parseReference(text));
}

std::string located(double latitude, double longitude, Scale scale) {
    const auto reference = sheetref::locate({.latitude = latitude, .longitude = longitude}, scale);
    return reference ? reference->text() : "";
}

struct Cell {
    const char* name;
    double latitude;
    double longitude;
    const char* finest; // at 1:2 500; the coarser scales drop digits; "" for none
};

void PrintTo(const Cell& c, std::ostream* os) {
    *os << c.name;
}

class BcgsCells : public testing::TestWithParam<Cell> {};

TEST_P(BcgsCells, AtEveryScale) {
    const std::string finest = GetParam().finest;
    for (const Scale scale : kBcgsScales) {
        const std::size_t length = finest.empty() ? 0 : 7 + static_cast<std::size_t>(scale) - 3;
        EXPECT_EQ(located(GetParam().latitude, GetParam().longitude, scale),
                  finest.substr(0, length))
            << scale;
    }
}

// 49.25 and -123.1 both lie on BCGS edges below 1:20 000; 49.1 and -123.2 on 1:20 000
// edges that no binary fraction reaches.
INSTANTIATE_TEST_SUITE_P(
    EdgesGoWestAndNorth, BcgsCells,
    testing::Values(Cell{"Vancouver", 49.25, -123.1, "092G025322"},
                    Cell{"On49_1", 49.1, -123.3, "092G014122"},
                    Cell{"Below49_1", std::nextafter(49.1, 0.0), -123.3, "092G004344"},
                    Cell{"On123_2", 49.15, -123.2, "092G014422"},
                    Cell{"EastOf123_2", 49.15, std::nextafter(-123.2, 0.0), "092G015311"},
                    Cell{"SouthWestCorner", 48.95, std::nextafter(-124.0, 0.0), "092B091311"},
                    Cell{"NorthEastCorner", std::nextafter(60.0, 0.0), -112.0, ""},
                    Cell{"NorthEastOf114", std::nextafter(60.0, 0.0), -136.0, "114P100444"}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    OutsideBcHasNoCell, BcgsCells,
    testing::Values(Cell{"Series084", 58, -118, ""}, Cell{"Series062", 49.25, -100, ""},
                    Cell{"Series112", 49.25, -140, ""}, Cell{"North60", 60, -123, ""},
                    Cell{"Nan", std::nan(""), -123, ""}, Cell{"HighArctic", 82, -70, ""},
                    // BC's series reach into its neighbours, where BC drew no cell.
                    Cell{"Calgary", 51.05, -114.07, ""}, Cell{"Edmonton", 53.5461, -113.4938, ""},
                    Cell{"Lethbridge", 49.6956, -112.8451, ""},
                    Cell{"OlympicPeninsula", 48.0, -123.9, ""},
                    Cell{"BonnersFerry", 48.69, -116.32, ""}),
    [](const auto& row) { return std::string(row.param.name); });

// BC's cities, and its waters between Vancouver Island and the mainland.
INSTANTIATE_TEST_SUITE_P(WhereBcIs, BcgsCells,
                         testing::Values(Cell{"FortStJohn", 56.2465, -120.8476, "094A026243"},
                                         Cell{"PrinceGeorge", 53.9171, -122.7497, "093G097123"},
                                         Cell{"StraitOfGeorgia", 49.3, -123.7, "092G032122"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(BcgsReferences, BoundsAreTheDoublesTheirEdgesAreTypedAs) {
    EXPECT_EQ(sheetref::bounds(parsed("092G025")), (sheetref::Bounds{49.2, 49.3, -123.2, -123}));
    EXPECT_EQ(sheetref::bounds(parsed("092G014111")),
              (sheetref::Bounds{49.1, 49.1125, -123.4, -123.375}));
}

struct Nesting {
    const char* reference;
    Scale coarser;
    const char* expected; // "" for nullopt
};

TEST(BcgsReferences, NestInMapAreasAndEachOtherButNotInSheets) {
    const Nesting rows[] = {{"092G025342", Scale::Bcgs20k, "092G025"},
                            {"092G025342", Scale::Bcgs5k, "092G02534"},
                            {"092G025342", Scale::Bcgs2500, "092G025342"},
                            {"092G025342", Scale::MapArea, "092G"},
                            {"092G025342", Scale::Series, "092"},
                            {"092G025342", Scale::Sheet, ""},
                            {"092G06", Scale::Bcgs20k, ""},
                            {"092G0253", Scale::Bcgs5k, ""},
                            {"092G", Scale::Sheet, ""},
                            {"092G06", Scale::MapArea, "092G"}};
    for (const Nesting& row : rows) {
        const std::optional<Reference> found = parsed(row.reference).at(row.coarser);
        EXPECT_EQ(found ? found->text() : "", row.expected) << row.reference << " " << row.coarser;
        EXPECT_EQ(found.has_value(), sheetref::nests(parsed(row.reference).scale(), row.coarser));
    }
}

TEST(BcgsReferences, ExistOnlyInBcSeriesWithValidDigits) {
    EXPECT_FALSE(Reference::bcgs(21, 'H', 25));
    EXPECT_FALSE(Reference::bcgs(84, 'A', 25));
    EXPECT_FALSE(Reference::bcgs(92, 'Q', 25));
    EXPECT_FALSE(Reference::bcgs(92, 'G', 0));
    EXPECT_FALSE(Reference::bcgs(92, 'G', 101));
    EXPECT_FALSE(Reference::bcgs(82, 'O', 10)); // Calgary, in Alberta
    EXPECT_FALSE(Reference::bcgs(92, 'G', 25)->quarter(0));
    EXPECT_FALSE(Reference::bcgs(92, 'G', 25)->quarter(5));
    EXPECT_FALSE(parsed("092G025342").quarter(1));
    EXPECT_FALSE(parsed("092G06").quarter(1));
    EXPECT_EQ(Reference::bcgs(92, 'G', 25)->quarter(3)->quarter(2)->text(), "092G02532");
}

TEST(BcgsReferences, ScalesAreNamedByRatioAndShortName) {
    for (const Scale scale : sheetref::kScales) {
        EXPECT_EQ(sheetref::scaleNamed(sheetref::scaleName(scale)), scale);
        EXPECT_EQ(sheetref::scaleNamed(sheetref::scaleShortName(scale)), scale);
    }
    EXPECT_EQ(sheetref::scaleNamed("2500"), Scale::Bcgs2500);
    EXPECT_EQ(sheetref::scaleNamed("1:20000"), Scale::Bcgs20k);
    EXPECT_EQ(sheetref::describeUnknownScale("25k"),
              "unknown scale \"25k\"; expected 1m, 250k, 50k, 20k, 10k, 5k, 2500, png-block, "
              "png-unit or png");
}

// A map area's cover holds 100 cells at 1:20 000 and four times more at each finer
// scale, in the order of their texts, each inside the area; the streaming walk gives
// the same cells and stops when asked.
TEST(BcgsCover, OfAMapAreaIsEveryCellInTextOrder) {
    const Reference area = parsed("092G");
    std::size_t expected = 100;
    for (const Scale scale : kBcgsScales) {
        const auto cells = std::get<std::vector<Reference>>(sheetref::cover(bounds(area), scale));
        ASSERT_EQ(cells.size(), expected) << scale;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            ASSERT_EQ(cells[i].at(Scale::MapArea), area);
            ASSERT_TRUE(i == 0 ||
                        (cells[i - 1] < cells[i] && cells[i - 1].text() < cells[i].text()));
        }
        std::vector<Reference> streamed;
        sheetref::coverEach(bounds(area), scale, [&](const Reference& cell) {
            streamed.push_back(cell);
            return streamed.size() < 7;
        });
        EXPECT_EQ(streamed, std::vector<Reference>(cells.begin(), cells.begin() + 7));
        expected *= 4;
    }
}

// 11 758 cells at 1:20 000, of the 14 400 of BC's series, lie in BC: 64 each at 1:2 500.
TEST(BcgsCover, OfTheWholeGridIsEveryBcCell) {
    std::size_t count = 0;
    EXPECT_FALSE(sheetref::coverEach({-90, 90, -180, 180}, Scale::Bcgs2500, [&](const Reference&) {
        ++count;
        return true;
    }));
    EXPECT_EQ(count, 11'758u * 64);
    EXPECT_EQ(std::get<std::size_t>(sheetref::coverCount({-90, 90, -180, 180}, Scale::Bcgs2500)),
              count);
}

// Counting and skipping, which page a cover without making the cells passed over,
// agree with the cover itself: a box across map areas and series, with edges inside
// cells and on them, at every scale and from every offset.
TEST(BcgsCover, CountAndSkipAgreeWithTheCover) {
    const sheetref::Bounds box{.south = 48.9375, .north = 50.1, .west = -128.05, .east = -127.8};
    for (const Scale scale : sheetref::kScales) {
        const auto cells = std::get<std::vector<Reference>>(sheetref::cover(box, scale));
        ASSERT_EQ(std::get<std::size_t>(sheetref::coverCount(box, scale)), cells.size()) << scale;
        for (std::size_t skip = 0; skip <= cells.size(); skip += 1 + skip / 3) {
            std::vector<Reference> page;
            sheetref::coverEach(
                box, scale,
                [&](const Reference& cell) {
                    page.push_back(cell);
                    return page.size() < 5;
                },
                skip);
            const auto from = cells.begin() + static_cast<std::ptrdiff_t>(skip);
            ASSERT_EQ(page, std::vector<Reference>(
                                from, from + std::min<std::ptrdiff_t>(5, cells.end() - from)))
                << scale << " from " << skip;
        }
    }
}

struct NeighbourCase {
    const char* cell;
    std::vector<std::string> neighbours;
};

// Across map areas and series; none beyond BC's series, or where BC drew no cell.
TEST(BcgsNeighbours, CrossAreasAndStopAtTheEdgeOfBcSeries) {
    const NeighbourCase rows[] = {
        {"092G025",
         {"092G014", "092G015", "092G016", "092G024", "092G026", "092G034", "092G035", "092G036"}},
        {"092H100",
         {"082E081", "082E091", "082L001", "092H089", "092H090", "092H099", "092I009", "092I010"}},
        {"082G010", {"082B099", "082B100", "082G009", "082G019", "082G020"}},
        {"092G0011",
         {"092B0913", "092B0914", "092C1004", "092F0102", "092F0104", "092G0012", "092G0013",
          "092G0014"}}};
    for (const NeighbourCase& row : rows) {
        std::vector<std::string> found;
        for (const Reference& n : sheetref::neighbours(parsed(row.cell))) {
            found.push_back(n.text());
        }
        EXPECT_EQ(found, row.neighbours) << row.cell;
    }
}

// Random points of BC: the cell holds the point, its text reads back, it sits in the
// coarser cells locate gives, and neighbourhood is mutual.
TEST(BcgsReferences, RoundTripForRandomPoints) {
    const unsigned seed = 20250611;
    std::cout << "random seed " << seed << "\n";
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> latitudes(48, 60);
    std::uniform_real_distribution<double> longitudes(-144, -112);
    for (int i = 0; i < 4000; ++i) {
        const sheetref::LatLon p{.latitude = latitudes(random), .longitude = longitudes(random)};
        for (const Scale scale : kBcgsScales) {
            const auto cell = sheetref::locate(p, scale);
            if (!cell) {
                continue;
            }
            const sheetref::Bounds b = sheetref::bounds(*cell);
            ASSERT_TRUE(b.south <= p.latitude && p.latitude < b.north && b.west < p.longitude &&
                        p.longitude <= b.east)
                << *cell;
            ASSERT_EQ(parsed(cell->text()), *cell);
            for (const Scale coarser : sheetref::kScales) {
                if (sheetref::nests(scale, coarser)) {
                    ASSERT_EQ(cell->at(coarser), sheetref::locate(p, coarser)) << *cell;
                }
            }
            if (i % 50 == 0) {
                for (const Reference& n : sheetref::neighbours(*cell)) {
                    const auto back = sheetref::neighbours(n);
                    ASSERT_NE(std::find(back.begin(), back.end(), *cell), back.end()) << n;
                }
            }
        }
    }
}

} // namespace
