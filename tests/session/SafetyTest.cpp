#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/Functions.h"
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
    int readings = 0;
    fm->Experiment().Load(
        makeScenario("S", 0, {}, {{"A", {}}, {"B", {"H0,1,100"}}}),
        std::make_unique<tFakeProgram>([&](auto&) { return ++readings >= 3 ? 1 : 0; }), "");
    // Switched on once the run is going, so the cut is the run's (stopped,
    // the watch would cut it before the run starts).
    Start();
    SwitchOn(0, "150");
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
    // The cut names the temperature that crossed, the refusal the one then
    // and where the heater may go on again.
    auto lt = [&](std::size_t k) { return formatFixed(sink.sets.at(k).readings[qLT], 2); };
    ASSERT_EQ(sink.interventions.size(), 2U);
    bool cutNamesAReading = false;
    for (std::size_t k = 0; k < sink.sets.size(); ++k) {
        cutNamesAReading |=
            sink.interventions[0] == formatText(constantText("DK_SAFE_HEATER_OFF"), {lt(k), "20"});
    }
    EXPECT_TRUE(cutNamesAReading) << sink.interventions[0];
    EXPECT_EQ(sink.interventions[1],
              formatText(constantText("DK_SAFE_HEATER_REFUSED"), {lt(2), "18"}));
    EXPECT_EQ(view.status[kPanelHint], sink.interventions[1]);
}

// Whatever the run does, the limits hold. Each case sets up a station and
// acts as a lesson would; then what must and must not have reached the
// station's wire is checked.
TEST_F(SafetyTest, TheLimitsHoldWhateverTheRunDoes) {
    // A scenario whose script moves to state 1 once `when` holds of the
    // values it is given (1 LT .. 7 V3).
    auto scenario = [&](std::vector<std::pair<std::string, std::vector<std::string>>> states,
                        std::function<bool(const std::vector<tScriptArg>&)> when) {
        fm->Experiment().Load(makeScenario("S", 0, {}, states),
                              std::make_unique<tFakeProgram>([when](const auto& args) {
                                  return args[0].value == 0 && when(args) ? 1 : int(args[0].value);
                              }),
                              "");
    };
    auto silence = [&] {
        sim::tFaults silent;
        silent.silent = true;
        sim->SetFaults(silent);
    };
    std::vector<std::string> busy{"H0,1,255"};
    for (int i = 0; i < 25; ++i) {
        busy.push_back("M0,1," + std::to_string(100 + i));
    }
    struct tCase {
        const char* name;
        std::string config;
        std::function<void()> act;  // after Connect
        std::vector<std::string> sent;
        std::vector<std::string> notSent;
    };
    const tCase cases[] = {
        {"paused above the limit",
         "MaxTemperature=22.4\n",
         [&] {
             Start();
             ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));
             SwitchOn(0, "255");
             EXPECT_TRUE(TickUntilReceived("H0,0", 4000));
             EXPECT_TRUE(fm->IsPaused());
             EXPECT_TRUE(sink.sets.empty()) << "nothing drawn while paused";
             ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));
             fm->tmStartTimer();
             EXPECT_FALSE(sink.sets.empty()) << "the paused stretch, drawn on resuming";
         },
         {"H0,1,255", "H0,0"},
         {}},
        {"heater on while stopped",
         "MaxTemperature=22.4\n",
         [&] {
             SwitchOn(0, "255");
             EXPECT_TRUE(fm->IsWatching());
             EXPECT_FALSE(fm->IsMeasuring());
             EXPECT_EQ(view.status[kPanelHint], constantText("DK_SAFE_WATCHING"));
             EXPECT_TRUE(TickUntilReceived("H0,0", 4000));
             EXPECT_TRUE(tickUntil(*fm, [&] { return !fm->IsWatching(); }))
                 << "the watch ends once the station reports everything off";
             EXPECT_TRUE(sink.sets.empty()) << "watched, not recorded";
         },
         {"S", "H0,0", "T"},
         {}},
        {"a period longer than the silence limit",
         "SilenceLimit=1\n",
         [&] {
             fm->setPeriod(10000);  // a record every 2 s of real time
             SwitchOn(1, "100");
             Start();
             tickUntil(
                 *fm, [] { return false; }, 3000);
             EXPECT_FALSE(sink.sets.empty());
         },
         {"M0,1,100"},
         {"M0,0"}},
        {"any flag but 0 switches on",
         "MaxTemperature=20\nMaxVolume1=0.2\nSilenceLimit=1\n",
         [&] {
             scenario({{"A", {"D1,1,600", "M0,-1,100"}}, {"B", {"H0,2,255", "D1,2,600"}}},
                      [first = -1.0](const auto& args) mutable {
                          first = first < 0 ? args[5].value : first;
                          return args[5].value - first >= 0.3;  // past the pump's dose
                      });
             Start();
             EXPECT_TRUE(tickUntil(
                 *fm, [&] { return view.scenarioLabel == "S - B"; }, 4000));
             EXPECT_EQ(log.Count("SAFETY: REFUSED H0,2,255"), 1);
             EXPECT_EQ(log.Count("SAFETY: REFUSED D1,2,600"), 1);
             silence();
             EXPECT_TRUE(TickUntilReceived("M0,0", 4000)) << "the stirrer counted as on";
         },
         {"M0,-1,100", "D1,0", "M0,0"},
         {"H0,2,255", "D1,2,600"}},
        {"an off command ahead of a busy state",
         "MaxTemperature=22.3\n",
         [&] {
             scenario({{"A", {}}, {"B", busy}}, [](const auto&) { return true; });
             Start();
             EXPECT_TRUE(TickUntilReceived("H0,0", 6000));
             EXPECT_EQ(Find(busy.back()), -1) << "the cut did not wait behind the queue";
         },
         {"H0,1,255", "H0,0"},
         {}},
        {"resumed after a gap longer than the silence limit",
         "",
         [&] {
             const std::string port = config.Dir() + "/ttyStation";
             std::filesystem::remove(port);
             std::filesystem::create_symlink(sim->PortPath(), port);
             config.Write(port, "SilenceLimit=1\n");
             fm = std::make_unique<TfmMain>(view, config.Path(), &sink);
             fm->SetReconnect(true);
             Connect();
             scenario({{"A", {"M0,1,100"}}}, [](const auto&) { return false; });
             Start();
             ASSERT_TRUE(tickUntil(*fm, [&] { return sink.sets.size() >= 3; }));
             sim->HangUp();
             ASSERT_TRUE(tickUntil(*fm, [&] { return fm->IsReconnecting(); }));
             std::this_thread::sleep_for(1500ms);  // silence is 1.4 s at this period
             auto back = std::make_unique<sim::tSimulator>(FastStation());
             back->Start();
             std::filesystem::remove(port);
             std::filesystem::create_symlink(back->PortPath(), port);
             ASSERT_TRUE(tickUntil(
                 *fm,
                 [&] {
                     fm->tmTimeTimer();
                     return fm->IsMeasuring();
                 },
                 8000));
             fm->tmStartTimer();  // the resumed run's first tick, before any record
             tickUntil(
                 *fm, [] { return false; }, 500);
             sim = std::move(back);  // the wire checked is the new one
         },
         {"M0,1,100"},
         {"M0,0"}},
        {"an off command that cannot be written",
         "",
         [&] {
             sim::tOptions memory = FastStation();
             memory.line = sim::tLine::memory;
             Make("", false, memory);
             Connect();
             SwitchOn(1, "100");
             Start();
             ASSERT_TRUE(tickUntil(*fm, [&] { return sink.sets.size() >= 2; }));
             sim::tFaults broken;
             broken.failWrites = true;
             sim->SetFaults(broken);
             fm->btnClearClick(1);
             EXPECT_TRUE(tickUntil(*fm, [&] { return !view.errors.empty(); }));
             tickUntil(
                 *fm, [] { return false; }, 500);  // the station still reports it on
             ASSERT_EQ(view.errors.size(), 1u) << "told once";
             EXPECT_EQ(view.errors[0].text, constantText("DK_SAFE_OFF_FAILED"));
             EXPECT_GE(log.Count("SAFETY: M0,0 NOT WRITTEN"), 1);
         },
         {"M0,1,100"},
         {"M0,0"}},
        {"a limit that does not read",
         "MaxTemperature=45 °C\nMaxVolume1=1 000\n",
         [&] {
             fm->FormCreate();
             ASSERT_EQ(view.warnings.size(), 1u);
             const std::string& told = view.warnings[0].text;
             EXPECT_NE(told.find("MaxVolume1=1 000"), std::string::npos) << told;
             EXPECT_EQ(told.find("MaxTemperature"), std::string::npos) << "45 °C reads";
         },
         {},
         {}},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.name);
        sink = {};
        view.warnings.clear();
        view.errors.clear();
        Make(c.config);
        Connect();
        c.act();
        for (const std::string& line : c.sent) {
            EXPECT_GE(Find(line), 0) << line;
        }
        for (const std::string& line : c.notSent) {
            EXPECT_EQ(Find(line), -1) << line;
        }
    }
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
    enum class tHow { Disconnect, Exit, Silence, TeachersStop };
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
        // The teacher's stop over the class link switches off whatever the
        // station would keep on when its own user leaves.
        {"the teacher's stop", tHow::TeachersStop, "KeepActuatorsOn=1\n", true},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.name);
        sink = {};
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
            case tHow::TeachersStop:
                EXPECT_EQ(fm->Station().StopAll("stopped", "CLASS STOP"), "");
                EXPECT_FALSE(fm->IsMeasuring());
                EXPECT_TRUE(fm->IsConnected());
                EXPECT_EQ(sink.interventions.back(), "stopped") << "drawn in the run";
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

