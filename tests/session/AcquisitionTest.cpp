#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/Error.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "experiment/Experiment.h"
#include "experiment/FakeProgram.h"
#include "session/StationFixture.h"

namespace vantrel::test {
namespace {

using AcquisitionTest = StationFixture;

std::size_t sentCount(sim::tSimulator& sim) {
    return sim.SentRecords().size();
}

// Waits until the station has sent at least `count` records, then gives the
// link two read windows to queue them. Returns how many had been sent when
// the count was reached: all of those are queued by the time it returns.
std::size_t waitSent(sim::tSimulator& sim, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    std::size_t sent = 0;
    while ((sent = sentCount(sim)) < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_GE(sent, count);
    std::this_thread::sleep_for(250ms);
    return sent;
}

int addsAfterLastLive(const tChartCallLog& sink) {
    int adds = 0;
    for (const std::string& e : sink.events) {
        adds = e == "live" ? 0 : adds + (e == "add" ? 1 : 0);
    }
    return adds;
}

TEST_F(AcquisitionTest, StopKeepsWhatTheStationDeliveredAndPauseSurvivesStop) {
    Connect();
    Start();
    EXPECT_EQ(sink.events.front(), "live");
    EXPECT_TRUE(view.timers[1]);
    ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));
    const std::size_t delivered = waitSent(*sim, 5);
    fm->tmStartTimer();  // paused: nothing is taken
    EXPECT_TRUE(sink.sets.empty());

    ASSERT_TRUE(fm->ExecuteAction("acDeviceStop"));
    EXPECT_FALSE(fm->IsMeasuring());
    EXPECT_FALSE(view.timers[1]);
    ExpectPlottedAsSent(delivered);
    EXPECT_EQ(sink.events.back(), "analysis");
    EXPECT_EQ(Find("?", Find("T")), Find("T") + 1);  // the panel is asked again

    // Started again while the pause mark is still set: nothing is processed
    // until it is cleared, then the waiting records come in order.
    EXPECT_TRUE(fm->IsPaused());
    sink = {};
    Start();
    EXPECT_TRUE(fm->IsPaused());
    waitSent(*sim, sentCount(*sim) + 3);
    fm->tmStartTimer();
    EXPECT_EQ(addsAfterLastLive(sink), 0);
    ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));
    fm->tmStartTimer();
    EXPECT_GE(addsAfterLastLive(sink), 3);
}

TEST_F(AcquisitionTest, ResumeDeliversThePausedStretchAtOnceInOrder) {
    Connect();
    Start();
    ASSERT_TRUE(tickUntil(*fm, [&] { return sink.sets.size() >= 2; }));
    ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));
    const std::size_t before = sink.sets.size();
    waitSent(*sim, sentCount(*sim) + 6);
    fm->tmStartTimer();
    EXPECT_EQ(sink.sets.size(), before);

    ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));
    fm->tmStartTimer();
    EXPECT_GE(sink.sets.size(), before + 6);
    ExpectPlottedAsSent(sink.sets.size());
    for (std::size_t i = 1; i < sink.sets.size(); ++i) {
        EXPECT_GT(sink.sets[i].t, sink.sets[i - 1].t);
    }
    EXPECT_FLOAT_EQ(sink.batchEnds.back(), sink.sets.back().t);
}

TEST_F(AcquisitionTest, LinkLostStopsTheRunKeepsTheDataAndAllowsReconnecting) {
    Connect();
    Start();
    ASSERT_TRUE(tickUntil(*fm, [&] { return sink.sets.size() >= 2; }));
    ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));
    const std::size_t delivered = waitSent(*sim, sentCount(*sim) + 4);

    sim->HangUp();
    ASSERT_TRUE(tickUntil(*fm, [&] { return !fm->IsConnected(); }));
    ExpectPlottedAsSent(delivered);
    EXPECT_EQ(sink.events.back(), "analysis");
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0].text, constantText("DK_LINK_LOST"));
    EXPECT_FALSE(view.timers[1]);
    EXPECT_EQ(view.status[kPanelConnection], "<НЕТ>");
    fm->UpdateActions();
    EXPECT_FALSE(fm->FindAction("acDeviceConnect")->Checked());
    EXPECT_FALSE(fm->FindAction("acDeviceStop")->Enabled());
    EXPECT_FALSE(fm->IsPaused());

    sim::tSimulator other(FastStation());
    other.Start();
    fm->Settings().SetSettingByName("Ports", other.PortPath());
    ASSERT_TRUE(fm->ExecuteAction("acDeviceConnect"));
    EXPECT_TRUE(fm->IsConnected());
    Start();
    sink = {};
    EXPECT_TRUE(tickUntil(*fm, [&] { return !sink.sets.empty(); }));
}

