// Throughput of state-record decoding: the record matcher alone, the whole
// decodePacket (charts replaced by a sink that does nothing, and with the
// real chart model), and, for comparison, a decoder of the same pattern
// built on sscanf.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "charts/ChartModel.h"
#include "device/Actuators.h"
#include "device/Protocol.h"
#include "device/RecordMatcher.h"
#include "run/RunEvent.h"
#include "session/MainFM.h"
#include "session/MainView.h"
#include "support/NullView.h"

namespace {

using namespace vantrel;

using test::tNullView;

class tNullSink : public iRunListener {
public:
    void OnEvent(const tRunEvent& event) override { benchmark::DoNotOptimize(&event); }
    void OnBatchEnd(float t) override { benchmark::DoNotOptimize(t); }
};

// Packets as the measurement thread hands them over: whole records, at
// most one buffer (2419 bytes) each. Readings change with every record; the
// actuators' set values change every 64 records, as when a user or a
// scenario switches them during a run.
struct tWorkload {
    std::vector<std::string> packets;
    std::vector<std::string_view> lines;
    std::size_t records = 0;

    // Records `first` to `first + count - 1` of a run; TT 200 ms apart.
    explicit tWorkload(std::size_t count, std::size_t first = 0) {
        std::string packet;
        char line[256];
        for (std::size_t i = first; i < first + count; ++i) {
            const int n = std::snprintf(
                line, sizeof line,
                "LT:%.2f\tLP:%.2f\tLC:%.3f\tLE:%.3f\tV1:%.2f\tV2:%.2f\tV3:%.2f\t"
                "H0:1,%d\tM0:1,-%d\tD1:%d,%d\tD2:0,0\tD3:0,0\tTT:%zu\r\n",
                20 + (i % 500) * 0.01, 7 - (i % 300) * 0.01, 1.25 + (i % 70) * 0.001,
                0.2 + (i % 90) * 0.001, i * 0.37, (i % 11) * 0.5, 0.0,
                static_cast<int>(i / 64 % 256), static_cast<int>(i / 64 % 200),
                static_cast<int>(i / 64 % 2), static_cast<int>(i / 64 % 2) * 60, 200 * (i + 1));
            if (packet.size() + static_cast<std::size_t>(n) > 2419) {
                packets.push_back(packet);
                packet.clear();
            }
            packet.append(line, static_cast<std::size_t>(n));
        }
        packets.push_back(packet);
        records = count;
        for (const std::string& p : packets) {
            std::string_view rest = p;
            std::size_t end;
            while ((end = rest.find("\r\n")) != std::string_view::npos) {
                lines.push_back(rest.substr(0, end));
                rest.remove_prefix(end + 2);
            }
        }
    }
};

const tWorkload& workload() {
    static const tWorkload w(4000);
    return w;
}

std::string configFile() {
    static const std::string path = [] {
        const std::string p =
            (std::filesystem::temp_directory_path() / "vantrel-decode-bench.cfg").string();
        std::ofstream(p) << "VolCoeff=0.0934\n";
        return p;
    }();
    return path;
}

void BM_RecordMatcher(benchmark::State& state) {
    const tWorkload& w = workload();
    tActuatorTable actuators = initialActuators();
    const tRecordMatcher matcher(recordPattern(actuators));
    std::array<float, 8> reals{};
    std::array<tMatchTarget, 18> targets;
    for (int i = 0; i < 7; ++i) {
        targets[i].real = &reals[i];
    }
    for (int i = 0; i < 5; ++i) {
        targets[7 + 2 * i].integer = &actuators[i].state;
        targets[8 + 2 * i].integer = &actuators[i].speed;
    }
    targets[17].real = &reals[7];
    for (auto _ : state) {
        for (std::string_view line : w.lines) {
            benchmark::DoNotOptimize(matcher.Match(line, targets));
        }
        benchmark::DoNotOptimize(reals);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * w.lines.size()));
}
BENCHMARK(BM_RecordMatcher);

void BM_DecodePacketNullSink(benchmark::State& state) {
    const tWorkload& w = workload();
    tNullView view;
    tNullSink sink;
    TfmMain fm(view, configFile(), &sink);
    for (auto _ : state) {
        for (const std::string& packet : w.packets) {
            fm.decodePacket(packet);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * w.records));
}
BENCHMARK(BM_DecodePacketNullSink);

void BM_DecodePacketCharts(benchmark::State& state) {
    const tWorkload& w = workload();
    tNullView view;
    TfmMain fm(view, configFile());
    for (auto _ : state) {
        // The workload's times start again at 0.2 s: every pass is a new run.
        state.PauseTiming();
        fm.Charts().EnterLiveMode();
        state.ResumeTiming();
        for (const std::string& packet : w.packets) {
            fm.decodePacket(packet);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * w.records));
}
BENCHMARK(BM_DecodePacketCharts);

// The station restarts after 100,000 records of a run and its clock starts
// again from 0 (argument 1), against the same 10,000 records continuing
// the run (argument 0). A restart must not make each later record an
// insertion in front of the whole run.
void BM_RecordsAfterClockReset(benchmark::State& state) {
    static const tWorkload run(100000);
    static const tWorkload continued(10000, 100000);
    static const tWorkload restarted(10000, 0);
    const tWorkload& tail = state.range(0) != 0 ? restarted : continued;
    tNullView view;
    std::unique_ptr<TfmMain> fm;
    for (auto _ : state) {
        state.PauseTiming();
        fm.reset();
        fm = std::make_unique<TfmMain>(view, configFile());
        fm->Charts().EnterLiveMode();
        for (const std::string& packet : run.packets) {
            fm->decodePacket(packet);
        }
        state.ResumeTiming();
        for (const std::string& packet : tail.packets) {
            fm->decodePacket(packet);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * tail.records));
}
BENCHMARK(BM_RecordsAfterClockReset)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond);

// The same work (split at CR LF, match the pattern, scale the volumes)
// done with the C library's formatted input. Each packet is copied once and
// its lines are ended in place, so sscanf pays for no allocation per line.
void BM_SscanfDecoder(benchmark::State& state) {
    const tWorkload& w = workload();
    const double volume = 0.0934f;
    std::string text;
    for (auto _ : state) {
        for (const std::string& packet : w.packets) {
            text.assign(packet);
            char* line = text.data();
            char* end;
            while ((end = std::strstr(line, "\r\n")) != nullptr) {
                *end = '\0';
                float r[7];
                int a[10];
                float tt;
                const int count =
                    std::sscanf(line,
                                "LT:%f\tLP:%f\tLC:%f\tLE:%f\tV1:%f\tV2:%f\tV3:%f\t"
                                "H0:%d,%d\tM0:%d,%d\tD1:%d,%d\tD2:%d,%d\tD3:%d,%d\tTT:%f",
                                &r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &a[0], &a[1],
                                &a[2], &a[3], &a[4], &a[5], &a[6], &a[7], &a[8], &a[9], &tt);
                for (int i = 4; i < 7; ++i) {
                    r[i] = static_cast<float>(r[i] * volume);
                }
                benchmark::DoNotOptimize(count);
                benchmark::DoNotOptimize(r);
                benchmark::DoNotOptimize(a);
                benchmark::DoNotOptimize(tt);
                line = end + 2;
            }
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * w.records));
}
BENCHMARK(BM_SscanfDecoder);

}  // namespace

BENCHMARK_MAIN();
