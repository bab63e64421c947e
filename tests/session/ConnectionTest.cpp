#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "base/Locale.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "device/Device.h"
#include "experiment/Experiment.h"
#include "experiment/FakeProgram.h"
#include "session/StationFixture.h"
#include "support/TempDir.h"

namespace vantrel::test {
namespace {

using ConnectionTest = StationFixture;

TEST_F(ConnectionTest, ConnectQueriesThenSetsPeriodAndToggles) {
    Connect();
    EXPECT_EQ(view.status[kPanelConnection], sim->PortPath());
    EXPECT_TRUE(fm->FindAction("acDeviceConnect")->Checked());

    const int query = Find("?");
    ASSERT_GE(query, 0);
    EXPECT_EQ(Find("F200"), query + 1);
    EXPECT_EQ(fm->DigitisePeriod(), 200);
    // The query's reply reached the frames.
    EXPECT_EQ(view.frames[0].stateText, "Выкл");
    EXPECT_EQ(view.frames[0].speedText, "0");
    fm->UpdateActions();
    EXPECT_TRUE(view.actuatorPanelVisible);

    // Pressing again disconnects; and again searches from scratch.
    fm->setPeriod(1000);
    ASSERT_TRUE(fm->ExecuteAction("acDeviceConnect"));
    EXPECT_FALSE(fm->IsConnected());
    EXPECT_EQ(view.status[kPanelConnection], "<НЕТ>");
    fm->UpdateActions();
    EXPECT_FALSE(view.actuatorPanelVisible);
    EXPECT_FALSE(fm->FindAction("acDeviceConnect")->Checked());

    ASSERT_TRUE(fm->ExecuteAction("acDeviceConnect"));
    EXPECT_TRUE(fm->IsConnected());
    EXPECT_EQ(fm->DigitisePeriod(), 200);
    EXPECT_GT(Find("F200", Find("F1000")), 0);
}

TEST_F(ConnectionTest, FirstStationInPortOrderWinsAndTheOtherIsClosed) {
    sim::tSimulator second(FastStation());
    second.Start();
    for (bool secondFirst : {true, false}) {
        const std::string& winner = secondFirst ? second.PortPath() : sim->PortPath();
        const std::string& loser = secondFirst ? sim->PortPath() : second.PortPath();
        fm.reset();
        config.Write(winner + ";" + loser);
        fm = std::make_unique<TfmMain>(view, config.Path(), &sink);
        Connect();
        EXPECT_EQ(fm->PortName(), winner);

        // A port still held by the program cannot be opened again.
        tDevice probe(loser, &fm->Settings());
        std::string error;
        EXPECT_TRUE(probe.Open(error)) << "the extra station was left open: " << error;
        probe.Close();
        tDevice held(winner, &fm->Settings());
        EXPECT_FALSE(held.Open(error));
    }
}

// Connect remembers where the station answered and tries that port first
// next time: found there, the ports before it are not tried at all. A
// remembered port the list no longer holds changes nothing.
TEST_F(ConnectionTest, ConnectTriesTheRememberedPortFirst) {
    sim::tSimulator first(FastStation());
    first.Start();
    tTempDir dir;
    const std::string memory = dir.file("station-port");
    const auto identifications = [](const sim::tSimulator& station) {
        const auto lines = station.ReceivedLines();
        return std::count(lines.begin(), lines.end(), "I");
    };
    fm.reset();
    config.Write(first.PortPath() + ";" + sim->PortPath());
    fm = std::make_unique<TfmMain>(view, config.Path(), &sink);
    fm->SetPortMemory(memory);
    Connect();
    EXPECT_EQ(fm->PortName(), first.PortPath());
    EXPECT_EQ(readBytes(memory), first.PortPath() + "\n");

    for (const std::string& remembered : {sim->PortPath(), std::string("/dev/no-such-port")}) {
        SCOPED_TRACE(remembered);
        ASSERT_TRUE(fm->ExecuteAction("acDeviceConnect"));  // disconnects
        writeBytes(memory, remembered + "\n");
        const auto before = identifications(first);
        Connect();
        const bool inList = remembered == sim->PortPath();
        EXPECT_EQ(fm->PortName(), inList ? sim->PortPath() : first.PortPath());
        EXPECT_EQ(identifications(first) > before, !inList);
        EXPECT_EQ(readBytes(memory), fm->PortName() + "\n");
    }
}

TEST_F(ConnectionTest, NoStationLeavesTheActionUncheckedAndLogsWhy) {
    fm.reset();
    config.Write(config.Dir() + "/no-such-port");
    fm = std::make_unique<TfmMain>(view, config.Path(), &sink);
    log.Clear();
    ASSERT_TRUE(fm->ExecuteAction("acDeviceConnect"));
    EXPECT_FALSE(fm->IsConnected());
    EXPECT_FALSE(fm->FindAction("acDeviceConnect")->Checked());
    EXPECT_EQ(view.status[kPanelConnection], "<НЕТ>");
    const int registry = log.IndexOf("Registry created");
    ASSERT_GE(registry, 0);
    EXPECT_LT(registry, log.IndexOf("Get Value Names."));
    EXPECT_EQ(log.Count("COM: Устройство не найдено."), 1);
}

TEST_F(ConnectionTest, PeriodDialogValidatesAndKeepsTheTypedText) {
    Connect();
    view.inputAnswers = {"199", "60001", "abc", "", "60000"};
    ASSERT_TRUE(fm->ExecuteAction("acDeviceFreq"));
    ASSERT_EQ(view.warnings.size(), 4u);
    EXPECT_EQ(view.warnings[0].text, "Значение должно лежать в интервале from 200 to 60000!.");
    EXPECT_EQ(view.warnings[0].caption, "Внимание");
    ASSERT_EQ(view.inputs.size(), 5u);
    EXPECT_EQ(view.inputs[0].edit, "200");
    EXPECT_EQ(view.inputs[0].caption, "Ввод данных");
    EXPECT_EQ(view.inputs[0].text, "Введите значение периода оцифровки, мс :");
    EXPECT_EQ(view.inputs[1].edit, "199");
    EXPECT_EQ(view.inputs[3].edit, "abc");
    EXPECT_EQ(fm->DigitisePeriod(), 60000);
    EXPECT_GE(Find("F60000"), 0);

    view.inputAnswers = {"200"};
    ASSERT_TRUE(fm->ExecuteAction("acDeviceFreq"));
    EXPECT_EQ(view.inputs.back().edit, "60000");
    EXPECT_EQ(fm->DigitisePeriod(), 200);
    EXPECT_GE(Find("F200", Find("F60000")), 0);

    const auto before = Received().size();
    view.inputAnswers = {std::nullopt};
    ASSERT_TRUE(fm->ExecuteAction("acDeviceFreq"));
    EXPECT_EQ(fm->DigitisePeriod(), 200);
    EXPECT_EQ(Received().size(), before);
    EXPECT_EQ(view.warnings.size(), 4u);
}

TEST_F(ConnectionTest, ActuatorButtonsSendCommandsAndRefreshFromTheStation) {
    Connect();
    // Idle: the command goes out at once and the state query follows.
    view.actuatorEdit[1] = "-50";
    fm->btnSetClick(1);
    const int set = Find("M0,1,-50");
    ASSERT_GE(set, 0);
    EXPECT_EQ(Received().at(set + 1), "?");
    EXPECT_TRUE(view.frames[1].backVisible);
    EXPECT_FALSE(view.frames[1].forwardVisible);
    EXPECT_EQ(view.frames[1].speedText, "50");
    EXPECT_EQ(view.frames[1].stateText, "Вкл");

    // Measuring: the commands travel through the measurement thread.
    Start();
    view.actuatorEdit[2] = "3";
    view.actuatorEdit[0] = "";
    fm->btnSetClick(2);
    fm->btnSetClick(0);
    fm->btnClearClick(3);
    EXPECT_TRUE(WaitReceived("D1,1,3"));
    // Off commands go ahead of what is queued.
    EXPECT_LT(Find("H0,0,0"), Find("D1,1,3"));
    EXPECT_LT(Find("D2,0"), Find("D1,1,3"));
    EXPECT_EQ(Find("?", set + 2), -1);  // no query while measuring

    log.Clear();
    fm->btnSetClick(7);
    EXPECT_EQ(log.Count("SET: Strange component!"), 1);
}

TEST(ConnectionReply, IncompleteStateReplyIsLoggedAndLeavesTheFrames) {
    tMemoryLog log;
    for (const auto& [reply, logged] :
         {std::pair<std::string, std::string>{"H0:1,2\tM0:0,0\tD1:0,0\tD2:0,0\t\r\n",
                                              "8 CANNOT PARSE DEVICE STATE!"},
          {"M0:0,0\tH0:1,2\r\n", "0 CANNOT PARSE DEVICE STATE!"}}) {
        tScriptedStation station(reply);
        tTempConfig config;
        config.Write(station.Path());
        tTestView view;
        TfmMain fm(view, config.Path());
        ASSERT_TRUE(fm.ExecuteAction("acDeviceConnect"));
        ASSERT_TRUE(fm.IsConnected());
        EXPECT_EQ(log.Count(logged), 1) << reply;
        EXPECT_EQ(view.frames[0].speedText, "???");
        fm.Station().Disconnect();
    }
}

// Which actions are enabled in each controller state, for every scenario status.
TEST_F(ConnectionTest, ActionEnablementFollowsControllerAndScenarioState) {
    const char* const names[] = {"acDeviceConnect",   "acDeviceStart", "acDevicePause",
                                 "acDeviceStop",      "acDeviceFreq",  "acDeviceSettings",
                                 "acFileOpen",        "acFileClose",   "acFileSetZeroMarker",
                                 "acFileMarkPoint",   "acFileExport",  "acFileShowAll",
                                 "acViewChooseCoord", "acViewToolBar", "acViewStatusBar",
                                 "acHelpAbout",       "acFileExit"};
    auto enabled = [&] {
        fm->UpdateActions();
        std::string flags;
        for (const char* name : names) {
            flags += fm->FindAction(name)->Enabled() ? '1' : '0';
        }
        return flags;
    };
    auto setScenario = [&](tExperimentStatus status) {
        tExperiment& e = fm->Experiment();
        if (status == esEmpty) {
            e.Close();
            return;
        }
        e.Load(makeScenario("S", 0, {0}, {{"A", {}}}),
               std::make_unique<tFakeProgram>([](auto&) { return 0; }), "");
        if (status >= esRunning) {
            e.Start();
        }
        if (status == esFinished) {
            e.Update(std::vector<float>(14, 0.f));
        }
        ASSERT_EQ(e.GetStatus(), status);
    };
    struct tRow {
        const char* state;
        const char* flags;        // for esEmpty, esRunning and esFinished
        const char* loadedFlags;  // for esLoaded
    };
    //                       Cn St Pa Sp Fr Se Op Cl Ze Ma Ex Sh Ch Tb Sb Ab Xt
    const tRow rows[] = {
        {"Idle", "10000000000001111", "10000000000001111"},
        {"Connected", "11001110101111111", "11001111101111111"},
        {"Measuring", "10111100100101111", "10111100100101111"},
        {"Paused", "10111100100101111", "10111100100101111"},
    };
    auto check = [&](const tRow& row) {
        for (tExperimentStatus status : {esEmpty, esLoaded, esRunning, esFinished}) {
            setScenario(status);
            EXPECT_EQ(enabled(), status == esLoaded ? row.loadedFlags : row.flags)
                << row.state << " scenario status " << int(status);
        }
        fm->Experiment().Close();
    };

    check(rows[0]);
    Connect();
    check(rows[1]);
    Start();
    check(rows[2]);
    EXPECT_FALSE(fm->FindAction("acDevicePause")->Checked());
    ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));
    EXPECT_TRUE(fm->IsPaused());
    check(rows[3]);

