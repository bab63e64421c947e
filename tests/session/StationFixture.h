#pragma once

// A controller connected (or about to be) to the simulated station.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "session/MainFM.h"
#include "session/SessionTestSupport.h"
#include "sim/Simulator.h"
#include "support/TestView.h"

namespace vantrel::test {

class StationFixture : public ::testing::Test {
protected:
    // The station's clock runs five times faster: a record every 40 ms.
    static sim::tOptions FastStation() {
        sim::tOptions options;
        options.noise = false;
        options.timeScale = 5;
        return options;
    }

    void SetUp() override { Make(); }

    void Make(const std::string& extra = {}, bool ownCharts = false,
              const sim::tOptions& station = FastStation()) {
        fm.reset();
        sim = std::make_unique<sim::tSimulator>(station);
        sim->Start();
        config.Write(sim->PortPath(), extra);
        fm = std::make_unique<TfmMain>(view, config.Path(), ownCharts ? nullptr : &sink);
    }

    void Connect() {
        ASSERT_TRUE(fm->ExecuteAction("acDeviceConnect"));
        ASSERT_TRUE(fm->IsConnected());
    }

    void Start() {
        ASSERT_TRUE(fm->ExecuteAction("acDeviceStart"));
        ASSERT_TRUE(fm->IsMeasuring());
    }

    std::vector<std::string> Received() const { return sim->ReceivedLines(); }

    // Position of the first command equal to `line` at or after `from`, -1 if none.
    int Find(const std::string& line, int from = 0) const {
        const auto lines = Received();
        for (int i = std::max(from, 0); i < static_cast<int>(lines.size()); ++i) {
            if (lines[i] == line) {
                return i;
            }
        }
        return -1;
    }

    bool WaitReceived(const std::string& line, int ms = 3000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (Find(line) < 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    // Plotted records equal the station's first records, in order.
    void ExpectPlottedAsSent(std::size_t count) {
        const auto sent = sim->SentRecords();
        ASSERT_GE(sent.size(), count);
        ASSERT_GE(sink.sets.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_NEAR(sink.sets[i].t, sent[i].tt * 0.001f, 1e-4) << i;
            EXPECT_FLOAT_EQ(sink.sets[i].readings[0], sent[i].lt) << i;
        }
    }

    tMemoryLog log;
    tTempConfig config;
    tTestView view;
    tChartCallLog sink;
    std::unique_ptr<sim::tSimulator> sim;
    std::unique_ptr<TfmMain> fm;
};

}  // namespace vantrel::test
