#pragma once

#include <string>
#include <vector>

namespace vantrel {

class tSettings;

// A number key of the configuration: its name, the documented default, the
// range in which it makes sense, and the units a teacher may write after it
// ("45 °C", "20 ml"); units are compared without regard to case.
struct tNumberKey {
    const char* name;
    double fallback;
    double low;
    double high;
    std::vector<std::string> units;
};

// A key whose text did not read: what was written and what is used instead.
struct tUnreadSetting {
    std::string key;
    std::string text;
    double used = 0;
};

// The key's value: absent or empty gives the default silently; text that is
// not a number (a "," or "." decimal, a unit of the key allowed) or lies
// outside the range gives the default, logged and added to `unread` so the
// front end can tell the user.
double readNumberSetting(const tSettings& settings, const tNumberKey& key,
                         std::vector<tUnreadSetting>& unread);

}  // namespace vantrel
