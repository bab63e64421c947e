#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/RecordDecoder.h"
#include "support/CaptureLog.h"

namespace vantrel::test {
namespace {

TEST(RecordDecoder, ScalesAcceptedRecordsAndLogsTheCountOfOthers) {
    tCaptureLog log;
    tActuatorTable table = initialActuators();
    tRecordDecoder decoder(table, 0.5);
    struct tCase {
        const char* line;
        std::optional<float> v1;   // scaled, when accepted
        std::int32_t heaterSpeed;  // stored as it matched, accepted or not
        const char* logged;
    };
    const tCase cases[] = {
        {"LT:25.5\tLP:7.02\tLC:1.25\tLE:0.215\tV1:100\tV2:0\tV3:0\tH0:1,128\tM0:1,-40\t"
         "D1:0,0\tD2:0,0\tD3:0,0\tTT:1200",
         50.f, 128, nullptr},
        // Lower-case stirrer id: the heater's numbers are in, the rest is not.
        {"LT:1 LP:2 LC:3 LE:4 V1:5 V2:6 V3:7 H0:1,77 m0:1,1 D1:0,0 D2:0,0 D3:0,0 TT:1",
         std::nullopt, 77, "9: STRANGE ANSWER. IGNORED."},
        {"", std::nullopt, 77, "-1: STRANGE ANSWER. IGNORED."},
        {"LT:1,5\tLP:2", std::nullopt, 77, "1: STRANGE ANSWER. IGNORED."},
    };
    for (const tCase& c : cases) {
        log.Clear();
        const std::optional<tRecord> record = decoder.Decode(c.line);
        ASSERT_EQ(record.has_value(), c.v1.has_value()) << c.line;
        if (record) {
            EXPECT_FLOAT_EQ(record->readings[qV1], *c.v1);
            EXPECT_FLOAT_EQ(record->readings[qLT], 25.5f);
            EXPECT_FLOAT_EQ(record->time, 1.2f);
            EXPECT_EQ(table[1].speed, -40);
        }
        EXPECT_EQ(table[0].speed, c.heaterSpeed) << c.line;
        EXPECT_EQ(log.Lines(),
                  c.logged ? std::vector<std::string>{c.logged} : std::vector<std::string>{})
            << c.line;
    }
}

}  // namespace
}  // namespace vantrel::test
