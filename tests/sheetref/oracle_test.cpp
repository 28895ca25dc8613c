// SPDX-License-Identifier: MIT
#include "grid.h"
#include "nts_oracle.h"
#include "oracle_scale.h"
#include "stepped.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <random>
#include <string>
#include <vector>

using sheetref::Scale;

namespace {

constexpr Scale kScales[] = {Scale::Series, Scale::MapArea, Scale::Sheet};
constexpr Scale kBcgsScales[] = {Scale::Bcgs20k, Scale::Bcgs10k, Scale::Bcgs5k, Scale::Bcgs2500};
const double kInf = std::numeric_limits<double>::infinity();

std::string located(double latitude, double longitude, Scale scale) {
    const auto reference = sheetref::locate({.latitude = latitude, .longitude = longitude}, scale);
    return reference ? reference->text() : "";
}

// Asserts that the library and the oracle agree on the point at every scale.
::testing::AssertionResult agree(double latitude, double longitude) {
    for (const Scale scale : sheetref::kScales) {
        if (sheetref::isPng(scale)) {
            continue; // judged by its own oracle, in png_test
        }
        const std::string expected = oracle::oracleReference(latitude, longitude, toOracle(scale));
        const std::string found = located(latitude, longitude, scale);
        if (found != expected) {
            return ::testing::AssertionFailure()
                   << "latitude " << latitude << ", longitude " << longitude << " at " << scale
                   << ": locate gives '" << found << "', the oracle '" << expected << "'";
        }
    }
    return ::testing::AssertionSuccess();
}

// The lattice lines of every zone and scale, and one beyond the grid on each side.
std::vector<double> lines(double from, double to, double step) {
    std::vector<double> result;
    for (double v = from; v <= to; v += step) {
        result.push_back(v);
    }
    return result;
}

TEST(DoubleOracle, AgreesOnAndBesideEveryLatticeLine) {
    const std::vector<double> parallels = lines(39.5, 88.5, 0.25);
    const std::vector<double> meridians = lines(-144.5, -47.5, 0.5);
    int checked = 0;
    for (const double parallel : parallels) {
        for (const double meridian : meridians) {
            for (const double latitude :
                 {std::nextafter(parallel, -kInf), parallel, std::nextafter(parallel, kInf)}) {
                for (const double longitude :
                     {std::nextafter(meridian, -kInf), meridian, std::nextafter(meridian, kInf)}) {
                    ASSERT_TRUE(agree(latitude, longitude));
                    ++checked;
                }
            }
        }
    }
    EXPECT_EQ(checked, 197 * 195 * 9);
}

// Uniform points over the grid and beyond it, points a few doubles from a lattice
// line, and arbitrary bit patterns (NaN, infinities, subnormals, huge values).
TEST(DoubleOracle, AgreesOnARandomSweep) {
    const unsigned seed = 8675309;
    std::cout << "random seed " << seed << "\n";
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> latitudes(38, 90);
    std::uniform_real_distribution<double> longitudes(-150, -42);
    std::uniform_int_distribution<int> ulps(-3, 3);
    const auto nudge = [&](double value) { return stepped(value, ulps(random)); };
    constexpr int kPoints = 300'000;
    for (int i = 0; i < kPoints; ++i) {
        double latitude = latitudes(random);
        double longitude = longitudes(random);
        switch (i % 4) {
        case 1:
            latitude = nudge(std::round(latitude * 4) / 4);
            longitude = nudge(std::round(longitude * 2) / 2);
            break;
        case 2:
            latitude = std::bit_cast<double>(random());
            break;
        case 3:
            longitude = std::bit_cast<double>(random());
            break;
        default:
            break;
        }
        ASSERT_TRUE(agree(latitude, longitude));
    }
}

TEST(DoubleOracle, AgreesOnNonFiniteAndExtremeValues) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double big = std::numeric_limits<double>::max();
    const double tiny = std::numeric_limits<double>::denorm_min();
    for (const double latitude : {nan, kInf, -kInf, big, -big, tiny, 0.0, 60.0}) {
        for (const double longitude : {nan, kInf, -kInf, big, -big, tiny, 0.0, -100.0}) {
            EXPECT_TRUE(agree(latitude, longitude));
        }
    }
}

