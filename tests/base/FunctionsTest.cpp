#include "base/Functions.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>

#include "base/Locale.h"

namespace vantrel {
namespace {

class FunctionsTest : public ::testing::Test {
protected:
    void TearDown() override { setLocaleFacts(tLocaleFacts{}); }
    static void useSeparator(char separator) {
        tLocaleFacts facts;
        facts.decimalSeparator = separator;
        setLocaleFacts(facts);
    }
};

TEST_F(FunctionsTest, DecimalParseAcceptsBothSeparatorsUnderEitherSetting) {
    for (char separator : {'.', ','}) {
        useSeparator(separator);
        for (const char* text : {"0.0934", "0,0934", " 0.0934 ", "\t0,0934", "+0.0934"}) {
            double value = 0;
            EXPECT_TRUE(tryParseDecimal(text, value)) << separator << " [" << text << "]";
            EXPECT_DOUBLE_EQ(value, 0.0934) << separator << " [" << text << "]";
        }
        double value = 0;
        EXPECT_TRUE(tryParseDecimal("-1,5e2", value));
        EXPECT_DOUBLE_EQ(value, -150.0);
    }
}

TEST_F(FunctionsTest, DecimalParseRejectsAnythingButAWholeNumber) {
    for (const char* text : {"", " ", "abc", "1.5x", "1 5", "1.2.3", "1,2.3", "--1", "+-1", "+",
                             "0x10", "inf", "nan", "1e999"}) {
        double value = 42;
        EXPECT_FALSE(tryParseDecimal(text, value)) << "[" << text << "]";
        EXPECT_EQ(value, 42) << "value left alone for [" << text << "]";
    }
}

TEST_F(FunctionsTest, TakeFieldSplitsAtTheFirstDelimiter) {
    std::string text = "3, 4,,5";
    EXPECT_EQ(takeField(text, ',', false), "3");
    EXPECT_EQ(text, "3, 4,,5");
    std::vector<std::string> fields;
    while (!text.empty()) {
        fields.push_back(takeField(text, ',', true));
    }
    EXPECT_EQ(fields, (std::vector<std::string>{"3", " 4", "", "5"}));
    text = "3,";
    EXPECT_EQ(takeField(text, ',', true), "3");
    EXPECT_EQ(text, "");
}

TEST_F(FunctionsTest, IntegersAsConfigurationFilesWriteThem) {
    const std::pair<const char*, int> good[] = {{"12", 12},
                                                {"  -7", -7},
                                                {"+5", 5},
                                                {"$1F", 31},
                                                {"0x1f", 31},
                                                {"-$10", -16},
                                                {"2147483647", INT_MAX},
                                                {"-2147483648", INT_MIN}};
    for (const auto& [text, expected] : good) {
        int value = 0;
        EXPECT_TRUE(tryParseInt(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* text :
         {"", "12 ", "1.0", "x1", "$", "0x", "- 1", "2147483648", "$1G", "0b1"}) {
        int value = 99;
        EXPECT_FALSE(tryParseInt(text, value)) << "[" << text << "]";
        EXPECT_EQ(value, 99);
        EXPECT_EQ(strToIntDef(text, -1), -1);
    }
}

TEST_F(FunctionsTest, FixedFormatsRoundHalfAwayFromZeroOnTheExactValue) {
    struct tCase {
        double value;
        int decimals;
        const char* expected;
    };
    const tCase cases[] = {
        {2.5, 0, "3"},
        {-2.5, 0, "-3"},
        {0.5, 0, "1"},
        {-0.125, 2, "-0.13"},
        {0.125, 2, "0.13"},
        {1.005, 2, "1.00"},  // 1.00499...
        {9.995, 2, "9.99"},
        {0.0005, 3, "0.001"},
        {2.675, 2, "2.67"},  // 2.67499...
        {0.00005, 4, "0.0001"},
        {1.000005, 5, "1.00001"},
        {99.999, 2, "100.00"},
        {-0.001, 2, "0.00"},
        {-0.0, 3, "0.000"},
        {0.999999, 5, "1.00000"},
        {123456789.0, 2, "123456789.00"},
        {-1234.5678, 4, "-1234.5678"},
        {0.07, 3, "0.070"},
    };
    for (const tCase& c : cases) {
        EXPECT_EQ(formatFixed(c.value, c.decimals, '.'), c.expected)
            << c.value << " with " << c.decimals << " decimals";
    }
    EXPECT_EQ(formatFixed(1e20, 2, '.'), "100000000000000000000.00");
    EXPECT_EQ(formatFixed(-1.5, 2, ','), "-1,50");
    useSeparator(',');
    EXPECT_EQ(formatFixed(0.0934, 3), "0,093");
}

TEST(LocaleTest, DateAndTimeFormatsUseLocalTime) {
    std::tm parts{};
    parts.tm_year = 2024 - 1900;
    parts.tm_mon = 2;
    parts.tm_mday = 5;
    parts.tm_hour = 7;
    parts.tm_min = 8;
    parts.tm_sec = 9;
    parts.tm_isdst = -1;
    const auto when =
        std::chrono::system_clock::from_time_t(std::mktime(&parts)) + std::chrono::milliseconds(45);
    EXPECT_EQ(formatDateTime("dd.MM.yyyy H:mm:ss.zzz", when), "05.03.2024 7:08:09.045");
    EXPECT_EQ(formatDateTime("d/M/yy HH-h [z]", when), "5/3/24 07-7 [45]");

    tLocaleFacts facts;
    facts.longTimeFormat = "HH:mm";
    setLocaleFacts(facts);
    appendMillisecondsToLongTimeFormat();
    appendMillisecondsToLongTimeFormat();
    EXPECT_EQ(longTimeText(when), "07:08.045");
    setLocaleFacts(tLocaleFacts{});
}

}  // namespace
}  // namespace vantrel
