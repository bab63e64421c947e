#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantrel {

class tSettings;

// A number key of the configuration: its name, the documented default, the
// range in which it makes sense, whether it must be whole, and the units a
// teacher may write after it ("45 °C", "20 ml"; compared without regard to
// case).
struct tNumberKey {
    const char* name;
    double fallback;
    double low;
    double high;
    bool whole = false;
    std::vector<std::string> units = {};
    bool aboveLow = false;  // `low` itself is refused
};

// A key whose text did not read: what was written and what is used instead.
struct tUnreadSetting {
    std::string key;
    std::string text;
    double used = 0;
};

// The key's value: absent or empty gives the default silently; text that is
// not a number (a "," or "." decimal, a unit of the key allowed, whole when
// the key says so) or lies outside the range gives the default, logged and
// added to `unread` so that the front end can tell the user.
double readNumberSetting(const tSettings& settings, const tNumberKey& key,
                         std::vector<tUnreadSetting>& unread);
// The same without telling anyone: for a key read again and again.
double readNumberSetting(const tSettings& settings, const tNumberKey& key);

// A key read on every tick (the switch-off countdown's): an edited value
// counts at once, and a bad one is logged once, not on every tick.
class tLiveNumberSetting {
public:
    explicit tLiveNumberSetting(tNumberKey key) : key_(std::move(key)) {}
    double Read(const tSettings& settings);

private:
    tNumberKey key_;
    std::optional<std::string> text_;  // the text the value was read from
    double value_ = 0;
};

// The number keys of the configuration, one definition each.
namespace keys {
inline const tNumberKey kVolCoeff{
    "VolCoeff", static_cast<double>(0.0934f), 0, 1e6, false, {"ml", "мл"}, true};
inline const tNumberKey kOneLanguage{"OneLanguage", 0, -2147483648.0, 2147483647.0, true};
inline const tNumberKey kLanguageId{"LanguageID", 1049, 0, 65535, true};
inline const tNumberKey kTimeout{"Timeout", 1000, 0, 10000, true};
inline const tNumberKey kCheckCount{"CheckCount", 5, -2147483648.0, 100, true};
inline const tNumberKey kCheckTimeout{"CheckTimeout", 500, 1, 10000, true};
inline const tNumberKey kCheckOffTimer{"CheckOffTimer", 1, 0, 1, true};
inline const tNumberKey kSwitchOffTime{"SwitchOffTime", 5, -1e6, 1e6, true, {"min", "мин"}};
inline const tNumberKey kWarnTime{"WarnTime", 30, 0, 86400, true, {"s", "с"}};
inline const tNumberKey kMaxTemperature{"MaxTemperature", 90, -50, 1000, false, {"°C", "C", "°"}};
inline const tNumberKey kMaxVolume1{"MaxVolume1", 0, 0, 1e6, false, {"ml", "мл"}};
inline const tNumberKey kMaxVolume2{"MaxVolume2", 0, 0, 1e6, false, {"ml", "мл"}};
inline const tNumberKey kMaxVolume3{"MaxVolume3", 0, 0, 1e6, false, {"ml", "мл"}};
inline const tNumberKey kKeepActuatorsOn{"KeepActuatorsOn", 0, 0, 1, true};
inline const tNumberKey kSilenceLimit{"SilenceLimit", 10, 0, 86400, false, {"s", "с"}};
}  // namespace keys

// Reads every number key above; the ones that did not read, for the front
// end to tell at start.
std::vector<tUnreadSetting> unreadNumberSettings(const tSettings& settings);

// What the user is told of those keys of the file `fileName`, in the current
// language; empty when every key read.
std::string unreadSettingsText(const std::vector<tUnreadSetting>& unread,
                               const std::string& fileName);

}  // namespace vantrel
