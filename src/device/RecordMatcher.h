#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// Where one converted value goes: exactly one of the two pointers is set,
// matching the conversion (%f: real, %d: integer).
struct tMatchTarget {
    float* real = nullptr;
    std::int32_t* integer = nullptr;
};

// Matches a line against a pattern the way C formatted input does, without
// the locale: literal characters must appear as written (letter case
// counts), a tab matches any run of white space (also none), %f reads a
// real number ("." always), %d a decimal integer, both after optional white
// space. Numbers are parsed with std::from_chars.
class tRecordMatcher {
public:
    tRecordMatcher() = default;
    // Any other character after "%" is taken literally.
    explicit tRecordMatcher(std::string_view pattern);

    const std::string& Pattern() const { return pattern_; }
    // Number of conversions the pattern holds.
    int ConversionCount() const { return conversions_; }

    // Stores each value the moment it matches, into the target of its
    // conversion (targets in pattern order; `targets` must hold at least
    // ConversionCount() entries). Returns the count of values stored, or -1
    // for an empty line. Matching stops at the first field that does not fit;
    // text after the pattern is ignored.
    int Match(std::string_view line, std::span<const tMatchTarget> targets) const;

private:
    enum class tConversion : std::uint8_t { None, Real, Integer };
    // One field: optional white space, literal text, then at most one
    // conversion. A record pattern compiles to one step per value.
    struct tStep {
        bool space = false;
        std::uint16_t offset = 0;  // literal text in literals_
        std::uint16_t length = 0;
        tConversion conversion = tConversion::None;
    };

    std::string pattern_;
    std::string literals_;
    std::vector<tStep> steps_;
    int conversions_ = 0;
};

}  // namespace vantrel
