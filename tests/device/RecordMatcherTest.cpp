#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "device/RecordMatcher.h"

namespace vantrel {
namespace {

const char* const kRecordPattern =
    "LT:%f\tLP:%f\tLC:%f\tLE:%f\tV1:%f\tV2:%f\tV3:%f\t"
    "H0:%d,%d\tM0:%d,%d\tD1:%d,%d\tD2:%d,%d\tD3:%d,%d\tTT:%f";

const char* const kExample =
    "LT:25.5\tLP:7.02\tLC:1.25\tLE:0.215\tV1:100\tV2:0\tV3:0\t"
    "H0:1,128\tM0:1,-40\tD1:0,0\tD2:0,0\tD3:0,0\tTT:1200";

// The 18 places of one record, pre-filled with a marker so that a value
// that was not stored is visible.
struct tRecord {
    std::array<float, 8> reals;  // seven readings, then TT
    std::array<std::int32_t, 10> ints;
    std::array<tMatchTarget, 18> targets;

    tRecord() {
        reals.fill(-999.f);
        ints.fill(-999);
        for (int i = 0; i < 7; ++i) {
            targets[i].real = &reals[i];
        }
        for (int i = 0; i < 10; ++i) {
            targets[7 + i].integer = &ints[i];
        }
        targets[17].real = &reals[7];
    }
    int Match(const std::string& line) {
        return tRecordMatcher(kRecordPattern).Match(line, targets);
    }
};

TEST(RecordMatcher, ExampleRecordGivesAllEighteenValues) {
    tRecord r;
    ASSERT_EQ(r.Match(kExample), 18);
    EXPECT_FLOAT_EQ(r.reals[0], 25.5f);
    EXPECT_FLOAT_EQ(r.reals[1], 7.02f);
    EXPECT_FLOAT_EQ(r.reals[2], 1.25f);
    EXPECT_FLOAT_EQ(r.reals[3], 0.215f);
    EXPECT_FLOAT_EQ(r.reals[4], 100.f);
    EXPECT_FLOAT_EQ(r.reals[5], 0.f);
    EXPECT_FLOAT_EQ(r.reals[7], 1200.f);
    EXPECT_EQ(r.ints[0], 1);
    EXPECT_EQ(r.ints[1], 128);
    EXPECT_EQ(r.ints[2], 1);
    EXPECT_EQ(r.ints[3], -40);
}

TEST(RecordMatcher, TabMatchesAnyRunOfWhiteSpaceOrNone) {
    std::string blanks = kExample;
    for (char& c : blanks) {
        if (c == '\t') {
            c = ' ';
        }
    }
    std::string none;
    for (char c : std::string(kExample)) {
        if (c != '\t') {
            none += c;
        }
    }
    const std::string mixed =
        "LT: 25.5 \t LP:7.02\t\tLC:1.25\r\vLE:0.215\fV1:100 V2:0 V3:0 "
        "H0:1,128 M0:1,-40 D1:0,0 D2:0,0 D3:0,0    TT:1200";
    for (const std::string& line : {blanks, none, mixed}) {
        tRecord r;
        ASSERT_EQ(r.Match(line), 18) << line;
        EXPECT_FLOAT_EQ(r.reals[0], 25.5f);
        EXPECT_EQ(r.ints[3], -40);
        EXPECT_FLOAT_EQ(r.reals[7], 1200.f);
    }
}

TEST(RecordMatcher, StopsAtFirstMismatchKeepingWhatMatched) {
    struct tCase {
        std::string line;
        int count;
    };
    std::string lowerStirrer = kExample;
    lowerStirrer.replace(lowerStirrer.find("M0"), 2, "m0");
    const tCase cases[] = {
        {lowerStirrer, 9},  // letter case counts: readings and the heater's two numbers
        {"", -1},
        {"XX:25.5", 0},
        {"LT:25,5\tLP:7.02", 1},  // comma as decimal separator
        {std::string(kExample).substr(0, std::string(kExample).find("\tTT:")), 17},
        {std::string(kExample) + "\tgarbage after the time", 18},
        {" LT:25.5", 0},  // white space before a literal is not skipped
        {"LT:", 0},
    };
    for (const tCase& c : cases) {
        tRecord r;
        EXPECT_EQ(r.Match(c.line), c.count) << c.line;
    }

    tRecord r;
    ASSERT_EQ(r.Match(lowerStirrer), 9);
    EXPECT_EQ(r.ints[0], 1);
    EXPECT_EQ(r.ints[1], 128);
    EXPECT_EQ(r.ints[2], -999);  // not reached: untouched
}

TEST(RecordMatcher, RealNumberForms) {
    const tRecordMatcher matcher("A%fB");
    struct tCase {
        const char* text;
        int count;
        float value;
    };
    const tCase cases[] = {
        {"A1.5B", 1, 1.5f},    {"A+1.5B", 1, 1.5f},   {"A-.5B", 1, -0.5f},
        {"A5.B", 1, 5.f},      {"A1e3B", 1, 1000.f},  {"A1E-2B", 1, 0.01f},
        {"A  \t-7B", 1, -7.f}, {"A2.5e+1B", 1, 25.f}, {"A1e-50B", 1, 0.f},
        {"A.B", 0, 0},         {"A-B", 0, 0},         {"A+-1B", 0, 0},
        {"AinfB", 0, 0},       {"AnanB", 0, 0},       {"A1e39B", 0, 0},
        {"A0x10B", 1, 0.f},  // reads 0, then "x" does not match "B"
    };
    for (const tCase& c : cases) {
        float value = -999.f;
        const tMatchTarget target{&value, nullptr};
        EXPECT_EQ(matcher.Match(c.text, {&target, 1}), c.count) << c.text;
        if (c.count == 1) {
            EXPECT_FLOAT_EQ(value, c.value) << c.text;
        } else {
            EXPECT_EQ(value, -999.f) << c.text;
        }
    }
    // An "e" without digits is not part of the number; it must then match the pattern.
    float value = 0;
    const tMatchTarget target{&value, nullptr};
    EXPECT_EQ(tRecordMatcher("%fe").Match("2e", {&target, 1}), 1);
    EXPECT_FLOAT_EQ(value, 2.f);
}

// Plain decimals take a short cut; it must give bit for bit what a full
// conversion gives, also at the edges of the short cut (2^24, ten decimals).
TEST(RecordMatcher, PlainDecimalsConvertExactlyAsAFullConversion) {
    const tRecordMatcher matcher("%f;");
    std::mt19937 random(7);
    std::vector<std::string> texts = {"16777215",      "16777216", "1677721.5",   "0.0000000001",
                                      "0.00000000001", "-0.00",    "000123.4500", "9999999.9"};
    for (int i = 0; i < 20000; ++i) {
        const int digits = 1 + static_cast<int>(random() % 12);
        const std::string sign = (random() % 2) ? "-" : "";
        std::string number;
        for (int d = 0; d < digits; ++d) {
            number += static_cast<char>('0' + random() % 10);
        }
        // The point goes before the digit at `point`, if there is one.
        const std::size_t point = random() % (sign.size() + number.size() + 2);
        std::string text = sign;
        for (std::size_t k = 0; k < number.size(); ++k) {
            if (sign.size() + k == point) {
                text += '.';
            }
            text += number[k];
        }
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        float expected = 0;
        const char* first = text.data();
        const auto result = std::from_chars(first, first + text.size(), expected);
        ASSERT_EQ(result.ec, std::errc{}) << text;
        float value = -999.f;
        const tMatchTarget target{&value, nullptr};
        ASSERT_EQ(matcher.Match(text + ";", {&target, 1}), 1) << text;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(value), std::bit_cast<std::uint32_t>(expected))
            << text;
    }
}

TEST(RecordMatcher, IntegerForms) {
    const tRecordMatcher matcher("%d,%d");
    struct tCase {
        const char* text;
        int count;
        std::int32_t first;
    };
    const tCase cases[] = {
        {"1,2", 2, 1},
        {" +7,-8", 2, 7},
        {"-2147483648,0", 2, INT32_MIN},
        {"2147483648,0", 0, -1},  // beyond 32 bits: rejected, not wrapped
        {"1.5,2", 1, 1},          // "." does not match ","
        {"x", 0, -1},
    };
    for (const tCase& c : cases) {
        std::int32_t a = -1;
        std::int32_t b = -1;
        const tMatchTarget targets[2] = {{nullptr, &a}, {nullptr, &b}};
        EXPECT_EQ(matcher.Match(c.text, targets), c.count) << c.text;
        EXPECT_EQ(a, c.first) << c.text;
    }
}

}  // namespace
}  // namespace vantrel
