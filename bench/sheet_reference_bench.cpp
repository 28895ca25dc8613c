// Cost of one sheetfindGrid call, on points spread over the whole band so that
// branch prediction cannot learn a single answer.

#include "grid.h"
#include "sheet_reference.h"

#include <benchmark/benchmark.h>

#include <random>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<double, double>> points(double south, double north) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> longitude(-144.0, -48.0);
    std::uniform_real_distribution<double> latitude(south, north);
    std::vector<std::pair<double, double>> result(4096);
    for (auto& point : result) {
        point = {longitude(random), latitude(random)};
    }
    return result;
}

void run(benchmark::State& state, const std::vector<std::pair<double, double>>& where) {
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& [longitude, latitude] = where[i++ % where.size()];
        benchmark::DoNotOptimize(sheetref::sheetfindGrid(longitude, latitude));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_SheetfindGridWholeBand(benchmark::State& state) {
    run(state, points(40.0, 80.0));
}
void BM_SheetfindGridOutsideTheBand(benchmark::State& state) {
    run(state, points(0.0, 39.0));
}
void BM_SheetfindGridOnePoint(benchmark::State& state) {
    run(state, {{-123.1, 49.25}});
}

// locate over the whole grid, the high Arctic included, at each scale.
void BM_Locate(benchmark::State& state, sheetref::Scale scale) {
    const auto where = points(40.0, 88.0);
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& [longitude, latitude] = where[i++ % where.size()];
        benchmark::DoNotOptimize(
            sheetref::locate({.latitude = latitude, .longitude = longitude}, scale));
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_SheetfindGridWholeBand);
BENCHMARK_CAPTURE(BM_Locate, series, sheetref::Scale::Series);
BENCHMARK_CAPTURE(BM_Locate, map_area, sheetref::Scale::MapArea);
BENCHMARK_CAPTURE(BM_Locate, sheet, sheetref::Scale::Sheet);
BENCHMARK(BM_SheetfindGridOutsideTheBand);
BENCHMARK(BM_SheetfindGridOnePoint);

} // namespace
