// Costs of a long run on the chart model: adding a record must not grow with
// the length of the run, the points of both charts must stay compact, and a
// new abscissa must rebuild a day's run quickly.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "charts/ChartModel.h"
#include "charts/Export.h"

namespace {

using vantrel::tChartModel;
using vantrel::tReadingValues;

constexpr double kPeriod = 0.2;  // seconds between records, the fastest the station sends

tReadingValues reading(std::size_t k) {
    const auto t = static_cast<float>(static_cast<double>(k) * kPeriod);
    return {20.0f + 0.001f * t, 7.0f + std::sin(t * 0.01f), 100.0f, 0.25f, 0.01f * t, 0.0f, 0.0f};
}

void addRecords(tChartModel& model, std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to; ++k) {
        const auto t = static_cast<float>(static_cast<double>(k) * kPeriod);
        benchmark::DoNotOptimize(model.AddReadingSet(t, reading(k)));
        if (k % 2 == 1) {  // two records per packet, as at 200 ms with a 100 ms tick
            model.EndBatch(t);
        }
    }
}

std::size_t heapInUse() {
#if defined(__GLIBC__)
    return mallinfo2().uordblks;
#else
    return 0;
#endif
}

// A whole run from the first record: the mean cost per record includes every
// growth of the storage.
void BM_WholeRun(benchmark::State& state) {
    const auto records = static_cast<std::size_t>(state.range(0));
    double bytesPerRecord = 0.0;
    double heapPerRecord = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::size_t heapBefore = heapInUse();
        auto model = std::make_unique<tChartModel>();
        model->SetRelative(vantrel::qV1, true);
        model->EnterLiveMode();
        state.ResumeTiming();

        addRecords(*model, 0, records);

        state.PauseTiming();
        bytesPerRecord = static_cast<double>(model->StorageBytes()) / static_cast<double>(records);
        heapPerRecord =
            static_cast<double>(heapInUse() - heapBefore) / static_cast<double>(records);
        model.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(records));
    state.counters["ns_per_record"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(records),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["bytes_per_record"] = bytesPerRecord;
    state.counters["heap_bytes_per_record"] = heapPerRecord;
}
BENCHMARK(BM_WholeRun)->Arg(1000)->Arg(432000)->Unit(benchmark::kMillisecond);

// 1,000 more records on a run that already holds `range(0)` records: the
// marginal cost at the start and at the end of a day.
void BM_RecordsAtRunLength(benchmark::State& state) {
    const auto length = static_cast<std::size_t>(state.range(0));
    constexpr std::size_t kBatch = 1000;
    for (auto _ : state) {
        state.PauseTiming();
        auto model = std::make_unique<tChartModel>();
        model->EnterLiveMode();
        addRecords(*model, 0, length);
        state.ResumeTiming();

        addRecords(*model, length, length + kBatch);

        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kBatch));
    state.counters["ns_per_record"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBatch,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RecordsAtRunLength)->Arg(1000)->Arg(432000)->Iterations(30);

// A new abscissa rebuilds the six dependence curves from a whole day's run.
void BM_AbscissaRebuild(benchmark::State& state) {
    const auto records = static_cast<std::size_t>(state.range(0));
    tChartModel model;
    model.EnterLiveMode();
    addRecords(model, 0, records);
    model.EnterAnalysisMode();
    int abscissa = 0;
    for (auto _ : state) {
        abscissa = abscissa == vantrel::qLP ? vantrel::qLT : vantrel::qLP;
        model.SetAbscissa(abscissa);
        benchmark::DoNotOptimize(model.DependSeries(vantrel::qLC).Count());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(records));
}
BENCHMARK(BM_AbscissaRebuild)->Arg(432000)->Unit(benchmark::kMillisecond);

// The text of a whole day's export (range mode, all seven curves).
void BM_ExportText(benchmark::State& state) {
    const auto records = static_cast<std::size_t>(state.range(0));
    tChartModel model;
    model.EnterLiveMode();
    addRecords(model, 0, records);
    model.EnterAnalysisMode();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            vantrel::EncodeExportText(vantrel::ExportText(model.Data(), model.Selection())));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(records));
}
BENCHMARK(BM_ExportText)->Arg(432000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
