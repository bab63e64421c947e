// The run's table over a day's run (offscreen): opening it and scrolling a
// page must stay far below what a person notices, and a new batch of
// records must cost the same late in the run as early.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>

#include "bench/UiBenchMain.h"
#include "run/RunData.h"
#include "run/Selection.h"
#include "ui/RunTableView.h"

namespace {

using vantrel::tRunData;
using vantrel::TRunTableView;
using vantrel::tSelection;

constexpr double kPeriod = 0.2;  // seconds between records, the fastest the station sends
constexpr std::size_t kDayRecords = 432'000;

void addRecord(tRunData& run, std::size_t k) {
    const double t = static_cast<double>(k) * kPeriod;
    const auto f = static_cast<float>(t);
    run.Add(t, {20.0f + 10.0f * std::sin(f * 0.001f), 7.0f + 3.0f * std::sin(f * 0.01f),
                100.0f + 20.0f * std::cos(f * 0.003f), 0.25f + 0.1f * std::sin(f * 0.02f),
                0.01f * std::fmod(f, 1000.0f), 0.0f, 0.0f});
}

// A run with a few marks.
struct tMarkedRun {
    tRunData run;
    tSelection selection;
};

// Filling a day's run takes a while: one run per length, kept.
const tMarkedRun& runOf(std::size_t records) {
    static std::map<std::size_t, std::unique_ptr<tMarkedRun>> runs;
    auto& marked = runs[records];
    if (marked == nullptr) {
        marked = std::make_unique<tMarkedRun>();
        marked->run.Start({});
        for (std::size_t k = 0; k < records; ++k) {
            addRecord(marked->run, k);
            if (k % 50'000 == 0) {
                marked->selection.ToggleMark(k, marked->run);
            }
        }
    }
    return *marked;
}

// Counts the paints of the table's cells, so that a figure is known to
// include one.
class tPaintCounter : public QObject {
public:
    explicit tPaintCounter(TRunTableView& view) { view.viewport()->installEventFilter(this); }
    int paints = 0;
    double PerIteration(const benchmark::State& state) const {
        return static_cast<double>(paints) / static_cast<double>(state.iterations());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
};

// At a usual size for the table's page in the window; the event loop's pass
// exposes the window and paints it.
void showAndPaint(TRunTableView& view) {
    view.resize(900, 640);
    view.show();
    QApplication::processEvents();
}

// From nothing to the first paint of the table; arg: records in the run.
void BM_OpenTable(benchmark::State& state) {
    const tMarkedRun& marked = runOf(static_cast<std::size_t>(state.range(0)));
    int paints = 0;
    for (auto _ : state) {
        auto view = std::make_unique<TRunTableView>(marked.run, marked.selection);
        tPaintCounter counter(*view);
        showAndPaint(*view);
        state.PauseTiming();
        paints += counter.paints;
        view.reset();
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(marked.run.Count());
    state.counters["paints"] =
        static_cast<double>(paints) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_OpenTable)
    ->Arg(1'000)
    ->Arg(static_cast<long>(kDayRecords))
    ->Unit(benchmark::kMillisecond);

// PageDown and the paint it causes, anywhere in the run.
void BM_ScrollPage(benchmark::State& state) {
    const tMarkedRun& marked = runOf(static_cast<std::size_t>(state.range(0)));
    TRunTableView view(marked.run, marked.selection);
    tPaintCounter counter(view);
    showAndPaint(view);
    counter.paints = 0;
    view.setFocus();
    view.setCurrentIndex(view.model()->index(0, 0));
    for (auto _ : state) {
        QKeyEvent page(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(&view, &page);
        view.viewport()->repaint();
        if (view.currentIndex().row() + 1 >= view.model()->rowCount()) {
            state.PauseTiming();
            view.setCurrentIndex(view.model()->index(0, 0));
            state.ResumeTiming();
        }
    }
    state.counters["paints_per_page"] = counter.PerIteration(state);
}
BENCHMARK(BM_ScrollPage)
    ->Arg(1'000)
    ->Arg(static_cast<long>(kDayRecords))
    ->Unit(benchmark::kMillisecond);

// Two records (a batch at 200 ms) at the end of a day's run, the rows they
// add and the paint of the table that follows them.
void BM_AppendBatch(benchmark::State& state) {
    tMarkedRun marked = runOf(static_cast<std::size_t>(state.range(0)));
    tRunData& run = marked.run;
    TRunTableView view(run, marked.selection);
    tPaintCounter counter(view);
    showAndPaint(view);
    view.scrollToBottom();
    QApplication::processEvents();
    counter.paints = 0;
    std::size_t next = run.Count();
    for (auto _ : state) {
        addRecord(run, next++);
        addRecord(run, next++);
        view.RecordsAppended();
        QApplication::processEvents();
        view.viewport()->repaint();
    }
    state.counters["rows"] = static_cast<double>(view.model()->rowCount());
    state.counters["paints_per_batch"] = counter.PerIteration(state);
}
BENCHMARK(BM_AppendBatch)
    ->Arg(1'000)
    ->Arg(static_cast<long>(kDayRecords))
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return vantrel::bench::runUiBenchmarks(argc, argv);
}
