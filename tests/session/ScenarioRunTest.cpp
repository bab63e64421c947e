// A scenario on the station: what reaches the wire when, and what a failing
// step leaves behind.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/Error.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "experiment/Experiment.h"
#include "experiment/FakeProgram.h"
#include "session/StationFixture.h"
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

}  // namespace
}  // namespace vantrel::test
