#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "class/ClassContract.h"

namespace vantrel::classlink {
namespace {

TEST(ClassContractTest, NamesAreOneTopicLevelOfValidText) {
    struct tCase {
        std::string name;
        bool ok;
    };
    for (const tCase& c : std::vector<tCase>{{"Стол 3", true},
                                             {"8B", true},
                                             {"2026-12-10_090805_1", true},
                                             {"", false},
                                             {"a/b", false},
                                             {"a+", false},
                                             {"#", false},
                                             {"tab\there", false},
                                             {"\xC0\xAF", false},  // overlong '/'
                                             {"\xD0", false},      // cut in half
                                             {std::string(65, 'x'), false}}) {
        EXPECT_EQ(isContractName(c.name), c.ok) << c.name;
    }
}

TEST(ClassContractTest, RecordsCarryTheRunIndexAndReadingsAsMeasured) {
    tReadingSet first{0.2f, {21.5f, 7.02f, 1.25f, 0.312f, 0.0934f, 0, 0}};
    tReadingSet second{0.4004f, {21.6f, 6.98f, 1.3f, 0.3f, 0.1868f, 0, 0}};
    const std::string text = recordsMessage(41, {first, second});
    // The reader sees the station's digits, not the float's binary tail.
    EXPECT_NE(text.find("[21.5,7.02,1.25,0.312,0.0934,0.0,0.0]"), std::string::npos) << text;
    EXPECT_NE(text.find("\"t\":[0.2,0.4]"), std::string::npos) << text;
    const auto back = parseRecords(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->seq0, 41);
    ASSERT_EQ(back->records.size(), 2u);
    EXPECT_FLOAT_EQ(back->records[1].readings[1], 6.98f);
    EXPECT_FALSE(parseRecords(R"({"seq0":1,"t":[1,2],"v":[[1,2,3,4,5,6,7]]})"));
    EXPECT_FALSE(parseRecords(R"({"seq0":-1,"t":[],"v":[]})"));
}

TEST(ClassContractTest, CommandsOtherThanStopAreRefusedWithTheirId) {
    struct tCase {
        std::string payload;
        bool stop;
        std::string id;
        std::string why;
    };
    for (const tCase& c : std::vector<tCase>{
             {R"({"id":"a1","cmd":"stop"})", true, "a1", ""},
             {R"({"id":"a2","cmd":"heat"})", false, "a2", "unknown command \"heat\""},
             {R"({"id":"a3"})", false, "a3", "no \"cmd\""},
             {R"({"cmd":"stop"})", false, "", "no \"id\""},
             {"stop", false, "", "not a JSON object"},
             {R"(["stop"])", false, "", "not a JSON object"}}) {
        const tParsedCommand parsed = parseCommand(c.payload);
        EXPECT_EQ(parsed.command.has_value(), c.stop) << c.payload;
        EXPECT_EQ(parsed.id, c.id) << c.payload;
        EXPECT_EQ(parsed.why, c.why) << c.payload;
    }
}

TEST(ClassContractTest, ReplayRequestsNameARunAndAStart) {
    EXPECT_EQ(parseReplay(R"({"run":"2026-12-10_090805","from":12})").request->from, 12);
    EXPECT_EQ(parseReplay(R"({"run":"2026-12-10_090805"})").request->from, 0);
    for (const char* bad : {R"({"run":"../etc/passwd"})", R"({"run":"x","from":-1})",
                            R"({"run":"x","from":1.5})", R"({"from":3})", "[]"}) {
        EXPECT_FALSE(parseReplay(bad).request) << bad;
    }
}

TEST(ClassContractTest, StatusSaysNullWithoutARun) {
    classlink::tStatus given;
    given.state = "connected";
    given.app = "1.0";
    const auto status = nlohmann::json::parse(statusMessage(given));
    EXPECT_TRUE(status["run"].is_null());
    EXPECT_FALSE(status.contains("broker"));
    EXPECT_EQ(nlohmann::json::parse(offlineMessage()), nlohmann::json({{"online", false}}));
}

// What comes from the network may say anything: numbers a field cannot hold
// fall back, infinite readings and fractional indexes are refused.
TEST(ClassContractTest, NumbersOutOfRangeNeverBecomeValues) {
    const auto status =
        parseStatus(R"({"online":true,"period":1e300,"outputs":{"heater":1e300,"stirrer":-3,)"
                    R"("pumps":[18446744073709551615,2.5,"x"]}})");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->period, 1e300) << "a double holds it";
    EXPECT_EQ(status->outputs, (std::array<int, 5>{0, -3, 0, 0, 0}));
    for (const char* bad : {R"({"seq0":1e300,"t":[1],"v":[[1,2,3,4,5,6,7]]})",
                            R"({"seq0":1.5,"t":[1],"v":[[1,2,3,4,5,6,7]]})",
                            R"({"seq0":0,"t":[1],"v":[[1e300,2,3,4,5,6,7]]})",
                            R"({"seq0":0,"t":[1e39],"v":[[1,2,3,4,5,6,7]]})",
                            R"({"seq0":0,"t":[1],"v":[[1,2,3,4,5,6,"7"]]})"}) {
        EXPECT_FALSE(parseRecords(bad)) << bad;
    }
    EXPECT_FALSE(parseLast(R"({"t":1,"v":[1,2,3,4,5,6,1e40]})"));
    EXPECT_EQ(parseEvent(R"({"type":"end","records":1e300})")->records, -1);
    const auto result = parseResult(R"({"records":-1e300,"equivalence":{"V":10.2,"pH":"8"}})");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->records, 0);
    EXPECT_FALSE(result->volume) << "the equivalence needs both numbers";
}

}  // namespace
}  // namespace vantrel::classlink
