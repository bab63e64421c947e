// The controller's self-contained parts on their own: the switch-off
// countdown and the station finder.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/Locale.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "device/DetectorReaper.h"
#include "device/Device.h"
#include "session/SessionTestSupport.h"
#include "sim/Simulator.h"
#include "station/StationFinder.h"
#include "station/SwitchOffCountdown.h"

namespace vantrel::test {
namespace {

TEST(SwitchOffCountdown, ArmsCountsBlinksAndFires) {
    setLocaleFacts(tLocaleFacts{});
    tSettings settings;
    settings.SetSettingByName("SwitchOffTime", "1");
    settings.SetSettingByName("WarnTime", "60");
    std::vector<std::string> shown;
    tSwitchOffCountdown countdown(settings,
                                  [&](const std::string& text) { shown.push_back(text); });

    EXPECT_FALSE(countdown.Tick(300));  // not armed: nothing counts, nothing shows
    EXPECT_TRUE(shown.empty());
    countdown.Arm();
    EXPECT_FALSE(countdown.Tick(300));
    EXPECT_EQ(shown, std::vector<std::string>{"0:00:59"});
    for (int tick = 0; tick < 3; ++tick) {  // within WarnTime: every other tick empty
        countdown.Tick(300);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"0:00:59", "", "0:00:59", ""}));

    settings.SetSettingByName("SwitchOffTime", "0");  // read on every tick
    for (int tick = 0; tick < 300; ++tick) {
        EXPECT_FALSE(countdown.Tick(300));
    }
    EXPECT_EQ(countdown.Elapsed(), 1200);  // no time at all does not count down
    settings.SetSettingByName("SwitchOffTime", "1");
    int ticks = 0;
    while (!countdown.Tick(300) && ticks < 1000) {
        ++ticks;
    }
    EXPECT_EQ(ticks, (60000 - 1200) / 300);
    countdown.Disarm();
    EXPECT_EQ(countdown.Armed(), -1);
    EXPECT_EQ(shown.back(), "");
}

TEST(StationFinder, TellsEachPortAndEndsAtACancel) {
    tMemoryLog log;
    sim::tOptions mute;
    mute.faults.ignoreIdentify = true;
    sim::tSimulator silent(mute);
    sim::tSimulator station;
    silent.Start();
    station.Start();
    tSettings settings;
    settings.SetSettingByName("Timeout", "10");
    settings.SetSettingByName("CheckCount", "2");
    settings.SetSettingByName("CheckTimeout", "100");
    settings.SetSettingByName("Ports", silent.PortPath() + ";" + station.PortPath());

    std::vector<std::string> ports;
    const auto onPort = [&](const std::string& port, int remaining) {
        ports.push_back(port + " " + std::to_string(remaining));
    };
    tDetectorReaper reaper;
    tStationFinder finder(settings, reaper);
    std::unique_ptr<tDevice> device = finder.Find(onPort, [](int) { return true; });
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->PortName(), station.PortPath());
    EXPECT_EQ(ports,
              (std::vector<std::string>{silent.PortPath() + " 1", station.PortPath() + " 0"}));
    device.reset();

    // The first wait says stop: no other port is tried, and the search
    // returns without joining the mute port's test; whether that test has
    // already seen the stop is up to the scheduler, so only that the reaper
    // collects it in the end is checked.
    ports.clear();
    settings.SetSettingByName("CheckTimeout", "1000");
    tStationFinder cancelled(settings, reaper);
    EXPECT_EQ(cancelled.Find(onPort, [](int) { return false; }), nullptr);
    EXPECT_TRUE(cancelled.Cancelled());
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!reaper.Reap() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(reaper.Reap());
    EXPECT_EQ(ports, std::vector<std::string>{silent.PortPath() + " 1"});
    EXPECT_TRUE(log.Contains("COM: " + constantText("DK_CONN_CANCELLED")));
}

}  // namespace
}  // namespace vantrel::test