// The teacher's stop reaches a station whose link is away: the run waiting
// for it ends, so the station coming back is not measured and brought back to
// the run's state (it gets the off commands for whatever it reports on).
TEST_F(SafetyTest, TheTeachersStopEndsARunWaitingForItsStation) {
    const std::string port = config.Dir() + "/ttyStation";
    std::filesystem::create_symlink(sim->PortPath(), port);
    config.Write(port, "");
    fm = std::make_unique<TfmMain>(view, config.Path(), &sink);
    fm->SetReconnect(true);
    Connect();
    SwitchOn(1, "100");
    Start();
    ASSERT_TRUE(tickUntil(*fm, [&] { return sink.sets.size() >= 3; }));
    sim->HangUp();
    ASSERT_TRUE(tickUntil(*fm, [&] { return fm->IsReconnecting(); }));
    EXPECT_NE(fm->Station().StopAll("stopped", "CLASS STOP"), "") << "not done yet";
    EXPECT_FALSE(fm->Station().Run().Open());
    sim = std::make_unique<sim::tSimulator>(FastStation());
    sim->Start();
    std::filesystem::remove(port);
    std::filesystem::create_symlink(sim->PortPath(), port);
    ASSERT_TRUE(tickUntil(
        *fm,
        [&] {
            fm->tmTimeTimer();
            return fm->IsConnected();
        },
        8000));
    EXPECT_FALSE(fm->IsMeasuring()) << "the run was resumed";
    EXPECT_EQ(sink.interventions.back(), "stopped");
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
