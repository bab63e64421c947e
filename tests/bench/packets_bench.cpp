// Memory held by the packet queue while a run is paused: the measurement
// thread keeps queueing one packet per read window and nobody takes them.
// A fake port hands the thread one state record per read at once, so ten
// minutes of a 200 ms period (3,000 packets) queue in a moment; the heap in
// use before and after tells what each queued packet costs.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "device/MeasureThread.h"
#include "device/SerialPort.h"

namespace {

using namespace vantrel;

constexpr char kRecord[] =
    "LT:25.50\tLP:7.02\tLC:1.25\tLE:0.215\tV1:100\tV2:0\tV3:0\tH0:1,128\tM0:1,-40\t"
    "D1:0,0\tD2:0,0\tD3:0,0\tTT:123456\r\n";

// Delivers `records` state records, one per read, then nothing.
class tRecordPort : public iSerialPort {
public:
    explicit tRecordPort(int records) : left_(records) {}
    std::atomic<int> delivered{0};

    bool ReadDefaultConfig(const std::string&) override { return true; }
    bool WriteDefaultDtr(const std::string&, bool) override { return true; }
    bool Open(const std::string&) override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    bool RaiseRts() override { return true; }
    bool SetBreak() override { return true; }
    bool ClearBreak() override { return true; }
    bool GetModemStatus(unsigned& status) override {
        status = 0;
        return true;
    }
    bool ApplyLineSettings(tDtrMode) override { return true; }
    bool SetTimeouts(unsigned, unsigned) override { return true; }
    bool GetReadTimeout(unsigned& ms) override {
        ms = 100;
        return true;
    }
    bool SetReadTimeout(unsigned) override { return true; }
    bool Read(void* buffer, unsigned count, unsigned& received) override {
        received = 0;
        if (left_ > 0 && count >= sizeof kRecord - 1) {
            std::memcpy(buffer, kRecord, sizeof kRecord - 1);
            received = sizeof kRecord - 1;
            --left_;
            delivered.fetch_add(1);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    bool Write(const void*, unsigned count, unsigned& written) override {
        written = count;
        return true;
    }
    bool Purge() override { return true; }

private:
    int left_;
};

std::size_t heapInUse() {
    return mallinfo2().uordblks;
}

void BM_PausedQueue(benchmark::State& state) {
    const int packets = static_cast<int>(state.range(0));
    double perPacket = 0;
    for (auto _ : state) {
        tRecordPort port(packets);
        const std::size_t before = heapInUse();
        tMeasureThread thread(port);
        while (port.delivered.load() < packets) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the last one queued
        const std::size_t after = heapInUse();
        perPacket = static_cast<double>(after - before) / packets;
        thread.Terminate();
    }
    state.counters["bytes_per_packet"] = perPacket;
    state.counters["MB_held"] = perPacket * packets / 1e6;
}
// Ten minutes and one hour of a paused run at 200 ms.
BENCHMARK(BM_PausedQueue)->Arg(3000)->Arg(18000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
