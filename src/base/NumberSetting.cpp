#include "base/NumberSetting.h"

#include <cmath>

#include "base/Functions.h"
#include "base/LogFile.h"
#include "base/Settings.h"
#include "base/Texts.h"

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
    return formatFixed(value, value == std::floor(value) ? 0 : 4, '.');
}

// The value of `written`, or nothing when it does not read as the key says.
std::optional<double> parse(const tNumberKey& key, const std::string& written) {
    std::string number = written;
    for (const std::string& unit : key.units) {
        if (endsWithUnit(number, unit)) {
            number = trimmed(number.substr(0, number.size() - unit.size()));
            break;
        }
    }
    double value = 0;
    if (number.empty() || !tryParseDecimal(number, value) || !std::isfinite(value) ||
        value < key.low || (key.aboveLow && value == key.low) || value > key.high ||
        (key.whole && value != std::floor(value))) {
        return std::nullopt;
    }
    return value;
}

void logUnread(const tNumberKey& key, const std::string& written) {
    logFile->WriteLine(std::string(key.name) + "=" + written + " does not read (" +
                       (key.whole ? "a whole number " : "a number ") +
                       (key.aboveLow ? "above " : "from ") + numberText(key.low) +
                       (key.aboveLow ? ", up to " : " to ") + numberText(key.high) + "), using " +
                       numberText(key.fallback));
}

}  // namespace

double readNumberSetting(const tSettings& settings, const tNumberKey& key,
                         std::vector<tUnreadSetting>& unread) {
    const std::string written = trimmed(settings.GetSettingByName(key.name));
    if (written.empty()) {
        return key.fallback;
    }
    if (const std::optional<double> value = parse(key, written)) {
        return *value;
    }
    logUnread(key, written);
    unread.push_back({key.name, written, key.fallback});
    return key.fallback;
}

double readNumberSetting(const tSettings& settings, const tNumberKey& key) {
    const std::string written = trimmed(settings.GetSettingByName(key.name));
    return written.empty() ? key.fallback : parse(key, written).value_or(key.fallback);
}

double tLiveNumberSetting::Read(const tSettings& settings) {
    const std::string written = settings.GetSettingByName(key_.name);
    if (!text_ || *text_ != written) {
        std::vector<tUnreadSetting> unread;
        value_ = readNumberSetting(settings, key_, unread);
        text_ = written;
    }
    return value_;
}

std::vector<tUnreadSetting> unreadNumberSettings(const tSettings& settings) {
    std::vector<tUnreadSetting> unread;
    for (const tNumberKey* key :
         {&keys::kVolCoeff, &keys::kOneLanguage, &keys::kLanguageId, &keys::kTimeout,
          &keys::kCheckCount, &keys::kCheckTimeout, &keys::kCheckOffTimer, &keys::kSwitchOffTime,
          &keys::kWarnTime, &keys::kMaxTemperature, &keys::kMaxVolume1, &keys::kMaxVolume2,
          &keys::kMaxVolume3, &keys::kKeepActuatorsOn, &keys::kSilenceLimit}) {
        readNumberSetting(settings, *key, unread);
    }
    return unread;
}

std::string unreadSettingsText(const std::vector<tUnreadSetting>& unread,
                               const std::string& fileName) {
    if (unread.empty()) {
        return {};
    }
    std::string list;
    for (const tUnreadSetting& key : unread) {
        const bool whole = key.used == static_cast<long long>(key.used);
        list += formatText(constantText("DK_SETTING_UNREAD"),
                           {key.key, key.text, formatFixed(key.used, whole ? 0 : 1)}) +
                "\r\n";
    }
    return formatText(constantText("DK_SETTINGS_UNREAD"), {fileName, list});
}

}  // namespace vantrel
