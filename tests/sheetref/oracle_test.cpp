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
const double kInf = std::numeric_limits<double>::infinity();

std::string located(double latitude, double longitude, Scale scale) {
    const auto reference = sheetref::locate({.latitude = latitude, .longitude = longitude}, scale);
    return reference ? reference->text() : "";
}

// Asserts that the library and the oracle agree on the point at every scale.
::testing::AssertionResult agree(double latitude, double longitude) {
    for (const Scale scale : kScales) {
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

TEST(OracleBounds, RejectTextsThatNameNoCell) {
    for (const char* text : {"", "09", "0920", "092Q", "092g", "120I", "911", "092G17", "092G00",
                             "092G6", "92G06", "781I", "999"}) {
        EXPECT_FALSE(oracle::oracleBounds(text).has_value()) << "'" << text << "'";
    }
}

} // namespace