    // Disconnecting while paused clears the pause mark at the next update.
    ASSERT_TRUE(fm->ExecuteAction("acDeviceConnect"));
    EXPECT_FALSE(fm->IsConnected());
    EXPECT_TRUE(fm->IsPaused());
    check(rows[0]);
    EXPECT_FALSE(fm->IsPaused());

    // A disabled action does not run, also when executed from code.
    EXPECT_FALSE(fm->ExecuteAction("acDeviceStart"));
    EXPECT_FALSE(fm->ExecuteAction("no such action"));
}

TEST_F(ConnectionTest, ViewActionsToggleBarsAndSettingsDoesNothing) {
    ASSERT_TRUE(fm->FindAction("acViewToolBar")->Checked());
    ASSERT_TRUE(fm->ExecuteAction("acViewToolBar"));
    EXPECT_FALSE(view.toolBarVisible);
    EXPECT_FALSE(fm->FindAction("acViewToolBar")->Checked());
    ASSERT_TRUE(fm->ExecuteAction("acViewStatusBar"));
    ASSERT_TRUE(fm->ExecuteAction("acViewStatusBar"));
    EXPECT_TRUE(view.statusBarVisible);

    Connect();
    const auto calls = view.calls.size();
    const auto sent = Received().size();
    EXPECT_TRUE(fm->ExecuteAction("acDeviceSettings"));
    EXPECT_EQ(view.calls.size(), calls);
    EXPECT_EQ(Received().size(), sent);
}