// The oracle's bounds, read from text alone, match the library's for every cell of the
// grid, and the oracle names the centre of each as the cell itself.
TEST(OracleBounds, MatchTheGridForEveryCell) {
    for (const Scale scale : kScales) {
        const auto all = sheetref::cover({-90, 90, -180, 180}, scale);
        ASSERT_TRUE(std::holds_alternative<std::vector<sheetref::Reference>>(all));
        for (const sheetref::Reference& reference : std::get<0>(all)) {
            const std::optional<oracle::Extent> extent = oracle::oracleBounds(reference.text());
            ASSERT_TRUE(extent.has_value()) << reference;
            const sheetref::Bounds expected = sheetref::bounds(reference);
            ASSERT_EQ((sheetref::Bounds{extent->south, extent->north, extent->west, extent->east}),
                      expected)
                << reference;
            ASSERT_EQ(oracle::oracleReference((extent->south + extent->north) / 2,
                                              (extent->west + extent->east) / 2, toOracle(scale)),
                      reference.text());
        }
    }
}

// Every BCGS edge of BC's series as typed (49.1, -123.2, ...), on it and one double to
// each side: along every 45" parallel at a few meridians, and along every 1'30"
// meridian at a few parallels.
TEST(DoubleOracle, AgreesOnAndBesideEveryBcgsEdge) {
    int checked = 0;
    const auto around = [&](double latitude, double longitude) {
        for (const double y :
             {std::nextafter(latitude, -kInf), latitude, std::nextafter(latitude, kInf)}) {
            for (const double x :
                 {std::nextafter(longitude, -kInf), longitude, std::nextafter(longitude, kInf)}) {
                ASSERT_TRUE(agree(y, x));
                ++checked;
            }
        }
    };
    for (int tick = 47 * 80; tick <= 61 * 80; ++tick) {
        for (const double longitude : {-144.0, -123.2, -120.1, -112.0, -136.0125}) {
            around(tick / 80.0, longitude);
        }
    }
    for (int tick = -145 * 80; tick <= -111 * 80; tick += 2) {
        for (const double latitude : {48.0, 49.1, 52.3, 55.9, 59.9875}) {
            around(latitude, tick / 80.0);
        }
    }
    EXPECT_EQ(checked, (14 * 80 + 1) * 5 * 9 + (17 * 80 + 1) * 5 * 9);
}

// Points of BC, uniform and a few doubles from a BCGS edge.
TEST(DoubleOracle, AgreesOnABcgsSweep) {
    const unsigned seed = 1858;
    std::cout << "random seed " << seed << "\n";
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> latitudes(47.5, 60.5);
    std::uniform_real_distribution<double> longitudes(-144.5, -111.5);
    std::uniform_int_distribution<int> ulps(-3, 3);
    for (int i = 0; i < 100'000; ++i) {
        double latitude = latitudes(random);
        double longitude = longitudes(random);
        if (i % 2 == 1) {
            latitude = stepped(std::round(latitude * 80) / 80, ulps(random));
            longitude = stepped(std::round(longitude * 40) / 40, ulps(random));
        }
        ASSERT_TRUE(agree(latitude, longitude));
    }
}

// The oracle's BCGS bounds match the library's, and name each cell's centre as the
// cell: every cell of BC at 1:20 000 and 1:10 000, and of one series below.
TEST(OracleBounds, MatchTheBcgsCells) {
    for (const Scale scale : kBcgsScales) {
        const sheetref::Bounds box = scale <= Scale::Bcgs10k ? sheetref::Bounds{-90, 90, -180, 180}
                                                             : sheetref::Bounds{52, 56, -128, -120};
        sheetref::coverEach(box, scale, [&](const sheetref::Reference& reference) {
            const std::optional<oracle::Extent> extent = oracle::oracleBounds(reference.text());
            EXPECT_TRUE(extent.has_value()) << reference;
            if (!extent) {
                return false;
            }
            const sheetref::Bounds b{extent->south, extent->north, extent->west, extent->east};
            EXPECT_EQ(b, sheetref::bounds(reference)) << reference;
            EXPECT_EQ(oracle::oracleReference((b.south + b.north) / 2, (b.west + b.east) / 2,
                                              toOracle(scale)),
                      reference.text());
            return !::testing::Test::HasFailure();
        });
    }
}

TEST(OracleBounds, RejectTextsThatNameNoCell) {
    for (const char* text :
         {"", "09", "0920", "092Q", "092g", "120I", "911", "092G17", "092G00", "092G6", "92G06",
          "781I", "999", "021H025", "092G000", "092G101", "092G0250", "092G0255", "092G02511111"}) {
        EXPECT_FALSE(oracle::oracleBounds(text).has_value()) << "'" << text << "'";
    }
}

} // namespace
