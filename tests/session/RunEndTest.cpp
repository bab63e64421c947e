#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "device/Device.h"
#include "experiment/Experiment.h"
#include "experiment/FakeProgram.h"
#include "session/StationFixture.h"

namespace vantrel::test {
namespace {

using RunEndTest = StationFixture;

// A scenario that changes state on every reading, so every record pending
// at the end of a run would send commands if it were still stepped.
void loadRestlessScenario(TfmMain& fm) {
    fm.Experiment().Load(
        makeScenario("Restless", 0, {}, {{"A", {"H0,1,10"}}, {"B", {"H0,1,20"}}}),
        std::make_unique<tFakeProgram>([](auto& args) { return 1 - int(args[0].value); }), "");
}

TEST_F(RunEndTest, AfterTheStopCommandOnlyTheStateQueryReachesTheStation) {
    Connect();
    loadRestlessScenario(*fm);
    for (bool paused : {false, true}) {
        Start();
        ASSERT_TRUE(tickUntil(*fm, [&] { return sink.sets.size() >= 2; }));
        if (paused) {
            ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));
        }
        const std::size_t plotted = sink.sets.size();
        // Records pile up in the thread's queue without a tick to take them.
        const std::size_t sent = sim->SentRecords().size();
        while (sim->SentRecords().size() < sent + 4) {
            std::this_thread::sleep_for(10ms);
        }
        std::this_thread::sleep_for(250ms);
        ASSERT_TRUE(fm->ExecuteAction("acDeviceStop"));
        EXPECT_GT(sink.sets.size(), plotted + 3) << "pending records are still plotted";

        const auto lines = Received();
        const int stop = Find("T", static_cast<int>(lines.size()) - 2);
        ASSERT_GE(stop, 0) << paused;
        EXPECT_EQ(std::vector<std::string>(lines.begin() + stop + 1, lines.end()),
                  std::vector<std::string>{"?"})
            << (paused ? "paused" : "running");
        sink = {};
    }
}

TEST_F(RunEndTest, RunStaysUsableAfterTheLinkIsLost) {
    Make("", true);
    Connect();
    Start();
    ASSERT_TRUE(tickUntil(*fm, [&] { return fm->Charts().PointCount() >= 5; }));
    sim->HangUp();
    ASSERT_TRUE(tickUntil(*fm, [&] { return !fm->IsConnected(); }));
    EXPECT_EQ(view.errors.at(0).text, constantText("DK_LINK_LOST"));

    fm->UpdateActions();
    for (const char* name : {"acFileExport", "acFileShowAll", "acFileSetZeroMarker"}) {
        EXPECT_TRUE(fm->FindAction(name)->Enabled()) << name;
    }
    EXPECT_FALSE(fm->FindAction("acFileMarkPoint")->Enabled());  // nothing inspected yet
    fm->chAccGyroClick(fm->Charts().TimeSeries(0).X(3));
    ASSERT_TRUE(fm->ExecuteAction("acFileMarkPoint"));
    const std::string file = config.Dir() + "/after-loss.csv";
    view.saveFileAnswers = {file};
    ASSERT_TRUE(fm->ExecuteAction("acFileExport"));
    EXPECT_TRUE(std::filesystem::exists(file));
}