TEST_F(ConnectionTest, ExitAsksAndOnlyYesCloses) {
    bool closed = false;
    view.onClose = [&] {
        closed = fm->FormCloseQuery();
        if (closed) {
            fm->FormClose();
        }
    };
    Connect();
    Start();

    view.yesNoAnswers = {false};
    ASSERT_TRUE(fm->ExecuteAction("acFileExit"));
    EXPECT_FALSE(closed);
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0].text, "Вы действительно хотите выйти из программы?");
    EXPECT_EQ(view.questions[0].caption, "Подтверждение");
    EXPECT_TRUE(fm->IsMeasuring());

    // Refused already: stays refused, no question.
    EXPECT_FALSE(fm->FormCloseQuery(false));
    EXPECT_EQ(view.questions.size(), 1u);

    // The system ending the session asks nothing; a cancelled end asks again.
    EXPECT_TRUE(fm->QueryEndSession());
    EXPECT_TRUE(fm->FormCloseQuery());
    fm->EndSession(false);
    view.yesNoAnswers = {false};
    EXPECT_FALSE(fm->FormCloseQuery());
    EXPECT_EQ(view.questions.size(), 2u);

    view.yesNoAnswers = {true};
    ASSERT_TRUE(fm->ExecuteAction("acFileExit"));
    EXPECT_TRUE(closed);
    EXPECT_TRUE(WaitReceived("T"));
    EXPECT_FALSE(sim->Measuring());
}

