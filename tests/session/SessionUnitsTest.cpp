// The controller's self-contained parts on their own: the record decoder,
// the switch-off countdown and the station finder.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Locale.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "charts/Quantities.h"
#include "device/Device.h"
#include "session/RecordDecoder.h"
#include "session/SessionTestSupport.h"
#include "session/StationFinder.h"
#include "session/SwitchOffCountdown.h"
#include "sim/Simulator.h"

namespace vantrel::test {
namespace {

TEST(RecordDecoder, ScalesAcceptedRecordsAndLogsTheCountOfOthers) {
    tMemoryLog log;
    tActuatorTable table = initialActuators();
    tRecordDecoder decoder(table, 0.5);
    struct tCase {
        const char* line;
        std::optional<float> v1;   // scaled, when accepted
        std::int32_t heaterSpeed;  // stored as it matched, accepted or not
        const char* logged;
    };
    const tCase cases[] = {
        {"LT:25.5\tLP:7.02\tLC:1.25\tLE:0.215\tV1:100\tV2:0\tV3:0\tH0:1,128\tM0:1,-40\t"
         "D1:0,0\tD2:0,0\tD3:0,0\tTT:1200",
         50.f, 128, nullptr},
        // Lower-case stirrer id: the heater's numbers are in, the rest is not.
        {"LT:1 LP:2 LC:3 LE:4 V1:5 V2:6 V3:7 H0:1,77 m0:1,1 D1:0,0 D2:0,0 D3:0,0 TT:1",
         std::nullopt, 77, "9: STRANGE ANSWER. IGNORED."},
        {"", std::nullopt, 77, "-1: STRANGE ANSWER. IGNORED."},
        {"LT:1,5\tLP:2", std::nullopt, 77, "1: STRANGE ANSWER. IGNORED."},
    };
    for (const tCase& c : cases) {
        log.Clear();
        const std::optional<tRecord> record = decoder.Decode(c.line);
        ASSERT_EQ(record.has_value(), c.v1.has_value()) << c.line;
        if (record) {
            EXPECT_FLOAT_EQ(record->readings[qV1], *c.v1);
            EXPECT_FLOAT_EQ(record->readings[qLT], 25.5f);
            EXPECT_FLOAT_EQ(record->time, 1.2f);
            EXPECT_EQ(table[1].speed, -40);
        }
        EXPECT_EQ(table[0].speed, c.heaterSpeed) << c.line;
        EXPECT_EQ(log.Lines(),
                  c.logged ? std::vector<std::string>{c.logged} : std::vector<std::string>{})
            << c.line;
    }
}

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
    tStationFinder finder(settings);
    std::unique_ptr<tDevice> device = finder.Find(onPort, [](int) { return true; });
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->PortName(), station.PortPath());
    EXPECT_EQ(ports,
              (std::vector<std::string>{silent.PortPath() + " 1", station.PortPath() + " 0"}));
    device.reset();

    // The first wait says stop: the mute port's test ends, no other is tried.
    ports.clear();
    tStationFinder cancelled(settings);
    EXPECT_EQ(cancelled.Find(onPort, [](int) { return false; }), nullptr);
    EXPECT_TRUE(cancelled.Cancelled());
    EXPECT_EQ(ports, std::vector<std::string>{silent.PortPath() + " 1"});
    EXPECT_TRUE(log.Contains("COM: " + constantText("DK_CONN_CANCELLED")));
}

}  // namespace
}  // namespace vantrel::test
