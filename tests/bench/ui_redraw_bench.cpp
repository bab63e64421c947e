// Redraw costs of the desktop window over a long run (offscreen): replotting
// the time chart must not grow with the length of the run, and one
// acquisition tick late in a day's run must stay far below the 100 ms tick.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QApplication>
#include <QTabWidget>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "bench/UiBenchMain.h"
#include "charts/ChartModel.h"
#include "session/MainFM.h"
#include "ui/ChartPlot.h"
#include "ui/DependCurve.h"
#include "ui/MainWindow.h"

namespace {

using vantrel::tChartModel;
using vantrel::TfmMainWindow;
using vantrel::tReadingValues;

constexpr double kPeriod = 0.2;  // seconds between records, the fastest the station sends
constexpr std::size_t kDayRecords = 432'000;

tReadingValues reading(std::size_t k) {
    const auto t = static_cast<float>(static_cast<double>(k) * kPeriod);
    return {20.0f + 10.0f * std::sin(t * 0.001f),
            7.0f + 3.0f * std::sin(t * 0.01f),
            100.0f + 20.0f * std::cos(t * 0.003f),
            0.25f + 0.1f * std::sin(t * 0.02f),
            0.01f * std::fmod(t, 1000.0f),
            0.0f,
            0.0f};
}

// The real window on a configuration of its own, with `records` readings
// of a run in its charts, shown at a usual size.
class tLoadedWindow {
public:
    tLoadedWindow(std::size_t records, bool showAll) {
        dir_ = std::filesystem::temp_directory_path() /
               ("vantrel_ui_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        const auto config = (dir_ / "vantrel.cfg").string();
        std::ofstream(config) << "VolCoeff=0.0934\nCheckOffTimer=0\n";
        window_ = std::make_unique<TfmMainWindow>(config);
        window_->resize(1280, 800);
        window_->show();
        tChartModel& model = Model();
        model.EnterLiveMode();
        if (showAll) {
            model.SetShowAll(true);
        }
        for (std::size_t k = 0; k < records; ++k) {
            t_ = static_cast<float>(static_cast<double>(k) * kPeriod);
            model.AddReadingSet(t_, reading(k));
            if (k % 2 == 1) {  // two records per packet, as at 200 ms with a 100 ms tick
                model.EndBatch(t_);
            }
        }
        next_ = records;
        QApplication::processEvents();
    }

    ~tLoadedWindow() {
        window_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    tChartModel& Model() const { return window_->Controller().Charts(); }
    vantrel::TChartPlot& Chart() const {
        return *window_->findChild<vantrel::TChartPlot*>("chAll");
    }
    vantrel::TChartPlot& Depend() const {
        return *window_->findChild<vantrel::TChartPlot*>("chDepend");
    }
    QTabWidget& Pages() const { return *window_->findChild<QTabWidget*>("pcChart"); }
    void ShowDependence(int abscissa) {
        Pages().setCurrentIndex(1);
        window_->Controller().rbAbscissClick(abscissa);
        QApplication::processEvents();
    }
    void ShowTime() {
        Pages().setCurrentIndex(0);
        QApplication::processEvents();
    }

    // One acquisition tick: one record (a point on every curve), the end of
    // the batch, and the event loop's pass that redraws.
    void Tick() {
        Append();
        QApplication::processEvents();
    }
    // The record and the end of its batch, which hands the point to the charts.
    void Append() {
        t_ = static_cast<float>(static_cast<double>(next_) * kPeriod);
        Model().AddReadingSet(t_, reading(next_));
        Model().EndBatch(t_);
        ++next_;
    }

private:
    std::filesystem::path dir_;
    std::unique_ptr<TfmMainWindow> window_;
    float t_ = 0.0f;
    std::size_t next_ = 0;
};

// Loading a day's run takes seconds: keep one loaded window per setting.
tLoadedWindow& loaded(std::size_t records, bool showAll) {
    static std::map<std::pair<std::size_t, bool>, std::unique_ptr<tLoadedWindow>> cache;
    auto& slot = cache[{records, showAll}];
    if (slot == nullptr) {
        cache.clear();  // one day's run in memory at a time
        auto& fresh = cache[{records, showAll}];
        fresh = std::make_unique<tLoadedWindow>(records, showAll);
        return *fresh;
    }
    return *slot;
}

// Full replot of the time chart; arg 0: records, arg 1: 1 = show all (the
// whole run across the chart), 0 = the moving 30-second window.
void BM_ReplotTimeChart(benchmark::State& state) {
    tLoadedWindow& window = loaded(static_cast<std::size_t>(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        window.Chart().replot(QCustomPlot::rpImmediateRefresh);
    }
    state.counters["points"] = static_cast<double>(window.Model().PointCount());
}
BENCHMARK(BM_ReplotTimeChart)
    ->Args({1'000, 1})
    ->Args({static_cast<long>(kDayRecords), 1})
    ->Args({1'000, 0})
    ->Args({static_cast<long>(kDayRecords), 0})
    ->Unit(benchmark::kMillisecond);

// Full replot of the dependence chart (the curves against pH); arg 0:
// records, arg 1: 1 = a new record before every replot, as during a run
// (the axes stay: pH keeps its 0..14 range), 0 = the same points again.
void BM_ReplotDependChart(benchmark::State& state) {
    tLoadedWindow& window = loaded(static_cast<std::size_t>(state.range(0)), true);
    window.ShowDependence(1);
    const bool live = state.range(1) != 0;
    for (auto _ : state) {
        if (live) {
            window.Append();
        }
        window.Depend().replot(QCustomPlot::rpImmediateRefresh);
    }
    int drawn = 0;
    for (int i = 0; i < vantrel::kQuantityCount; ++i) {
        drawn +=
            static_cast<vantrel::tDependCurve*>(window.Depend().plottable(i))->LastDrawnPoints();
    }
    state.counters["drawn_points"] = drawn;
    window.ShowTime();
}
BENCHMARK(BM_ReplotDependChart)
    ->Args({1'000, 0})
    ->Args({static_cast<long>(kDayRecords), 0})
    ->Args({1'000, 1})
    ->Args({static_cast<long>(kDayRecords), 1})
    ->Unit(benchmark::kMillisecond);

// One acquisition tick late in a day's run: a new point on every curve and
// the one redraw it causes.
void BM_AcquisitionTick(benchmark::State& state) {
    tLoadedWindow& window = loaded(kDayRecords, state.range(0) != 0);
    int replots = 0;
    auto connection =
        QObject::connect(&window.Chart(), &QCustomPlot::afterReplot, [&replots] { ++replots; });
    for (auto _ : state) {
        window.Tick();
    }
    QObject::disconnect(connection);
    state.counters["replots_per_tick"] =
        static_cast<double>(replots) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AcquisitionTick)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return vantrel::bench::runUiBenchmarks(argc, argv);
}
