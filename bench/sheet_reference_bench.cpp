// SPDX-License-Identifier: MIT
// Cost of one sheetfindGrid call and of one locate call, on points spread over their
// band so that branch prediction cannot learn a single answer. sheetfindGrid and
// locate at 1:50 000 are measured on the same points, so that their ratio is the cost
// of the window's band check and of the reference's text.

#include "grid.h"
#include "sheet_reference.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <random>
#include <vector>

namespace {

using sheetref::LatLon;

// A power of two, so that cycling through the points costs a mask, not a division
// that would weigh as much as the call being measured.
constexpr std::size_t kPoints = 4096;
static_assert((kPoints & (kPoints - 1)) == 0);

std::vector<LatLon> points(double south, double north) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> longitude(-144.0, -48.0);
    std::uniform_real_distribution<double> latitude(south, north);
    std::vector<LatLon> result(kPoints);
    for (LatLon& point : result) {
        point.longitude = longitude(random);
        point.latitude = latitude(random);
    }
    return result;
}

// The window's band, and the whole grid with the high Arctic.
constexpr double kSouth = 40.0;
constexpr double kBandNorth = 80.0;
constexpr double kGridNorth = 88.0;

template <typename Call>
void run(benchmark::State& state, const std::vector<LatLon>& where, Call call) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call(where[i]));
        i = (i + 1) % kPoints;
    }
    state.SetItemsProcessed(state.iterations());
}

void sheetfindGridOn(benchmark::State& state, const std::vector<LatLon>& where) {
    run(state, where, [](LatLon p) { return sheetref::sheetfindGrid(p.longitude, p.latitude); });
}

void locateOn(benchmark::State& state, const std::vector<LatLon>& where, sheetref::Scale scale) {
    run(state, where, [scale](LatLon p) { return sheetref::locate(p, scale); });
}

void BM_SheetfindGridWholeBand(benchmark::State& state) {
    sheetfindGridOn(state, points(kSouth, kBandNorth));
}
void BM_LocateWholeBand(benchmark::State& state) {
    locateOn(state, points(kSouth, kBandNorth), sheetref::Scale::Sheet);
}
void BM_SheetfindGridOutsideTheBand(benchmark::State& state) {
    sheetfindGridOn(state, points(0.0, 39.0));
}
void BM_SheetfindGridOnePoint(benchmark::State& state) {
    sheetfindGridOn(state, std::vector<LatLon>(kPoints, {.latitude = 49.25, .longitude = -123.1}));
}

// locate over the whole grid, the high Arctic included, at each scale.
void BM_Locate(benchmark::State& state, sheetref::Scale scale) {
    locateOn(state, points(kSouth, kGridNorth), scale);
}

BENCHMARK(BM_SheetfindGridWholeBand);
BENCHMARK(BM_LocateWholeBand);
BENCHMARK_CAPTURE(BM_Locate, series, sheetref::Scale::Series);
BENCHMARK_CAPTURE(BM_Locate, map_area, sheetref::Scale::MapArea);
BENCHMARK_CAPTURE(BM_Locate, sheet, sheetref::Scale::Sheet);
BENCHMARK(BM_SheetfindGridOutsideTheBand);
BENCHMARK(BM_SheetfindGridOnePoint);

} // namespace
