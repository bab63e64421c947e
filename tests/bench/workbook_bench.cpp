// The workbook of a day's run (432,000 records at 200 ms): how long it
// takes on its thread and how long the window's own thread spends on it,
// against the text export of the same run. Its memory stays flat because
// rows go to disk as they are written; measured from outside with
// /usr/bin/time on `vantrel-cli --recover JOURNAL --xlsx FILE`.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "charts/ChartModel.h"
#include "charts/Export.h"
#include "session/NoWindow.h"
#include "session/RunSummary.h"
#include "session/Workbook.h"
#include "support/NullView.h"

namespace {

using namespace vantrel;

tChartModel& dayRun() {
    static tChartModel charts;
    static bool filled = false;
    if (!filled) {
        charts.Rebuild([&] {
            charts.EnterLiveMode();
            for (std::size_t k = 0; k < 432'000; ++k) {
                const auto t = static_cast<float>(k) * 0.2f;
                charts.AddReadingSet(
                    t, {20.0f + 10.0f * std::sin(t * 0.001f), 7.0f + 3.0f * std::sin(t * 0.01f),
                        4.0f, 0.7f, 0.0001f * static_cast<float>(k), 0.0f, 0.0f});
            }
            charts.EndBatch(432'000 * 0.2f);
            charts.EnterAnalysisMode();
        });
        filled = true;
    }
    return charts;
}

std::string scratch(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

void BM_WorkbookOfADay(benchmark::State& state) {
    tChartModel& charts = dayRun();
    test::tNullView view;
    tNoWindow dialogs;
    tAnalysis analysis(charts.Data(), charts.Selection(), charts, view, dialogs);
    const std::string file = scratch("vantrel-bench.xlsx");
    // Where the time goes: the rows, then packing the file (the progress
    // bar's shares follow these).
    using tClock = std::chrono::steady_clock;
    double rows = 0;
    double packed = 0;
    for (auto _ : state) {
        const auto started = tClock::now();
        writeWorkbook(file, charts.Data(), runSummary(charts.Data(), charts.Selection(), analysis),
                      [&](double done) {
                          const double elapsed =
                              std::chrono::duration<double>(tClock::now() - started).count();
                          (done < 0.9 ? rows : packed) = elapsed;
                          return true;
                      });
    }
    state.counters["rows_s"] = rows;
    state.counters["packed_s"] = packed;
    std::filesystem::remove(file);
}
BENCHMARK(BM_WorkbookOfADay)->Unit(benchmark::kMillisecond)->Iterations(3);

// What the window's own thread does for it: the summary and the copy of the
// run the writer takes to its thread.
void BM_WorkbookWindowsShare(benchmark::State& state) {
    tChartModel& charts = dayRun();
    test::tNullView view;
    tNoWindow dialogs;
    tAnalysis analysis(charts.Data(), charts.Selection(), charts, view, dialogs);
    for (auto _ : state) {
        const tRunSummary summary = runSummary(charts.Data(), charts.Selection(), analysis);
        const tRunData copy = charts.Data();
        benchmark::DoNotOptimize(summary);
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_WorkbookWindowsShare)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TextExportOfADay(benchmark::State& state) {
    tChartModel& charts = dayRun();
    const std::string file = scratch("vantrel-bench.csv");
    for (auto _ : state) {
        ExportReadings(charts.Data(), charts.Selection(), file);
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_TextExportOfADay)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