TEST_F(ConnectionTest, SwitchOffCountdownBlinksThenDisconnects) {
    Make("SwitchOffTime=1\nWarnTime=60\n");
    setLocaleFacts(tLocaleFacts{});  // plain H:mm:ss, whatever the log did
    fm->tmTimeTimer();
    EXPECT_EQ(view.status[kPanelSwitchOff], "");  // not connected: disarmed
    Connect();
    EXPECT_EQ(fm->SwitchOffArmed(), 1);
    EXPECT_EQ(fm->SwitchOffElapsed(), 0);

    // Within the warning time the panel blinks.
    fm->tmTimeTimer();
    EXPECT_EQ(view.status[kPanelSwitchOff], "0:00:59");
    fm->tmTimeTimer();
    EXPECT_EQ(view.status[kPanelSwitchOff], "");
    fm->tmTimeTimer();
    EXPECT_EQ(view.status[kPanelSwitchOff], "0:00:59");
    EXPECT_FALSE(view.status[kPanelClock].empty());

    // Keys are read on every tick.
    fm->Settings().SetSettingByName("WarnTime", "10");
    fm->tmTimeTimer();
    EXPECT_EQ(view.status[kPanelSwitchOff], "0:00:58");
    fm->tmTimeTimer();
    EXPECT_EQ(view.status[kPanelSwitchOff], "0:00:58");
    fm->Settings().SetSettingByName("CheckOffTimer", "0");
    fm->tmTimeTimer();
    EXPECT_EQ(view.status[kPanelSwitchOff], "");
    EXPECT_EQ(fm->SwitchOffElapsed(), 1500);

    // No time at all is no countdown, not a disconnect.
    fm->Settings().SetSettingByName("CheckOffTimer", "1");
    for (const char* none : {"0", "-5"}) {
        fm->Settings().SetSettingByName("SwitchOffTime", none);
        fm->tmTimeTimer();
        EXPECT_TRUE(fm->IsConnected()) << none;
        EXPECT_EQ(view.status[kPanelSwitchOff], "") << none;
    }

    // When it fires, what may be running is switched off before the link
    // closes, and the user is told why.
    view.actuatorEdit[0] = "100";
    fm->btnSetClick(0);
    ASSERT_EQ(view.frames[0].stateText, "Вкл");
    fm->Settings().SetSettingByName("SwitchOffTime", "1");
    for (int tick = 0; tick < 250 && fm->IsConnected(); ++tick) {
        fm->tmTimeTimer();
    }
    EXPECT_FALSE(fm->IsConnected());
    EXPECT_GT(Find("H0,0", Find("H0,1,100")), 0);
    EXPECT_EQ(Find("M0,0"), -1);  // the stirrer was off
    EXPECT_EQ(log.Count("SAFETY: ALL OFF, IDLE SWITCH-OFF"), 1);
    EXPECT_EQ(view.status[kPanelHint], formatText(constantText("DK_SAFE_IDLE"), {"1"}));
    EXPECT_EQ(view.status[kPanelConnection], "<НЕТ>");
    EXPECT_EQ(fm->SwitchOffArmed(), -1);
    fm->tmTimeTimer();
    EXPECT_EQ(view.status[kPanelSwitchOff], "");
}

}  // namespace
}  // namespace vantrel::test