TEST_F(AcquisitionTest, ScenarioSendsStateActionsAndStopsAfterItsFinalState) {
    Connect();
    fm->Experiment().Load(
        makeScenario("Опыт", 0, {1}, {{"Нагрев", {"H0,1,100"}}, {"Мешание", {"M0,1,50"}}}),
        std::make_unique<tFakeProgram>([](auto&) { return 1; }), "");
    Start();
    EXPECT_EQ(view.scenarioLabel, "Опыт - Нагрев");
    ASSERT_TRUE(WaitReceived("S"));
    EXPECT_LT(Find("H0,1,100"), Find("S"));  // written directly, before the start command

    ASSERT_TRUE(tickUntil(*fm, [&] { return !fm->IsMeasuring(); }));
    EXPECT_EQ(view.scenarioLabel, "Опыт - Мешание");
    EXPECT_GT(Find("M0,1,50"), Find("S"));
    EXPECT_GT(Find("T"), Find("M0,1,50"));
    EXPECT_EQ(fm->Experiment().GetStatus(), esLoaded);
    EXPECT_EQ(sink.events.back(), "analysis");

    // Started again, the run restarts from the start state.
    Start();
    EXPECT_EQ(view.scenarioLabel, "Опыт - Нагрев");
    EXPECT_GT(Find("H0,1,100", Find("T")), 0);
}

TEST_F(AcquisitionTest, ScenarioErrorInATickKeepsTheLaterPacketsOfThatTick) {
    Connect();
    fm->Experiment().Load(
        makeScenario("S", 0, {5}, {{"A", {}}}),
        std::make_unique<tFakeProgram>([](auto&) -> int { throw tError("bad script"); }), "");
    Start();
    ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));
    const std::size_t delivered = waitSent(*sim, 8);
    ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));

    try {
        fm->tmStartTimer();
        FAIL() << "the script's error must leave the tick";
    } catch (const tError& e) {
        EXPECT_STREQ(e.what(), "bad script");
    }
    ExpectPlottedAsSent(delivered);
    EXPECT_GT(sink.batchEnds.size(), 1u);  // more than one packet was in that tick
    EXPECT_EQ(log.Count("bad script"), 1);
    EXPECT_TRUE(fm->IsMeasuring());
    EXPECT_NO_THROW(fm->tmStartTimer());
}

TEST_F(AcquisitionTest, StartDisarmsTheCountdownAndStopArmsIt) {
    Connect();
    fm->tmTimeTimer();
    EXPECT_EQ(fm->SwitchOffElapsed(), 300);
    Start();
    EXPECT_EQ(fm->SwitchOffArmed(), -1);
    fm->tmTimeTimer();
    EXPECT_EQ(view.status[kPanelSwitchOff], "");
    fm->UpdateActions();
    EXPECT_FALSE(fm->FindAction("acFileExport")->Enabled());
    ASSERT_TRUE(fm->ExecuteAction("acDeviceStop"));
    EXPECT_EQ(fm->SwitchOffArmed(), 1);
    EXPECT_EQ(fm->SwitchOffElapsed(), 0);
    fm->UpdateActions();
    EXPECT_TRUE(fm->FindAction("acFileExport")->Enabled());
}

TEST_F(AcquisitionTest, ChartActionsReachTheChartModelAfterARun) {
    Make("", true);
    Connect();
    fm->RelativeItemToggled(0, true);
    EXPECT_TRUE(fm->Charts().Relative(0));
    ASSERT_TRUE(fm->ExecuteAction("acViewChooseCoord"));
    EXPECT_EQ(view.relativeMenuShown, 1);

    Start();
    ASSERT_TRUE(tickUntil(*fm, [&] { return fm->Charts().PointCount() >= 4; }));
    ASSERT_TRUE(fm->ExecuteAction("acDeviceStop"));
    EXPECT_EQ(fm->Charts().Mode(), tChartMode::Analysis);
    const std::size_t points = fm->Charts().PointCount();

    fm->UpdateActions();
    EXPECT_FALSE(fm->FindAction("acFileMarkPoint")->Enabled());
    fm->chAccGyroClick(fm->Charts().TimeSeries(0).X(2));
    EXPECT_EQ(fm->Charts().CursorIndex(), 2);
    ASSERT_TRUE(fm->ExecuteAction("acFileMarkPoint"));
    EXPECT_TRUE(fm->Charts().Selection().HasMarks());

    ASSERT_TRUE(fm->ExecuteAction("acFileSetZeroMarker"));
    fm->chAccGyroClick(fm->Charts().TimeSeries(0).X(1));
    EXPECT_EQ(fm->Charts().ZeroMarkerIndex(), 1);

    ASSERT_TRUE(fm->ExecuteAction("acFileShowAll"));
    EXPECT_TRUE(fm->Charts().ShowAll());

    const std::string file = config.Dir() + "/run.csv";
    view.saveFileAnswers = {file};
    ASSERT_TRUE(fm->ExecuteAction("acFileExport"));
    EXPECT_EQ(view.saveDialogs.at(0), "csv|CSV-файлы (*.csv)|*.csv|Все файлы (*.*)|*.*");
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(view.status[kPanelHint], "Записана 1 отмеченная точка");
    view.saveFileAnswers = {std::nullopt};
    std::filesystem::remove(file);
    ASSERT_TRUE(fm->ExecuteAction("acFileExport"));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(fm->Charts().PointCount(), points);
}

}  // namespace
}  // namespace vantrel::test
