#include "base/NumberSetting.h"

#include <cmath>

#include "base/Functions.h"
#include "base/LogFile.h"
#include "base/Settings.h"

namespace vantrel {

namespace {

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool endsWithUnit(const std::string& text, const std::string& unit) {
    return text.size() >= unit.size() &&
           equalsIgnoreCase(std::string_view(text).substr(text.size() - unit.size()), unit);
}

std::string numberText(double value) {
    return formatFixed(value, value == std::floor(value) ? 0 : 1, '.');
}

}  // namespace

double readNumberSetting(const tSettings& settings, const tNumberKey& key,
                         std::vector<tUnreadSetting>& unread) {
    const std::string written = trimmed(settings.GetSettingByName(key.name));
    if (written.empty()) {
        return key.fallback;
    }
    std::string number = written;
    for (const std::string& unit : key.units) {
        if (endsWithUnit(number, unit)) {
            number = trimmed(number.substr(0, number.size() - unit.size()));
            break;
        }
    }
    double value = 0;
    if (!number.empty() && tryParseDecimal(number, value) && std::isfinite(value) &&
        value >= key.low && value <= key.high) {
        return value;
    }
    logFile->WriteLine(std::string(key.name) + "=" + written + " is not a number from " +
                       numberText(key.low) + " to " + numberText(key.high) + ", using " +
                       numberText(key.fallback));
    unread.push_back({key.name, written, key.fallback});
    return key.fallback;
}

}  // namespace vantrel
