#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/NumberSetting.h"
#include "base/Settings.h"
#include "support/CaptureLog.h"

namespace vantrel {
namespace {

// What a teacher may write for a key, and what the program makes of it.
TEST(NumberSetting, ReadsWhatAKeyMeansAndTellsWhatItDoesNot) {
    struct tCase {
        const tNumberKey* key;
        const char* text;
        double value;
        bool told;
    };
    const tCase cases[] = {
        {&keys::kMaxTemperature, "45", 45, false},
        {&keys::kMaxTemperature, " 45 °C ", 45, false},
        {&keys::kMaxTemperature, "45,5 C", 45.5, false},
        {&keys::kMaxTemperature, "", 90, false},
        {&keys::kMaxTemperature, "45 ml", 90, true},
        {&keys::kMaxTemperature, "2000", 90, true},
        {&keys::kMaxVolume1, "20 мл", 20, false},
        {&keys::kMaxVolume1, "1 000", 0, true},
        {&keys::kSilenceLimit, "0.5", 0.5, false},
        {&keys::kTimeout, "1.5", 1000, true},
        {&keys::kCheckCount, "-2", -2, false},
        {&keys::kVolCoeff, "0", static_cast<double>(0.0934f), true},
        {&keys::kVolCoeff, "0,1", 0.1, false},
        {&keys::kSwitchOffTime, "10 min", 10, false},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(std::string(c.key->name) + "=" + c.text);
        tSettings settings;
        settings.SetSettingByName(c.key->name, c.text);
        std::vector<tUnreadSetting> unread;
        EXPECT_DOUBLE_EQ(readNumberSetting(settings, *c.key, unread), c.value);
        ASSERT_EQ(unread.size(), c.told ? 1u : 0u);
        if (c.told) {
            EXPECT_EQ(unread[0].key, c.key->name);
            EXPECT_EQ(unread[0].used, c.key->fallback);
        }
    }
}

// A key read on every clock tick is logged once per text, not per tick, and
// an edit counts at once.
TEST(NumberSetting, ALiveKeyLogsABadTextOnce) {
    test::tCaptureLog log;
    tSettings settings;
    tLiveNumberSetting warn(keys::kWarnTime);
    settings.SetSettingByName("WarnTime", "soon");
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_EQ(warn.Read(settings), 30);
    }
    settings.SetSettingByName("WarnTime", "10 s");
    EXPECT_EQ(warn.Read(settings), 10);
    EXPECT_EQ(log.Lines().size(), 1u);
}

}  // namespace
}  // namespace vantrel
