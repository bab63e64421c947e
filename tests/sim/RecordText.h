#pragma once

#include <charconv>
#include <string_view>

#include "sim/Simulator.h"

// Reads a state record the way the program must: fixed tags in order, numbers
// with "." as the decimal point. Returns how many of the 18 values were read.
inline int ParseRecord(std::string_view line, vantrel::sim::tSentRecord& r) {
    int count = 0;
    auto tag = [&](std::string_view t) {
        if (line.substr(0, t.size()) != t) {
            return false;
        }
        line.remove_prefix(t.size());
        return true;
    };
    auto number = [&](auto& v) {
        auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), v);
        if (ec != std::errc()) {
            return false;
        }
        line.remove_prefix(static_cast<std::size_t>(end - line.data()));
        ++count;
        return true;
    };
    float* reals[7] = {&r.lt, &r.lp, &r.lc, &r.le, &r.v1, &r.v2, &r.v3};
    const std::string_view tags[7] = {"LT:", "\tLP:", "\tLC:", "\tLE:", "\tV1:", "\tV2:", "\tV3:"};
    for (int i = 0; i < 7; ++i) {
        if (!tag(tags[i]) || !number(*reals[i])) {
            return count;
        }
    }
    const std::string_view ids[5] = {"\tH0:", "\tM0:", "\tD1:", "\tD2:", "\tD3:"};
    for (int i = 0; i < 5; ++i) {
        if (!tag(ids[i]) || !number(r.state[i]) || !tag(",") || !number(r.speed[i])) {
            return count;
        }
    }
    if (!tag("\tTT:") || !number(r.tt)) {
        return count;
    }
    return line.empty() ? count : -count;  // trailing text is a fault of the record
}
