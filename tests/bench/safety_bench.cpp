// The time from the record that crosses MaxTemperature to the heater's off
// command on the wire, with the simulated station on a pseudo-terminal and
// the acquisition tick at the window's pace. A scenario switches the heater
// on; in the second case, just before the crossing, it enters a state of
// many commands, which are still queued for the station when the limit is
// crossed. The off command goes ahead of them: both should stay within one
// tick plus one read window of the measurement thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "device/MeasureThread.h"
#include "session/MainFM.h"
#include "session/MainView.h"
#include "sim/Simulator.h"
#include "support/NullView.h"

namespace {

using namespace vantrel;
using tClock = std::chrono::steady_clock;

constexpr double kLimit = 22.5;  // °C; the vessel starts at 22

// State 0 heats; state 1, entered at 22.05 °C, well before the limit, queues
// `queued` stirrer commands.
void writeScenario(const std::filesystem::path& folder, int queued) {
    std::ofstream exp(folder / "heat.exp", std::ios::trunc);
    exp << "[General]\nName=Heat\nStartState=0\nFinalState=9\nStateCount=2\n"
        << "[State0]\nName=Heat\nActionCount=1\nAction0=H0,1,255\n"
        << "[State1]\nName=Busy\nActionCount=" << queued << "\n";
    for (int i = 0; i < queued; ++i) {
        exp << "Action" << i << "=M0,1," << 100 + i << "\n";
    }
    std::ofstream(folder / "heat.tra", std::ios::trunc)
        << "unit Heat;\nfunction NewState(State: Integer; LT: Real): Integer;\nbegin\n"
           "  Result := State;\n  if (State = 0) and (LT > 22.05) then\n    Result := 1;\nend;\n"
           "end.\n";
}

void measureCut(benchmark::State& state, int queued) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "vantrel-safety-bench";
    std::filesystem::create_directories(folder);
    const std::string config = (folder / "vantrel.cfg").string();
    writeScenario(folder, queued);
    double worst = 0;
    for (auto _ : state) {
        sim::tOptions options;
        options.line = sim::tLine::pseudoTerminal;
        options.noise = false;
        options.timeScale = 5;
        sim::tSimulator station(options);
        station.Start();
        std::ofstream(config, std::ios::trunc)
            << "Timeout=10\nCheckTimeout=100\nCheckCount=2\nCheckOffTimer=0\nPorts="
            << station.PortPath() << "\nMaxTemperature=" << kLimit << "\n";
        test::tNullView view;
        TfmMain fm(view, config);
        fm.ExecuteAction("acDeviceConnect");
        if (!fm.IsConnected()) {
            state.SkipWithError("no station");
            break;
        }
        fm.OpenScenario((folder / "heat.exp").string());
        fm.ExecuteAction("acDeviceStart");

        // Watches the line at a fine grain: when the crossing record went
        // out, and when the off command came in.
        std::atomic<bool> done{false};
        tClock::time_point crossed{};
        tClock::time_point cut{};
        std::size_t pending = 0;
        std::thread watcher([&] {
            while (!done.load()) {
                const auto now = tClock::now();
                if (crossed == tClock::time_point{}) {
                    for (const sim::tSentRecord& record : station.SentRecords()) {
                        if (record.lt > kLimit) {
                            crossed = now;
                            const auto lines = station.ReceivedLines();
                            pending = queued - std::count_if(lines.begin(), lines.end(),
                                                             [](const std::string& line) {
                                                                 return line.starts_with("M0,1,");
                                                             });
                            break;
                        }
                    }
                }
                if (crossed != tClock::time_point{}) {
                    const auto lines = station.ReceivedLines();
                    if (std::find(lines.begin(), lines.end(), "H0,0") != lines.end()) {
                        cut = now;
                        done.store(true);
                    }
                }
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        });
        auto next = tClock::now();
        const auto deadline = next + std::chrono::seconds(30);
        while (!done.load() && tClock::now() < deadline) {
            next += std::chrono::milliseconds(kTickIntervalMs);
            std::this_thread::sleep_until(next);
            fm.tmStartTimer();
        }
        done.store(true);
        watcher.join();
        if (cut == tClock::time_point{}) {
            state.SkipWithError("the heater was not cut");
            break;
        }
        const double seconds = std::chrono::duration<double>(cut - crossed).count();
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);
        state.counters["queued_at_crossing"] = static_cast<double>(pending);
        fm.FormClose();
    }
    state.counters["worst_ms"] = worst * 1000;
    state.counters["bound_ms"] = kTickIntervalMs + tMeasureThread::kReadWindowMs;
    std::filesystem::remove_all(folder);
}

void BM_HeaterCutLatency(benchmark::State& state) {
    measureCut(state, 0);
}
BENCHMARK(BM_HeaterCutLatency)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_HeaterCutLatencyBehindScenarioCommands(benchmark::State& state) {
    measureCut(state, 40);
}
BENCHMARK(BM_HeaterCutLatencyBehindScenarioCommands)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
