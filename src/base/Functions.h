#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// Tolerant decimal parse: "," and "." both work as separator. The text is
// normalised to the captured separator and parsed; returns false when the
// whole text (blanks around it allowed) is not a number.
bool tryParseDecimal(const std::string& text, double& value);

// Part of `text` before the first `delimiter` (all of it when there is none);
// with `remove` that part and the delimiter are cut from `text`.
std::string takeField(std::string& text, char delimiter, bool remove);

// Integer as the configuration and scenario files write it: optional leading
// blanks, optional sign, decimal digits, or hexadecimal after "$" or "0x";
// nothing else. Returns false (and leaves `value`) otherwise.
bool tryParseInt(std::string_view text, int& value);
int strToIntDef(std::string_view text, int defaultValue);

// Pattern formats "0.00", "0.000", "0.0000", "0.00000": at least one integer
// digit, exactly `decimals` decimals rounded half away from zero, leading
// minus, no grouping, the captured decimal separator. `decimals` is clamped
// to 0..20; NaN and infinities print as "NAN", "INF", "-INF".
std::string formatFixed(double value, int decimals);
std::string formatFixed(double value, int decimals, char separator);

// The fields of `line` between tabs, empty ones included ("a\t\tb": three).
std::vector<std::string_view> splitTabs(std::string_view line);

// The texts with `separator` between them ("a;b;c").
std::string joinTexts(const std::vector<std::string>& texts, std::string_view separator);

std::string toUpperAscii(std::string_view text);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace vantrel
