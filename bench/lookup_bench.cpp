// Cost of the steps a batch line goes through: reading a number, the whole lookup,
// and answering a line of text.

#include "batch.h"
#include "lookup_command.h"
#include "number_reader.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_ReadNumber(benchmark::State& state) {
    const sheetfind::NumberReader reader(QLocale::c());
    const QString text = QStringLiteral("-123.1234567");
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader.read(text));
    }
}

void BM_LookupCommand(benchmark::State& state) {
    const sheetfind::LookupCommand command(QLocale::c());
    const QString latitude = QStringLiteral("49.2512345");
    const QString longitude = QStringLiteral("-123.1234567");
    for (auto _ : state) {
        benchmark::DoNotOptimize(command.run(latitude, longitude));
    }
}

void BM_AnswerLine(benchmark::State& state) {
    const sheetfind::LineAnswerer answerer(QLocale::c());
    std::string out;
    for (auto _ : state) {
        out.clear();
        answerer.answer("49.2512345 -123.1234567", out);
        benchmark::DoNotOptimize(out.data());
    }
}

BENCHMARK(BM_ReadNumber);
BENCHMARK(BM_LookupCommand);
BENCHMARK(BM_AnswerLine);

} // namespace
