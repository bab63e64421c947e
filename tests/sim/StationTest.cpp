#include "sim/Station.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/RecordText.h"

using vantrel::sim::tCommandKind;
using vantrel::sim::tSentRecord;
using vantrel::sim::tStation;

namespace {

struct tActuatorCase {
    const char* command;
    int index;
    int state;
    int speed;
};

}  // namespace

TEST(Station, ActuatorCommandsSetClearAndClampToTheActuatorsRanges) {
    const tActuatorCase cases[] = {
        {"H0,1,128", 0, 1, 128},   {"H0,1,999", 0, 1, 255},   {"H0,1,-5", 0, 0, 0},
        {"M0,1,-40", 1, 1, -40},   {"M0,1,-300", 1, 1, -255}, {"M0,0,0", 1, 0, 0},
        {"D1,1,3", 2, 1, 6},       {"D2,1,-3", 3, 1, -6},     {"D3,1,700", 4, 1, 600},
        {"D2,1,-601", 3, 1, -600}, {"D1,1,250", 2, 1, 250},   {"D1,0", 2, 0, 0},
    };
    tStation station;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(station.Handle(c.command, 0), tCommandKind::actuator);
        int state = -1;
        int speed = -1;
        station.Actuator(c.index, state, speed);
        EXPECT_EQ(state, c.state);
        EXPECT_EQ(speed, c.speed);
    }
}

TEST(Station, MalformedOrUnknownCommandsChangeNothing) {
    tStation station;
    station.Handle("M0,1,100", 0);
    const std::string before = station.QueryReply();
    for (const char* line : {"",        "X9,1,5",  "m0,1,5",   "M0",     "M0,1",
                             "M0,x,5",  "M0,1,5x", "M0,1,5,6", "M0,,5",  "M0,1,99999999999",
                             " M0,1,5", "F",       "F199",     "F60001", "F1e3",
                             "F 300",   "F-300",   "S ",       "i",      "??"}) {
        EXPECT_EQ(station.Handle(line, 0), tCommandKind::ignored) << '"' << line << '"';
    }
    EXPECT_EQ(station.QueryReply(), before);
    EXPECT_EQ(station.PeriodMs(), 200);
    EXPECT_FALSE(station.Measuring());
    int state = 0;
    int speed = 0;
    EXPECT_THROW(station.Actuator(5, state, speed), std::out_of_range);
    EXPECT_THROW(station.Actuator(-1, state, speed), std::out_of_range);
}

TEST(Station, QueryReplyListsEveryActuatorGroup) {
    tStation station;
    EXPECT_EQ(station.QueryReply(), "H0:0,0\tM0:0,0\tD1:0,0\tD2:0,0\tD3:0,0\t\r\n");
    station.Handle("H0,1,255", 0);
    station.Handle("M0,1,-255", 0);
    station.Handle("D1,1,-600", 0);
    station.Handle("D2,1,600", 0);
    station.Handle("D3,1,-600", 0);
    const std::string reply = station.QueryReply();
    EXPECT_EQ(reply, "H0:1,255\tM0:1,-255\tD1:1,-600\tD2:1,600\tD3:1,-600\t\r\n");
    EXPECT_LT(reply.size(), 80u);
}

TEST(Station, RecordsFallDueEveryPeriodFromTheStartCommand) {
    tStation station(1, false, 500);
    EXPECT_EQ(station.Handle("S", 1000), tCommandKind::start);
    EXPECT_TRUE(station.Measuring());
    EXPECT_DOUBLE_EQ(station.NextRecordMs(), 1500);
    EXPECT_EQ(station.NextRecord().tt, 500.0f);
    EXPECT_EQ(station.NextRecord().tt, 1000.0f);

    // A new period counts from the last record.
    EXPECT_EQ(station.Handle("F2000", 2100), tCommandKind::period);
    EXPECT_EQ(station.PeriodMs(), 2000);
    EXPECT_DOUBLE_EQ(station.NextRecordMs(), 1000 + 1000 + 2000);
    EXPECT_EQ(station.NextRecord().tt, 3000.0f);

    // A stalled line skips the stale records instead of sending them in a burst.
    station.SkipLateRecords(1000 + 20000);
    EXPECT_GT(station.NextRecordMs(), 1000 + 20000 - 2000 - 1);
    EXPECT_LE(station.NextRecordMs(), 1000 + 20000);

    EXPECT_EQ(station.Handle("T", 30000), tCommandKind::stop);
    EXPECT_FALSE(station.Measuring());
    // The time restarts with every start command.
    station.Handle("S", 40000);
    EXPECT_EQ(station.NextRecord().tt, 2000.0f);
}

TEST(Station, RecordTextCarriesTheValuesItIsReportedWith) {
    tStation station(5, true);
    station.Handle("H0,1,200", 0);
    station.Handle("M0,1,-120", 0);
    station.Handle("D1,1,600", 0);
    station.Handle("S", 0);
    for (int i = 0; i < 30; ++i) {
        const tSentRecord sent = station.NextRecord();
        SCOPED_TRACE(sent.line);
        tSentRecord parsed{};
        ASSERT_EQ(ParseRecord(sent.line, parsed), 18);
        EXPECT_EQ(parsed.lt, sent.lt);
        EXPECT_EQ(parsed.lp, sent.lp);
        EXPECT_EQ(parsed.lc, sent.lc);
        EXPECT_EQ(parsed.le, sent.le);
        EXPECT_EQ(parsed.v1, sent.v1);
        EXPECT_EQ(parsed.v2, sent.v2);
        EXPECT_EQ(parsed.v3, sent.v3);
        EXPECT_EQ(parsed.tt, sent.tt);
        for (int a = 0; a < 5; ++a) {
            EXPECT_EQ(parsed.state[a], sent.state[a]);
            EXPECT_EQ(parsed.speed[a], sent.speed[a]);
        }
        EXPECT_EQ(sent.line.find_first_of(",\r\n", sent.line.find("TT:")), std::string::npos);
        EXPECT_EQ(sent.line.find("-0.0"), std::string::npos);
    }
    tSentRecord last{};
    ParseRecord(station.NextRecord().line, last);
    EXPECT_EQ(last.speed[1], -120);
    EXPECT_EQ(last.state[2], 1);
    EXPECT_NEAR(last.v1, 31 * 0.2 * 10.0, 0.01);  // 31 periods of 200 ms at 10 units/s
}
