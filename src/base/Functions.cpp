#include "base/Functions.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <system_error>

#include "base/Locale.h"

namespace vantrel {

namespace {

// Beyond this the guard digits below no longer prove the rounding exact.
constexpr int kMaxFixedDecimals = 20;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Adds one unit in the last place of a string of decimal digits (may grow it).
void incrementDigits(std::string& digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

}  // namespace

bool tryParseDecimal(const std::string& text, double& value) {
    const char separator = localeFacts().decimalSeparator;
    std::string normal = text;
    for (char& c : normal) {
        if (separator == '.' && c == ',') {
            c = '.';
        } else if (separator == ',' && c == '.') {
            c = ',';
        }
    }
    // from_chars knows only ".": the captured separator maps back to it, so
    // the result never depends on the process's C locale.
    if (separator != '.') {
        for (char& c : normal) {
            if (c == separator) {
                c = '.';
            }
        }
    }
    std::string_view number = trimBlanks(normal);
    if (!number.empty() && number.front() == '+') {
        number.remove_prefix(1);
        if (number.empty() || number.front() == '-' || number.front() == '+') {
            return false;
        }
    }
    if (number.empty()) {
        return false;
    }
    double parsed = 0;
    const char* end = number.data() + number.size();
    const auto result = std::from_chars(number.data(), end, parsed, std::chars_format::general);
    // "inf" and "nan" are not numbers a user or the station writes.
    if (result.ec != std::errc{} || result.ptr != end || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

std::string takeField(std::string& text, char delimiter, bool remove) {
    const std::size_t at = text.find(delimiter);
    if (at == std::string::npos) {
        std::string field = text;
        if (remove) {
            text.clear();
        }
        return field;
    }
    std::string field = text.substr(0, at);
    if (remove) {
        text.erase(0, at + 1);
    }
    return field;
}

bool tryParseInt(std::string_view text, int& value) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) {
        return false;
    }
    // Accumulate as a wider magnitude so INT_MIN parses and overflow is seen.
    long long magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > static_cast<long long>(INT_MAX) + 1) {
            return false;
        }
    }
    const long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX || signedValue < INT_MIN) {
        return false;
    }
    value = static_cast<int>(signedValue);
    return true;
}

int strToIntDef(std::string_view text, int defaultValue) {
    int value = defaultValue;
    return tryParseInt(text, value) ? value : defaultValue;
}

std::string formatFixed(double value, int decimals) {
    return formatFixed(value, decimals, localeFacts().decimalSeparator);
}

std::string formatFixed(double value, int decimals, char separator) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    if (decimals < 0) {
        decimals = 0;
    }
    if (decimals > kMaxFixedDecimals) {
        decimals = kMaxFixedDecimals;
    }
    // Rounding half away from zero needs the double's own value, not a
    // correctly rounded (ties-to-even) print. kGuardDigits extra digits are
    // enough: a double that is not exactly halfway between two results lies
    // further from the midpoint than those digits can blur (its distance is
    // at least 2^-53 of its size over 5^decimals).
    constexpr int kGuardDigits = 60;
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::fixed, decimals + kGuardDigits);
    if (result.ec != std::errc{}) {
        return "NAN";
    }
    const std::string_view printed(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t point = printed.find('.');
    std::string digits(printed.substr(0, point));
    digits.append(printed.substr(point + 1, static_cast<std::size_t>(decimals)));
    if (printed[point + 1 + static_cast<std::size_t>(decimals)] >= '5') {
        incrementDigits(digits);
    }

    const std::size_t integerDigits = digits.size() - static_cast<std::size_t>(decimals);
    std::string out;
    out.reserve(digits.size() + 2);
    if (value < 0 && digits.find_first_not_of('0') != std::string::npos) {
        out += '-';
    }
    out.append(digits, 0, integerDigits);
    if (decimals > 0) {
        out += separator;
        out.append(digits, integerDigits, std::string::npos);
    }
    return out;
}

std::string toUpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = upperAscii(c);
    }
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', pos);
        fields.push_back(line.substr(pos, tab == std::string_view::npos ? tab : tab - pos));
        if (tab == std::string_view::npos) {
            return fields;
        }
        pos = tab + 1;
    }
}

std::string joinTexts(const std::vector<std::string>& texts, std::string_view separator) {
    std::string joined;
    for (const std::string& text : texts) {
        if (!joined.empty() || &text != &texts.front()) {
            joined += separator;
        }
        joined += text;
    }
    return joined;
}

}  // namespace vantrel
