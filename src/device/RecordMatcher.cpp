#include "device/RecordMatcher.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <system_error>

namespace vantrel {

namespace {

// White space as C formatted input knows it (the "C" locale's isspace).
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skipSpace(std::string_view line, std::size_t pos) {
    while (pos < line.size() && isSpace(line[pos])) {
        ++pos;
    }
    return pos;
}

bool startsNumber(std::string_view line, std::size_t p, bool allowPoint) {
    return p < line.size() && (isDigit(line[p]) || (allowPoint && line[p] == '.'));
}

// [sign] digits [. digits] [e [sign] digits], at least one mantissa digit;
// an "e" without digits after it is not part of the number. from_chars reads
// exactly this once the first character is known to be a digit or a point
// (it would also take "inf" and "nan", which C's %f on the station's data
// must not); it takes a "-" but no "+".
// The station writes plain decimals ("25.50", "-40", "1200"). When the
// digits form an integer mantissa below 2^24 and at most ten decimals, both
// it and the power of ten are exact in single precision, so one division
// rounds exactly as a full conversion would; anything else (an exponent,
// more digits) goes to from_chars.
bool readPlainDecimal(const char* first, const char* last, bool negative, float& value,
                      const char*& end) {
    static constexpr float kPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                        1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    constexpr std::uint32_t kExactLimit = 1u << 24;
    std::uint32_t mantissa = 0;
    int decimals = 0;
    int digits = 0;
    const char* p = first;
    for (; p < last && isDigit(*p); ++p, ++digits) {
        mantissa = mantissa * 10 + static_cast<std::uint32_t>(*p - '0');
        if (mantissa >= kExactLimit) {
            return false;
        }
    }
    if (p < last && *p == '.') {
        for (++p; p < last && isDigit(*p); ++p, ++digits, ++decimals) {
            mantissa = mantissa * 10 + static_cast<std::uint32_t>(*p - '0');
            if (mantissa >= kExactLimit || decimals == 10) {
                return false;
            }
        }
    }
    if (digits == 0 || (p < last && (*p == 'e' || *p == 'E'))) {
        return false;
    }
    const float magnitude = static_cast<float>(mantissa) / kPowers[decimals];
    value = negative ? -magnitude : magnitude;
    end = p;
    return true;
}

bool readReal(std::string_view line, std::size_t& pos, float& value) {
    std::size_t p = skipSpace(line, pos);
    const std::size_t sign = p;
    if (p < line.size() && (line[p] == '+' || line[p] == '-')) {
        ++p;
    }
    if (!startsNumber(line, p, true)) {
        return false;
    }
    const char* end = nullptr;
    if (readPlainDecimal(line.data() + p, line.data() + line.size(), line[sign] == '-', value,
                         end)) {
        pos = static_cast<std::size_t>(end - line.data());
        return true;
    }
    const char* first = line.data() + (line[sign] == '+' ? p : sign);
    const char* last = line.data() + line.size();
    float parsed = 0;
    auto result = std::from_chars(first, last, parsed, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too small for single precision reads as zero (as strtof gives);
        // too large is no reading at all.
        double wide = 0;
        result = std::from_chars(first, last, wide, std::chars_format::general);
        if (result.ec != std::errc{} || std::fabs(wide) > FLT_MAX) {
            return false;
        }
        parsed = static_cast<float>(wide);
    } else if (result.ec != std::errc{}) {
        return false;
    }
    value = parsed;
    pos = static_cast<std::size_t>(result.ptr - line.data());
    return true;
}

bool readInteger(std::string_view line, std::size_t& pos, std::int32_t& value) {
    std::size_t p = skipSpace(line, pos);
    const std::size_t sign = p;
    if (p < line.size() && (line[p] == '+' || line[p] == '-')) {
        ++p;
    }
    if (!startsNumber(line, p, false)) {
        return false;
    }
    const char* first = line.data() + (line[sign] == '+' ? p : sign);
    std::int32_t parsed = 0;
    const auto result = std::from_chars(first, line.data() + line.size(), parsed);
    if (result.ec != std::errc{}) {
        return false;  // beyond 32 bits
    }
    value = parsed;
    pos = static_cast<std::size_t>(result.ptr - line.data());
    return true;
}

}  // namespace

tRecordMatcher::tRecordMatcher(std::string_view pattern) : pattern_(pattern) {
    tStep step;
    bool open = false;  // `step` holds something
    auto close = [&] {
        if (open) {
            steps_.push_back(step);
        }
        step = tStep{};
        step.offset = static_cast<std::uint16_t>(literals_.size());
        open = false;
    };
    close();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (isSpace(c)) {
            if (step.length > 0) {
                close();  // white space after literal text starts the next field
            }
            step.space = true;
            open = true;
            continue;
        }
        if (c == '%' && i + 1 < pattern.size()) {
            const char kind = pattern[i + 1];
            if (kind == 'f' || kind == 'd') {
                step.conversion = kind == 'f' ? tConversion::Real : tConversion::Integer;
                open = true;
                ++conversions_;
                ++i;
                close();
                continue;
            }
            ++i;  // "%%" and any other "%x": the character after "%" is literal
        }
        literals_ += pattern[i];
        ++step.length;
        open = true;
    }
    close();
}

int tRecordMatcher::Match(std::string_view line, std::span<const tMatchTarget> targets) const {
    if (line.empty()) {
        return -1;
    }
    std::size_t pos = 0;
    int count = 0;
    for (const tStep& step : steps_) {
        if (step.space) {
            pos = skipSpace(line, pos);
        }
        if (step.length > 0) {
            // Literals are two or three characters: compare in place.
            if (line.size() - pos < step.length) {
                return count;
            }
            const char* expected = literals_.data() + step.offset;
            for (std::size_t i = 0; i < step.length; ++i) {
                if (line[pos + i] != expected[i]) {
                    return count;
                }
            }
            pos += step.length;
        }
        if (step.conversion == tConversion::None) {
            continue;
        }
        if (static_cast<std::size_t>(count) >= targets.size()) {
            return count;
        }
        const tMatchTarget& target = targets[count];
        if (step.conversion == tConversion::Real) {
            float value = 0;
            if (!readReal(line, pos, value)) {
                return count;
            }
            if (target.real != nullptr) {
                *target.real = value;
            }
        } else {
            std::int32_t value = 0;
            if (!readInteger(line, pos, value)) {
                return count;
            }
            if (target.integer != nullptr) {
                *target.integer = value;
            }
        }
        ++count;
    }
    return count;
}

}  // namespace vantrel
