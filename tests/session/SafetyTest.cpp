#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "base/Texts.h"
#include "experiment/Experiment.h"
#include "experiment/FakeProgram.h"
#include "session/StationFixture.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

class SafetyTest : public StationFixture {
protected:
    // The panel switches actuator `index` on with `value`.
    void SwitchOn(int index, const std::string& value) {
        view.actuatorEdit[static_cast<std::size_t>(index)] = value;
        fm->btnSetClick(index);
    }
    int Count(const std::string& line) const {
        int n = 0;
        for (const std::string& received : Received()) {
            n += received == line ? 1 : 0;
        }
        return n;
    }
    // Ticks until the station received `line` (the tick sends what is queued).
    bool TickUntilReceived(const std::string& line, int ms = 3000) {
        return tickUntil(
            *fm, [&] { return Find(line) >= 0; }, ms);
    }
};

// The vessel starts at 22 °C, above a limit of 20: the first reading cuts
// the heater the panel switched on, and the scenario's later switch-on is
// refused, not sent, and told once.
TEST_F(SafetyTest, HeaterIsCutAboveTheLimitAndNoScenarioSwitchesItOnAgain) {
    Make("MaxTemperature=20\n");
    Connect();
    SwitchOn(0, "150");
    int readings = 0;
    fm->Experiment().Load(
        makeScenario("S", 0, {}, {{"A", {}}, {"B", {"H0,1,100"}}}),
        std::make_unique<tFakeProgram>([&](auto&) { return ++readings >= 3 ? 1 : 0; }), "");
    Start();
    ASSERT_TRUE(tickUntil(*fm, [&] { return sink.sets.size() >= 8; }));
    EXPECT_GT(Find("H0,0", Find("H0,1,150")), 0);
    EXPECT_EQ(Find("H0,1,100"), -1);
    EXPECT_EQ(view.scenarioLabel, "S - B");
    EXPECT_EQ(log.Count("SAFETY: REFUSED H0,1,100"), 1);
    const auto lines = log.Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.starts_with("SAFETY: HEATER OFF AT ") &&
                                       line.ends_with(" C, LIMIT 20 C");
                            }),
              1);
    const std::vector<std::string> told{formatText(constantText("DK_SAFE_HEATER_OFF"), {"20"}),
                                        formatText(constantText("DK_SAFE_HEATER_REFUSED"), {"20"})};
    EXPECT_EQ(sink.interventions, told);
    EXPECT_EQ(view.status[kPanelHint], told[1]);
}

// Pump 1 stops at its dose and stays refused for the rest of the run.
TEST_F(SafetyTest, PumpStopsAtItsVolumeForTheRestOfTheRun) {
    Make("MaxVolume1=0.5\n");
    Connect();
    Start();
    SwitchOn(2, "600");
    ASSERT_TRUE(TickUntilReceived("D1,0"));
    const float dosed = sink.sets.back().readings[qV1] - sink.sets.front().readings[qV1];
    EXPECT_GE(dosed, 0.5f);
    SwitchOn(2, "600");
    EXPECT_EQ(Count("D1,1,600"), 1);
    EXPECT_EQ(view.status[kPanelHint],
              formatText(constantText("DK_SAFE_PUMP_REFUSED"), {"1", "0.5"}));
}

// However the program leaves a measuring station, what may be on gets its
// off command, unless the configuration keeps it on.
TEST_F(SafetyTest, LeavingTheStationSwitchesEverythingOff) {
    enum class tHow { Disconnect, Exit, Silence };
    struct tCase {
        const char* name;
        tHow how;
        std::string config;
        bool off;
    };
    const tCase cases[] = {
        {"disconnect", tHow::Disconnect, "", true},
        {"exit", tHow::Exit, "", true},
        {"silence", tHow::Silence, "SilenceLimit=1\n", true},
        {"disconnect kept on", tHow::Disconnect, "KeepActuatorsOn=1\n", false},
        {"exit kept on", tHow::Exit, "KeepActuatorsOn=1\n", false},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.name);
        Make(c.config);
        Connect();
        SwitchOn(0, "150");
        SwitchOn(1, "100");
        Start();
        ASSERT_TRUE(tickUntil(*fm, [&] { return sink.sets.size() >= 3; }));
        switch (c.how) {
            case tHow::Disconnect:
                ASSERT_TRUE(fm->ExecuteAction("acDeviceConnect"));
                break;
            case tHow::Exit:
                fm->FormClose();
                break;
            case tHow::Silence:
                sim::tFaults silent;
                silent.silent = true;
                sim->SetFaults(silent);
                ASSERT_TRUE(TickUntilReceived("M0,0", 4000));
                EXPECT_TRUE(fm->IsMeasuring()) << "the run goes on";
                break;
        }
        const int on = Find("M0,1,100");
        EXPECT_EQ(Find("H0,0", on) > on && Find("M0,0", on) > on, c.off);
        EXPECT_EQ(Find("D1,0"), -1) << "only what may be on";
    }
}

// A failed step: everything its scenario switched on is switched off.
TEST_F(SafetyTest, AFailedStepSwitchesOffWhatItsScenarioLeftOn) {
    Connect();
    fm->Experiment().Load(makeScenario("S", 0, {}, {{"A", {"M0,1,80", "D2,1,100"}}}),
                          std::make_unique<tFakeProgram>([](auto&) { return 7; }), "");
    Start();
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (Find("D2,0") < 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
        try {
            fm->tmStartTimer();
        } catch (const std::exception&) {
            // the step's failure, raised once
        }
    }
    EXPECT_TRUE(fm->Experiment().Failed());
    EXPECT_GT(Find("M0,0"), Find("D2,1,100"));
    EXPECT_TRUE(fm->IsMeasuring());
    EXPECT_EQ(view.status[kPanelHint], constantText("DK_SAFE_STEP_FAILED"));
}

}  // namespace
}  // namespace vantrel::test
