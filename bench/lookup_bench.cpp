// SPDX-License-Identifier: MIT
// Cost of the steps a batch line goes through: reading a number, the window's whole
// lookup, and sheetfind-cli answering a block of lines, bare and through locate.

#include "cli.h"
#include "lookup_command.h"
#include "number_reader.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>

namespace {

void BM_ReadNumber(benchmark::State& state) {
    const sheetfind::NumberReader reader = sheetfind::NumberReader::named("C");
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader.read(std::string_view("-123.1234567")));
    }
}

void BM_LookupCommand(benchmark::State& state) {
    const sheetfind::LookupCommand command;
    const std::string latitude = "49.2512345";
    const std::string longitude = "-123.1234567";
    for (auto _ : state) {
        benchmark::DoNotOptimize(command.run(latitude, longitude));
    }
}

// Lines as the batch file of bench/report has them, spread over the band.
std::string batchLines(std::size_t count) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> latitude(40.0, 80.0);
    std::uniform_real_distribution<double> longitude(-144.0, -48.0);
    std::string text;
    std::array<char, 64> line{};
    for (std::size_t i = 0; i < count; ++i) {
        const int length = std::snprintf(line.data(), line.size(), "%.6f %.6f\n", latitude(random),
                                         longitude(random));
        text.append(line.data(), static_cast<std::size_t>(length));
    }
    return text;
}

// Per line, the whole tool on a block of lines: reading, splitting, the grid and
// the buffered output.
void answerBlock(benchmark::State& state, std::span<const std::string_view> args) {
    constexpr std::size_t kLines = 4096;
    const std::string input = batchLines(kLines);
    for (auto _ : state) {
        sheetfind::StringSource in(input);
        sheetfind::StringSink out;
        sheetfind::StringSink err;
        benchmark::DoNotOptimize(sheetfind::cli::run(args, in, out, err));
        benchmark::DoNotOptimize(out.text().data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kLines));
}

void BM_AnswerLinesBare(benchmark::State& state) {
    answerBlock(state, {});
}

void BM_AnswerLinesLocate(benchmark::State& state) {
    constexpr std::array<std::string_view, 1> kLocate{"locate"};
    answerBlock(state, kLocate);
}

BENCHMARK(BM_ReadNumber);
BENCHMARK(BM_LookupCommand);
BENCHMARK(BM_AnswerLinesBare);
BENCHMARK(BM_AnswerLinesLocate);

} // namespace