// The window tries the port again by itself and says so; the run that the
// lost link ended stays ended, and Start begins a new one. The station may
// have been run by someone else meanwhile: what it reports on is switched off.
TEST_F(RunEndTest, TheWindowReconnectsByItselfAndLeavesTheRunToTheUser) {
    const std::string port = config.Dir() + "/ttyStation";
    std::filesystem::create_symlink(sim->PortPath(), port);
    config.Write(port);
    fm = std::make_unique<TfmMain>(view, config.Path(), &sink);
    fm->SetReconnect(false);
    Connect();
    Start();
    ASSERT_TRUE(tickUntil(*fm, [&] { return sink.sets.size() >= 3; }));
    sim->HangUp();
    ASSERT_TRUE(tickUntil(*fm, [&] { return !fm->IsConnected(); }));
    EXPECT_TRUE(fm->IsReconnecting());
    EXPECT_EQ(view.status[kPanelHint], formatText(constantText("DK_RECONNECTING"), {port}));

    auto second = std::make_unique<sim::tSimulator>(FastStation());
    second->Start();
    {
        tDevice other(second->PortPath(), nullptr);
        std::string error;
        ASSERT_TRUE(other.Open(error)) << error;
        other.SendCommand("H0,1,200");
    }
    std::filesystem::remove(port);
    std::filesystem::create_symlink(second->PortPath(), port);
    const std::size_t plotted = sink.sets.size();
    ASSERT_TRUE(tickUntil(
        *fm,
        [&] {
            fm->tmTimeTimer();
            return fm->IsConnected();
        },
        8000));
    EXPECT_FALSE(fm->IsReconnecting());
    EXPECT_FALSE(fm->IsMeasuring()) << "what to do with the run is the user's choice";
    const auto lines = second->ReceivedLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "H0,0"), lines.end());
    EXPECT_EQ(view.status[kPanelHint], constantText("DK_SAFE_RECONNECTED"));
    EXPECT_EQ(sink.sets.size(), plotted);
    Start();
    const std::size_t before = sink.sets.size();
    EXPECT_TRUE(tickUntil(*fm, [&] { return sink.sets.size() >= before + 2; }));
}

// Three ports: two that never answer, then the station. The search keeps
// the user interface alive, tells which port it tries, disables every
// other action and can be cancelled; closing meanwhile waits for it.
TEST_F(RunEndTest, SearchKeepsTheWindowAliveAndCanBeCancelled) {
    sim::tOptions muteOptions;
    muteOptions.faults.ignoreIdentify = true;
    sim::tSimulator mute1(muteOptions);
    sim::tSimulator mute2(muteOptions);
    mute1.Start();
    mute2.Start();
    fm.reset();
    config.Write(mute1.PortPath() + ";" + mute2.PortPath() + ";" + sim->PortPath());
    fm = std::make_unique<TfmMain>(view, config.Path(), &sink);

    std::vector<std::string> progress;
    bool othersDisabled = true;
    view.onBusy = [&] {
        if (progress.empty() || progress.back() != view.status[kPanelHint]) {
            progress.push_back(view.status[kPanelHint]);
        }
        othersDisabled = othersDisabled && !fm->ExecuteAction("acHelpAbout") &&
                         !fm->ExecuteAction("acDeviceFreq");
        return true;
    };
    Connect();
    EXPECT_GT(view.busyWaits, 10);
    EXPECT_TRUE(othersDisabled);
    const auto searching = [](const std::string& port, int remaining) {
        return formatText(constantText("DK_CONN_SEARCH"), {port, std::to_string(remaining)});
    };
    EXPECT_EQ(progress, (std::vector<std::string>{searching(mute1.PortPath(), 2),
                                                  searching(mute2.PortPath(), 1),
                                                  searching(sim->PortPath(), 0)}));
    EXPECT_EQ(view.status[kPanelHint], "");
    EXPECT_EQ(fm->PortName(), sim->PortPath());
    ASSERT_TRUE(fm->ExecuteAction("acDeviceConnect"));  // disconnect

    // Pressed again while the first port is tried: cancelled there. A close
    // of the window meanwhile is held back and repeated once it is over.
    int waits = 0;
    view.onBusy = [&] {
        if (++waits == 3) {
            EXPECT_TRUE(fm->ExecuteAction("acDeviceConnect"));
            EXPECT_FALSE(fm->FormCloseQuery());
        }
        return true;
    };
    const int closesBefore = view.closeRequests;
    const auto identifications = [&] {
        const auto lines = Received();
        return std::count(lines.begin(), lines.end(), "I");
    };
    const auto asked = identifications();
    ASSERT_TRUE(fm->ExecuteAction("acDeviceConnect"));
    EXPECT_FALSE(fm->IsConnected());
    EXPECT_EQ(view.status[kPanelHint], constantText("DK_CONN_CANCELLED"));
    EXPECT_EQ(log.Count("COM: " + constantText("DK_CONN_CANCELLED")), 1);
    EXPECT_EQ(identifications(), asked) << "the station itself was not asked again";
    EXPECT_EQ(view.closeRequests, closesBefore + 1);
    fm->UpdateActions();
    EXPECT_TRUE(fm->FindAction("acHelpAbout")->Enabled());
}

}  // namespace
}  // namespace vantrel::test
