#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "device/Protocol.h"

namespace vantrel {
namespace {

TEST(Protocol, SetCommandTakesOnlyWholeIntegers) {
    const tActuatorTable table = initialActuators();
    struct tCase {
        int actuator;
        const char* typed;
        const char* command;
    };
    const tCase cases[] = {
        {1, "120", "M0,1,120"}, {1, "-50", "M0,1,-50"}, {0, "", "H0,0,0"},
        {2, "3", "D1,1,3"},     {1, "-0", "M0,0,0"},    {1, "0", "M0,0,0"},
        {1, "12abc", "M0,0,0"}, {1, "1.5", "M0,0,0"},   {1, "99999999999", "M0,0,0"},
        {0, "300", "H0,1,300"},  // beyond the hint: sent anyway
    };
    for (const tCase& c : cases) {
        EXPECT_EQ(setCommand(table[c.actuator], c.typed), c.command) << c.typed;
    }
    EXPECT_EQ(clearCommand(table[3]), "D2,0");
}

TEST(Protocol, StateReplyStoresEachNumberAsItMatches) {
    tActuatorTable table = initialActuators();
    EXPECT_EQ(matchStateReply(table, "H0:1,128\tM0:1,-40\tD1:0,0\tD2:1,6\tD3:0,0\t\r\n"), 10);
    EXPECT_EQ(table[1].speed, -40);
    EXPECT_EQ(table[3].state, 1);

    tActuatorTable partial = initialActuators();
    partial[4].state = 7;
    EXPECT_EQ(matchStateReply(partial, "H0:1,10 M0:1,20 D1:1,30 D2:1,40\r\n"), 8);
    EXPECT_EQ(partial[3].speed, 40);
    EXPECT_EQ(partial[4].state, 7);  // missing group: left as it was

    tActuatorTable wrong = initialActuators();
    EXPECT_EQ(matchStateReply(wrong, "M0:1,20\tH0:1,10\r\n"), 0);
    EXPECT_EQ(wrong[0].state, 0);
    EXPECT_EQ(matchStateReply(wrong, ""), -1);
}

TEST(Protocol, PeriodCommandIsRecognisedOnlyWithinTheLimits) {
    EXPECT_EQ(periodCommand(500), "F500");
    EXPECT_EQ(periodOfCommand(periodCommand(kMinPeriodMs)), kMinPeriodMs);
    EXPECT_EQ(periodOfCommand(periodCommand(kMaxPeriodMs)), kMaxPeriodMs);
    struct tCase {
        const char* command;
        std::optional<int> period;
    };
    const tCase cases[] = {
        {"F500", 500},
        {"F199", std::nullopt},
        {"F60001", std::nullopt},
        {"F", std::nullopt},
        {"Fx", std::nullopt},
        {"f500", std::nullopt},
        {"D1,1,500", std::nullopt},
        {"F500x", std::nullopt},
    };
    for (const tCase& c : cases) {
        EXPECT_EQ(periodOfCommand(c.command), c.period) << c.command;
    }
}

}  // namespace
}  // namespace vantrel
