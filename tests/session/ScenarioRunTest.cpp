// A scenario on the station: what reaches the wire when, and what a failing
// step leaves behind.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "base/Functions.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "experiment/Experiment.h"
#include "experiment/FakeProgram.h"
#include "session/StationFixture.h"
#include "station/ScenarioStepper.h"
#include "support/TempDir.h"

namespace vantrel::test {
namespace {

class ScenarioRunTest : public StationFixture {
protected:
    // A failing step is raised once; afterwards the run records on and the
    // station hears nothing more from the scenario.
    void ExpectFailsOnceThenSilent(const std::string& message,
                                   const std::vector<std::string>& switchedOff = {});
};

void ScenarioRunTest::ExpectFailsOnceThenSilent(const std::string& message,
                                                const std::vector<std::string>& switchedOff) {
    TfmMain& fm = *this->fm;
    std::string raised;
    std::size_t heard = 0;  // lines the station had before the failing tick
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (raised.empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
        heard = sim->ReceivedLines().size();
        try {
            fm.tmStartTimer();
        } catch (const tError& e) {
            raised = e.what();
        }
    }
    EXPECT_EQ(raised, message);
    EXPECT_TRUE(fm.Experiment().Failed());
    const std::size_t sent = sim->SentRecords().size();
    while (sim->SentRecords().size() < sent + 4) {
        EXPECT_NO_THROW(fm.tmStartTimer());
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_NO_THROW(fm.tmStartTimer());
    EXPECT_TRUE(fm.IsMeasuring()) << "the recording goes on";
    // Nothing after the failure but the off commands of what it left on.
    const std::vector<std::string> lines = sim->ReceivedLines();
    EXPECT_EQ(
        std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(heard), lines.end()),
        switchedOff);
}

TEST_F(ScenarioRunTest, StartStateNamingNoStateSendsNothingAndFailsAtTheFirstReading) {
    Connect();
    fm->Experiment().Load(makeScenario("S", 7, {9}, {{"A", {"H0,1,9"}}}),
                          std::make_unique<tFakeProgram>([](auto&) { return 0; }), "");
    Start();
    ASSERT_TRUE(WaitReceived("S"));
    EXPECT_EQ(Find("H0,1,9"), -1);
    ExpectFailsOnceThenSilent("Can not update state machine");
}

TEST_F(ScenarioRunTest, TransitionToAMissingStateFailsAndTheLabelKeepsTheLastState) {
    Connect();
    fm->Experiment().Load(makeScenario("S", 0, {9}, {{"A", {"H0,1,9"}}}),
                          std::make_unique<tFakeProgram>([](auto&) { return 5; }), "");
    Start();
    ExpectFailsOnceThenSilent("Error while transition from state #0 to state #5.", {"H0,0"});
    EXPECT_EQ(view.scenarioLabel, "S - A");
    EXPECT_EQ(log.Count("Error while transition from state #0 to state #5."), 1);
}

// Opening from the menu: the chooser with the scenario filter, the label,
// and a file that fails leaving no scenario and its message raised.
TEST_F(ScenarioRunTest, OpenFromTheMenuLoadsOrSaysWhyNot) {
    Make("", true);
    Connect();
    tTempDir dir;
    writeBytes(dir.file("two.exp"),
               "[General]\nName=Два шага\nStartState=0\nFinalState=1\nStateCount=2\n"
               "[State0]\nName=Первый\nActionCount=1\nAction0=M0,1,50\n"
               "[State1]\nName=Второй\nActionCount=1\nAction0=M0,0\n");
    writeBytes(dir.file("two.tra"),
               "unit Two;\nfunction NewState(State: Integer): Integer;\nbegin\n"
               "  Result := 1;\nend;\nend.\n");
    writeBytes(dir.file("bad.exp"), "[General]\nName=Плохой\n");

    view.openFileAnswers = {dir.file("two.exp")};
    ASSERT_TRUE(fm->ExecuteAction("acFileOpen"));
    EXPECT_EQ(view.openDialogs.at(0), std::string(kScenarioFilter));
    EXPECT_EQ(view.scenarioLabel, "Два шага");
    fm->UpdateActions();
    EXPECT_TRUE(fm->FindAction("acFileClose")->Enabled());

    // Run it: the transition is drawn at the reading that made it.
    Start();
    ASSERT_TRUE(tickUntil(*fm, [&] { return !fm->IsMeasuring(); }));
    ASSERT_EQ(fm->Charts().Data().Transitions().size(), 1u);
    EXPECT_EQ(fm->Charts().Data().Transitions()[0].state, "Второй");
    EXPECT_GT(Find("M0,0", Find("S")), Find("M0,1,50"));
    Start();  // a new run clears the transitions of the last one
    EXPECT_TRUE(fm->Charts().Data().Transitions().empty());
    ASSERT_TRUE(fm->ExecuteAction("acDeviceStop"));

    view.openFileAnswers = {dir.file("bad.exp")};
    EXPECT_THROW(fm->ExecuteAction("acFileOpen"), tError);
    EXPECT_EQ(view.scenarioLabel, constantText("DK_NO_SCENARIO"));
    fm->UpdateActions();
    EXPECT_FALSE(fm->FindAction("acFileClose")->Enabled());

    view.openFileAnswers = {std::nullopt};  // cancelled: nothing changes
    EXPECT_TRUE(fm->ExecuteAction("acFileOpen"));
    EXPECT_EQ(fm->Experiment().GetStatus(), esEmpty);
}

// What a trace says, in one line a failed comparison can show.
std::string described(const tStepTrace& trace) {
    std::string text = formatFixed(trace.time, 3, '.') + " " + std::to_string(trace.from.number) +
                       ">" + std::to_string(trace.to.number) + " seen";
    for (const float value : trace.seen) {
        text += " " + formatFixed(value, 4, '.');
    }
    text += " sent";
    for (const tCommand& command : trace.sent) {
        text += " " + command.Text();
    }
    for (const tRefusedCommand& refused : trace.refused) {
        text += " | " + refused.why.log + ": " + refused.why.text;
    }
    return text;
}

// The same scenario over the same readings steps alike on the station and in
// a replay of what the run recorded: the same transitions, on the same
// values, sending and refusing the same commands. The vessel is at 22 °C and
// the scripts decide on the values alone, so the replay can repeat them.
TEST_F(ScenarioRunTest, OnTheStationAndInAReplayTheScenarioStepsAlike) {
    using tStates = std::vector<std::pair<std::string, std::vector<std::string>>>;
    using tNewState = std::function<int(const std::vector<tScriptArg>&)>;
    const tStates threeSteps = {{"A", {}}, {"B", {"H0,1,100", "M0,1,50"}}, {"C", {"M0,0", "H0,0"}}};
    const tNewState onward = [](const auto& args) {
        const int state = static_cast<int>(args[0].value);
        return state < 2 ? state + 1 : state;
    };
    const struct {
        const char* name;
        std::string config;
        tStates states;
        tNewState newState;
        std::vector<std::string> refused;  // as the log names them
    } cases[] = {
        {"heater refused above its limit",
         "MaxTemperature=20\n",
         threeSteps,
         onward,
         {"SAFETY: REFUSED H0,1,100"}},
        {"heater allowed below its limit", "MaxTemperature=60\n", threeSteps, onward, {}},
        // Pump 1 has dosed its 0.01 ml with the first count it reports, long
        // before pump 2, unlimited, has dosed 1 ml.
        {"pump refused past its volume",
         "MaxVolume1=0.01\n",
         {{"A", {"D1,1,600", "D2,1,600"}}, {"B", {"D1,1,300", "D2,0"}}, {"C", {"M0,0"}}},
         [](const auto& args) {
             const int state = static_cast<int>(args[0].value);
             return state == 0 && args[6].value > 1 ? 1 : state == 1 ? 2 : state;
         },
         {"SAFETY: REFUSED D1,1,300"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sink = tChartCallLog();
        Make(c.config);
        Connect();
        fm->Experiment().Load(makeScenario("S", 0, {2}, c.states),
                              std::make_unique<tFakeProgram>(c.newState), "");
        Start();
        ASSERT_TRUE(tickUntil(
            *fm, [&] { return !fm->IsMeasuring(); }, 6000))
            << "the scenario reaches its final state";
        const std::vector<tStepTrace> live = fm->StepTraces();

        tSettings settings(false);
        settings.Load(config.Path());
        tExperiment experiment;
        experiment.Load(makeScenario("S", 0, {2}, c.states),
                        std::make_unique<tFakeProgram>(c.newState), "");
        tScenarioReplay replay(experiment, tSafetyLimits::FromSettings(settings));
        std::vector<tStepTrace> replayed;
        replayed.push_back(*replay.Start());
        for (const auto& set : sink.sets) {
            if (std::optional<tStepTrace> trace = replay.Step(set.t, set.readings)) {
                replayed.push_back(std::move(*trace));
            }
            if (experiment.GetStatus() == esFinished) {
                break;
            }
        }

        ASSERT_EQ(live.size(), 3U);
        ASSERT_EQ(replayed.size(), live.size());
        std::vector<std::string> refused;
        for (std::size_t i = 0; i < live.size(); ++i) {
            EXPECT_EQ(described(replayed[i]), described(live[i])) << i;
            for (const tRefusedCommand& r : live[i].refused) {
                refused.push_back(r.why.log);
                EXPECT_EQ(Find(r.command.Text()), -1) << "a refused command reached the station";
            }
        }
        EXPECT_EQ(refused, c.refused);
        for (const std::string& line : c.refused) {
            EXPECT_EQ(log.Count(line), 1);
        }
        if (&c != &cases[0]) {
            continue;
        }
        // Why the run went to B: the first reading, and the heater refused
        // with the reason the user was told.
        const tStepTrace& step = live[1];
        ASSERT_FALSE(sink.sets.empty());
        EXPECT_FLOAT_EQ(step.time, sink.sets[0].t);
        EXPECT_EQ(step.seen[qLT], sink.sets[0].readings[qLT]);
        EXPECT_EQ(step.from.name, "A");
        EXPECT_EQ(step.to.name, "B");
        ASSERT_EQ(step.refused.size(), 1U);
        EXPECT_EQ(step.refused[0].command.Text(), "H0,1,100");
        EXPECT_EQ(step.refused[0].why.text,
                  formatText(constantText("DK_SAFE_HEATER_REFUSED"),
                             {formatFixed(sink.sets[0].readings[qLT], 2), "18"}));
        EXPECT_EQ(sink.interventions, std::vector<std::string>{step.refused[0].why.text});
    }
}

}  // namespace
}  // namespace vantrel::test
