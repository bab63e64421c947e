#include "session/RecordMatcher.h"

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

std::size_t skipDigits(std::string_view line, std::size_t pos) {
    while (pos < line.size() && isDigit(line[pos])) {
        ++pos;
    }
    return pos;
}

// Reads [sign] digits [. digits] [e [sign] digits] at `pos`; at least one
// mantissa digit. An "e" without digits after it is not part of the number.
bool readReal(std::string_view line, std::size_t& pos, float& value) {
    std::size_t p = skipSpace(line, pos);
    const std::size_t start = p;
    bool plus = false;
    if (p < line.size() && (line[p] == '+' || line[p] == '-')) {
        plus = line[p] == '+';
        ++p;
    }
    const std::size_t intStart = p;
    p = skipDigits(line, p);
    std::size_t mantissaDigits = p - intStart;
    if (p < line.size() && line[p] == '.') {
        const std::size_t fracStart = ++p;
        p = skipDigits(line, p);
        mantissaDigits += p - fracStart;
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (p < line.size() && (line[p] == 'e' || line[p] == 'E')) {
        std::size_t q = p + 1;
        if (q < line.size() && (line[q] == '+' || line[q] == '-')) {
            ++q;
        }
        if (q < line.size() && isDigit(line[q])) {
            p = skipDigits(line, q);
        }
    }
    // from_chars takes a leading "-" but no "+".
    const char* first = line.data() + start + (plus ? 1 : 0);
    const char* last = line.data() + p;
    double parsed = 0;
    const auto result = std::from_chars(first, last, parsed, std::chars_format::general);
    if (result.ec != std::errc{} || result.ptr != last || std::fabs(parsed) > FLT_MAX) {
        return false;
    }
    value = static_cast<float>(parsed);
    pos = p;
    return true;
}

bool readInteger(std::string_view line, std::size_t& pos, std::int32_t& value) {
    std::size_t p = skipSpace(line, pos);
    const std::size_t start = p;
    bool plus = false;
    if (p < line.size() && (line[p] == '+' || line[p] == '-')) {
        plus = line[p] == '+';
        ++p;
    }
    const std::size_t digitsStart = p;
    p = skipDigits(line, p);
    if (p == digitsStart) {
        return false;
    }
    const char* first = line.data() + start + (plus ? 1 : 0);
    const char* last = line.data() + p;
    std::int32_t parsed = 0;
    const auto result = std::from_chars(first, last, parsed);
    if (result.ec != std::errc{} || result.ptr != last) {
        return false;  // out of the 32-bit range
    }
    value = parsed;
    pos = p;
    return true;
}

}  // namespace

tRecordMatcher::tRecordMatcher(std::string_view pattern) : pattern_(pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (isSpace(c)) {
            if (steps_.empty() || steps_.back().op != tOp::Space) {
                steps_.push_back({tOp::Space});
            }
            continue;
        }
        if (c == '%' && i + 1 < pattern.size()) {
            const char kind = pattern[i + 1];
            if (kind == 'f' || kind == 'd') {
                steps_.push_back({kind == 'f' ? tOp::Real : tOp::Integer});
                ++conversions_;
                ++i;
                continue;
            }
            ++i;  // "%%" and any other "%x": the character after "%" is literal
        }
        const char literal = pattern[i];
        if (steps_.empty() || steps_.back().op != tOp::Literal) {
            steps_.push_back({tOp::Literal, static_cast<std::uint16_t>(literals_.size()), 0});
        }
        literals_ += literal;
        ++steps_.back().length;
    }
}

int tRecordMatcher::Match(std::string_view line, std::span<const tMatchTarget> targets) const {
    if (line.empty()) {
        return -1;
    }
    std::size_t pos = 0;
    int count = 0;
    for (const tStep& step : steps_) {
        switch (step.op) {
            case tOp::Literal: {
                const std::string_view text(literals_.data() + step.offset, step.length);
                if (line.substr(pos, text.size()) != text) {
                    return count;
                }
                pos += text.size();
                break;
            }
            case tOp::Space:
                pos = skipSpace(line, pos);
                break;
            case tOp::Real: {
                float value = 0;
                if (static_cast<std::size_t>(count) >= targets.size() ||
                    !readReal(line, pos, value)) {
                    return count;
                }
                if (targets[count].real != nullptr) {
                    *targets[count].real = value;
                }
                ++count;
                break;
            }
            case tOp::Integer: {
                std::int32_t value = 0;
                if (static_cast<std::size_t>(count) >= targets.size() ||
                    !readInteger(line, pos, value)) {
                    return count;
                }
                if (targets[count].integer != nullptr) {
                    *targets[count].integer = value;
                }
                ++count;
                break;
            }
        }
    }
    return count;
}

}  // namespace vantrel
