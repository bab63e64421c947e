#include "base/Locale.h"

#include <cstdlib>
#include <ctime>
#include <mutex>
#include <shared_mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

namespace vantrel {

namespace {

std::shared_mutex& factsMutex() {
    static std::shared_mutex mutex;
    return mutex;
}

tLocaleFacts& factsStore() {
    static tLocaleFacts facts;
    return facts;
}

// The separator only counts when it is one byte: a multi-byte radix character
// cannot stand in for "." in the number formats.
char separatorOf(const char* radix) {
    if (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') {
        return radix[0];
    }
    return '.';
}

char environmentDecimalSeparator() {
#ifdef _WIN32
    char buffer[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer) > 0) {
        return separatorOf(buffer);
    }
    return '.';
#else
    const char* name = nullptr;
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') {
            name = value;
            break;
        }
    }
    if (name == nullptr) {
        return '.';
    }
    // A private locale object: the process's numeric C locale stays "C" (the
    // desktop program puts it back after Qt changed it), so no library call
    // elsewhere starts reading or writing numbers with a comma.
    locale_t locale = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) {
        return '.';
    }
    const char separator = separatorOf(nl_langinfo_l(RADIXCHAR, locale));
    freelocale(locale);
    return separator;
#endif
}

std::tm localTime(std::time_t seconds) {
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &seconds);
#else
    localtime_r(&seconds, &parts);
#endif
    return parts;
}

void appendNumber(std::string& out, long value, std::size_t width) {
    std::string digits = std::to_string(value);
    if (digits.size() < width) {
        out.append(width - digits.size(), '0');
    }
    out += digits;
}

}  // namespace

void captureLocaleFacts() {
    const char separator = environmentDecimalSeparator();
    std::unique_lock guard(factsMutex());
    factsStore().decimalSeparator = separator;
}

tLocaleFacts localeFacts() {
    std::shared_lock guard(factsMutex());
    return factsStore();
}

void setLocaleFacts(const tLocaleFacts& facts) {
    std::unique_lock guard(factsMutex());
    factsStore() = facts;
}

void appendMillisecondsToLongTimeFormat() {
    std::unique_lock guard(factsMutex());
    std::string& format = factsStore().longTimeFormat;
    // Several logs in one process (tests) must not stack the suffix.
    if (format.size() < 4 || format.compare(format.size() - 4, 4, ".zzz") != 0) {
        format += ".zzz";
    }
}

namespace {

std::string formatParts(const std::string& format, const std::tm& parts, long millis) {
    std::string out;
    out.reserve(format.size() + 8);
    std::size_t i = 0;
    while (i < format.size()) {
        const char token = format[i];
        std::size_t run = 1;
        while (i + run < format.size() && format[i + run] == token) {
            ++run;
        }
        switch (token) {
            case 'd':
                appendNumber(out, parts.tm_mday, run >= 2 ? 2 : 1);
                break;
            case 'M':
                appendNumber(out, parts.tm_mon + 1, run >= 2 ? 2 : 1);
                break;
            case 'y':
                if (run >= 3) {
                    appendNumber(out, parts.tm_year + 1900L, 4);
                } else {
                    appendNumber(out, (parts.tm_year + 1900L) % 100, 2);
                }
                break;
            case 'H':
                appendNumber(out, parts.tm_hour, run >= 2 ? 2 : 1);
                break;
            case 'h': {
                const int hour12 = parts.tm_hour % 12 == 0 ? 12 : parts.tm_hour % 12;
                appendNumber(out, hour12, run >= 2 ? 2 : 1);
                break;
            }
            case 'm':
                appendNumber(out, parts.tm_min, run >= 2 ? 2 : 1);
                break;
            case 's':
                appendNumber(out, parts.tm_sec, run >= 2 ? 2 : 1);
                break;
            case 'z':
                appendNumber(out, millis, run >= 3 ? 3 : 1);
                break;
            default:
                out.append(run, token);
                break;
        }
        i += run;
    }
    return out;
}

}  // namespace

std::string formatDateTime(const std::string& format, std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto sinceEpoch = when.time_since_epoch();
    auto seconds = duration_cast<std::chrono::seconds>(sinceEpoch);
    auto millis = duration_cast<milliseconds>(sinceEpoch - seconds).count();
    if (millis < 0) {
        millis += 1000;
        seconds -= std::chrono::seconds(1);
    }
    return formatParts(format, localTime(static_cast<std::time_t>(seconds.count())),
                       static_cast<long>(millis));
}

std::string localTimeStamp(const char* format) {
    const std::tm parts = localTime(std::time(nullptr));
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, format, &parts));
}

std::string longTimeText(std::chrono::system_clock::time_point when) {
    return formatDateTime(localeFacts().longTimeFormat, when);
}

std::string longTimeText(std::chrono::milliseconds span) {
    const long long ms = span.count() < 0 ? 0 : span.count();
    std::tm parts{};
    parts.tm_hour = static_cast<int>(ms / 3600000);
    parts.tm_min = static_cast<int>(ms / 60000 % 60);
    parts.tm_sec = static_cast<int>(ms / 1000 % 60);
    return formatParts(localeFacts().longTimeFormat, parts, static_cast<long>(ms % 1000));
}

}  // namespace vantrel
