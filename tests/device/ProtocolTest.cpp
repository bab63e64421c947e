#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "device/Protocol.h"

namespace vantrel {
namespace {

TEST(Protocol, SetCommandTakesOnlyWholeIntegers) {
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
        EXPECT_EQ(setCommand(c.actuator, c.typed).Text(), c.command) << c.typed;
    }
    EXPECT_EQ(tCommand::Off(3).Text(), "D2,0");
}

// Any flag but 0 switches on, as the station reads it; a line addressed to
// an actuator that the station would misread or ignore does not parse.
TEST(Protocol, CommandsAreReadAsTheStationReadsThem) {
    enum class tRead { On, Off, Period, Other, Refused };
    struct tCase {
        const char* text;
        tRead read;
        int actuator;
        const char* wire;
    };
    const tCase cases[] = {
        {"H0,1,255", tRead::On, 0, "H0,1,255"},
        {"H0,2,255", tRead::On, 0, "H0,2,255"},
        {"H0,01,255", tRead::On, 0, "H0,1,255"},
        {"H0,-1,255", tRead::On, 0, "H0,-1,255"},
        {"D1,2,600", tRead::On, 2, "D1,2,600"},
        {"M0,1,-40", tRead::On, 1, "M0,1,-40"},
        {"D3,0", tRead::Off, 4, "D3,0"},
        {"H0,00,0", tRead::Off, 0, "H0,0,0"},
        {"F500", tRead::Period, -1, "F500"},
        {"F50", tRead::Other, -1, "F50"},
        {"", tRead::Other, -1, ""},
        {"X9,1,1", tRead::Other, -1, "X9,1,1"},
        {"h0,1,255", tRead::Refused, 0, ""},
        {" H0,1,255", tRead::Refused, 0, ""},
        {"H0,1", tRead::Refused, 0, ""},
        {"H0,+1,255", tRead::Refused, 0, ""},
        {"H0, 1,255", tRead::Refused, 0, ""},
        {"H0,1,2.5", tRead::Refused, 0, ""},
        {"H0,1,255,1", tRead::Refused, 0, ""},
        {"H0", tRead::Refused, 0, ""},
        {"D2,1,99999999999", tRead::Refused, 3, ""},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        const std::optional<tCommand> command = tCommand::Parse(c.text, error);
        if (c.read == tRead::Refused) {
            EXPECT_FALSE(command);
            EXPECT_FALSE(error.empty());
            continue;
        }
        ASSERT_TRUE(command) << error;
        EXPECT_EQ(command->Text(), c.wire);
        EXPECT_EQ(command->Actuator(), c.actuator);
        EXPECT_EQ(command->SwitchesOn(), c.read == tRead::On);
        EXPECT_EQ(command->SwitchesOff(), c.read == tRead::Off);
        EXPECT_EQ(command->Kind() == tCommand::tKind::Period, c.read == tRead::Period);
    }
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
