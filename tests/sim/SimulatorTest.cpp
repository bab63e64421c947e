#include "sim/Simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/LinePort.h"
#include "sim/RecordText.h"

using vantrel::sim::tFaults;
using vantrel::sim::tLine;
using vantrel::sim::tOptions;
using vantrel::sim::tSentRecord;
using vantrel::sim::tSimulator;

namespace {

using Clock = std::chrono::steady_clock;

// 200 ms of station time pass in 20 ms.
tOptions Fast(double timeScale = 10.0) {
    tOptions options;
    options.timeScale = timeScale;
    options.noise = false;
    return options;
}

std::vector<std::string> SplitLines(const std::string& stream) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t lf = stream.find('\n'); lf != std::string::npos;
         lf = stream.find('\n', start)) {
        std::string line = stream.substr(start, lf - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = lf + 1;
    }
    return lines;
}

std::string Joined(const std::vector<tSentRecord>& records) {
    std::string stream;
    for (const auto& r : records) {
        stream += r.line + "\r\n";
    }
    return stream;
}

// Waits (briefly) until the simulator has taken in `count` lines.
void AwaitLines(const tSimulator& sim, std::size_t count) {
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (sim.ReceivedLines().size() < count && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Every case runs on each line the simulator offers.
class SimulatorTest : public ::testing::TestWithParam<tLine> {
protected:
    void Open(tOptions options = Fast()) {
        options.line = GetParam();
        sim_ = std::make_unique<tSimulator>(options);
        sim_->Start();
        port_ = std::make_unique<tLinePort>(sim_->PortPath());
        ASSERT_TRUE(port_->IsOpen()) << sim_->PortPath();
    }
    std::unique_ptr<tSimulator> sim_;
    std::unique_ptr<tLinePort> port_;
};

}  // namespace

TEST_P(SimulatorTest, IdentifiesWithExactlyTheElevenBytes) {
    Open();
    ASSERT_TRUE(port_->Send("I\r\n"));
    EXPECT_EQ(port_->ReadBytes(11, 1000), "A-VANTREL\r\n");
    EXPECT_EQ(port_->ReadFor(50), "");  // nothing more, no echo
    // A bare line feed ends a command too.
    port_->Send("I\n");
    EXPECT_EQ(port_->ReadBytes(11, 1000), "A-VANTREL\r\n");
    EXPECT_EQ(sim_->ReceivedLines(), (std::vector<std::string>{"I", "I"}));
}

TEST_P(SimulatorTest, StrayByteComesOnlyBeforeTheFirstReplies) {
    tOptions options = Fast();
    options.faults.strayByteBeforeId = true;
    options.faults.strayByteCount = 2;
    Open(options);
    for (int i = 0; i < 2; ++i) {
        port_->Send("I\r\n");
        EXPECT_EQ(port_->ReadBytes(12, 1000), std::string("\0A-VANTREL\r\n", 12));
    }
    port_->Send("I\r\n");
    EXPECT_EQ(port_->ReadBytes(11, 1000), "A-VANTREL\r\n");

    tFaults faults = options.faults;
    faults.strayByte = '#';
    faults.strayByteCount = 1;
    sim_->SetFaults(faults);
    port_->Send("I\r\n");
    EXPECT_EQ(port_->ReadBytes(12, 1000), "#A-VANTREL\r\n");
}

TEST_P(SimulatorTest, QueryShowsWhatTheActuatorCommandsSet) {
    Open();
    port_->Send("?\r\n");
    EXPECT_EQ(port_->ReadLines(1, 1000), "H0:0,0\tM0:0,0\tD1:0,0\tD2:0,0\tD3:0,0\t\r\n");
    port_->Send("H0,1,128\r\nM0,1,-40\r\nD1,1,3\r\nD3,1,700\r\nD3,0\r\nbogus\r\n?\r\n");
    EXPECT_EQ(port_->ReadLines(1, 1000), "H0:1,128\tM0:1,-40\tD1:1,6\tD2:0,0\tD3:0,0\t\r\n");
    int state = 0;
    int speed = 0;
    sim_->ActuatorState(1, state, speed);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(speed, -40);
    EXPECT_EQ(port_->ReadFor(50), "");  // set commands get no reply
}

TEST_P(SimulatorTest, StreamsRecordsAtThePeriodUntilStopped) {
    Open();
    port_->Send("S\r\n");
    const auto started = Clock::now();
    std::string stream = port_->ReadLines(5, 2000);
    const auto elapsed = Clock::now() - started;
    EXPECT_TRUE(sim_->Measuring());
    // Five records of 200 station ms at ten times the speed: about 100 ms.
    EXPECT_GE(elapsed, std::chrono::milliseconds(90));

    port_->Send("F400\r\n");
    stream += port_->ReadLines(4, 2000);
    port_->Send("T\r\n");
    AwaitLines(*sim_, 3);
    EXPECT_FALSE(sim_->Measuring());
    stream += port_->ReadFor(30);  // a record may have crossed the stop command
    EXPECT_EQ(port_->ReadFor(100), "");
    EXPECT_EQ(sim_->PeriodMs(), 400);

    // The bytes on the line are exactly the records reported as sent.
    const std::vector<tSentRecord> sent = sim_->SentRecords();
    ASSERT_EQ(stream, Joined(sent));
    ASSERT_GE(sent.size(), 9u);
    const std::vector<std::string> lines = SplitLines(stream);
    float previousTt = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        tSentRecord parsed{};
        ASSERT_EQ(ParseRecord(lines[i], parsed), 18);
        EXPECT_EQ(parsed.lt, sent[i].lt);
        EXPECT_EQ(parsed.lp, sent[i].lp);
        EXPECT_EQ(parsed.lc, sent[i].lc);
        EXPECT_EQ(parsed.le, sent[i].le);
        EXPECT_EQ(parsed.v1, sent[i].v1);
        EXPECT_EQ(parsed.tt, sent[i].tt);
        const float step = parsed.tt - previousTt;
        EXPECT_TRUE(step == 200.0f || step == 400.0f) << step;
        EXPECT_EQ(step, i < 5 ? 200.0f : step);
        previousTt = parsed.tt;
    }
    EXPECT_EQ(sent.back().tt - sent[sent.size() - 2].tt, 400.0f);
}

TEST_P(SimulatorTest, DosingAndHeatingShowInTheRecords) {
    // One station second per 10 ms.
    tOptions options = Fast(100.0);
    options.initialPeriodMs = 1000;
    Open(options);
    port_->Send("M0,1,255\r\nH0,1,255\r\nD1,1,600\r\nS\r\n");
    const std::vector<std::string> up = SplitLines(port_->ReadLines(10, 2000));
    ASSERT_GE(up.size(), 10u);
    port_->Send("D1,0\r\nD2,1,600\r\n");
    AwaitLines(*sim_, 6);
    port_->ReadFor(20);  // records sent before the pumps changed
    const std::vector<std::string> down = SplitLines(port_->ReadLines(12, 2000));
    ASSERT_GE(down.size(), 12u);

    tSentRecord first{}, top{}, before{}, last{};
    ASSERT_EQ(ParseRecord(up.front(), first), 18);
    ASSERT_EQ(ParseRecord(up.back(), top), 18);
    ASSERT_EQ(ParseRecord(down[down.size() - 2], before), 18);
    ASSERT_EQ(ParseRecord(down.back(), last), 18);
    EXPECT_GT(top.v1, first.v1 + 50.0f);  // 10 units per second
    EXPECT_LT(first.lp, 3.0f);
    EXPECT_GT(top.lp, 10.0f);  // past the equivalence point at about 54 units
    EXPECT_GT(top.lt, first.lt + 2.0f);
    EXPECT_EQ(last.v1, before.v1);  // pump 1 stopped
    EXPECT_GT(last.v2, before.v2);
    EXPECT_LT(last.lp, 4.0f);  // the acid brings it back down
    EXPECT_EQ(last.state[3], 1);
    EXPECT_EQ(last.speed[3], 600);
}

TEST_P(SimulatorTest, SplitRecordsFormTheSameByteStream) {
    tOptions options = Fast();
    options.faults.splitRecords = true;
    options.faults.splitPauseMs = 3;
    options.faults.seed = 42;
    Open(options);
    port_->Send("S\r\n");
    std::vector<std::size_t> chunks;
    std::string stream = port_->ReadLines(12, 3000, &chunks);
    port_->Send("T\r\n");
    AwaitLines(*sim_, 2);
    stream += port_->ReadFor(50);
    EXPECT_EQ(stream, Joined(sim_->SentRecords()));
    EXPECT_GT(chunks.size(), 12u) << "no record arrived in pieces";
}

TEST_P(SimulatorTest, GarbageLinesReplaceEveryNthRecord) {
    tOptions options = Fast();
    options.faults.garbageEvery = 3;
    options.faults.seed = 9;
    Open(options);
    port_->Send("S\r\n");
    const std::vector<std::string> lines = SplitLines(port_->ReadLines(24, 3000));
    port_->Send("T\r\n");
    ASSERT_EQ(lines.size(), 24u);
    const std::vector<tSentRecord> sent = sim_->SentRecords();
    const std::vector<std::string> garbage = sim_->GarbageLines();
    ASSERT_GE(garbage.size(), 8u);
    ASSERT_GE(sent.size(), 16u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        tSentRecord parsed{};
        if (i % 3 == 2) {
            EXPECT_EQ(lines[i], garbage[i / 3]);
            EXPECT_LT(ParseRecord(lines[i], parsed), 18);
        } else {
            EXPECT_EQ(lines[i], sent[i - i / 3].line);
            EXPECT_EQ(ParseRecord(lines[i], parsed), 18);
        }
    }
}

TEST_P(SimulatorTest, MissingAndSlowReplies) {
    tOptions options = Fast();
    options.faults.ignoreIdentify = true;
    options.faults.ignoreQuery = true;
    Open(options);
    port_->Send("I\r\n?\r\n");
    AwaitLines(*sim_, 2);
    EXPECT_EQ(port_->ReadFor(100), "");

    tFaults slow;
    slow.replyDelayMs = 150;
    sim_->SetFaults(slow);
    const auto sentAt = Clock::now();
    port_->Send("?\r\n");
    EXPECT_EQ(port_->ReadLines(1, 1000).substr(0, 3), "H0:");
    EXPECT_GE(Clock::now() - sentAt, std::chrono::milliseconds(150));
}

TEST_P(SimulatorTest, SilentStationStartsTalkingWhenTheFaultClears) {
    tOptions options = Fast();
    options.faults.silent = true;
    Open(options);
    port_->Send("S\r\n");
    AwaitLines(*sim_, 1);
    EXPECT_TRUE(sim_->Measuring());
    EXPECT_EQ(port_->ReadFor(150), "");
    sim_->SetFaults(tFaults{});
    const std::vector<std::string> lines = SplitLines(port_->ReadLines(2, 1000));
    ASSERT_EQ(lines.size(), 2u);
    tSentRecord record{};
    ASSERT_EQ(ParseRecord(lines[0], record), 18);
    EXPECT_GT(record.tt, 1000.0f);  // the station kept its clock while silent
}

TEST_P(SimulatorTest, HangUpMakesThePortDisappear) {
    Open();
    port_->Send("S\r\n");
    ASSERT_EQ(SplitLines(port_->ReadLines(1, 1000)).size(), 1u);
    sim_->HangUp();
    EXPECT_TRUE(sim_->PortClosed());
    EXPECT_FALSE(sim_->Measuring());

    port_->ReadFor(1000);  // whatever was still buffered, then the end
    EXPECT_TRUE(port_->HungUp());
    EXPECT_FALSE(port_->Send("I\r\n"));
    sim_->Stop();  // harmless after a hang-up
}

TEST_P(SimulatorTest, HangsUpAfterTheGivenNumberOfRecords) {
    tOptions options = Fast();
    options.faults.hangUpAfterRecords = 3;
    Open(options);
    port_->Send("S\r\n");
    const std::string stream = port_->ReadFor(1500);
    EXPECT_TRUE(port_->HungUp());
    EXPECT_EQ(SplitLines(stream).size(), 3u);
    EXPECT_EQ(stream, Joined(sim_->SentRecords()));
    EXPECT_TRUE(sim_->PortClosed());
}

TEST_P(SimulatorTest, ProgramClosingItsSideIsNoHangUp) {
    Open();
    port_.reset();  // the detector closes the port before the link reopens it
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(sim_->PortClosed());
    port_ = std::make_unique<tLinePort>(sim_->PortPath());
    ASSERT_TRUE(port_->IsOpen());
    port_->Send("I\r\n");
    EXPECT_EQ(port_->ReadBytes(11, 1000), "A-VANTREL\r\n");
}

TEST_P(SimulatorTest, OverlongAndUnknownLinesAreIgnored) {
    Open();
    port_->Send(std::string(5000, 'H') + "\r\nhello\r\n\r\nF300\r\n");
    port_->Send("I\r\n");
    EXPECT_EQ(port_->ReadBytes(11, 1000), "A-VANTREL\r\n");
    EXPECT_EQ(sim_->PeriodMs(), 300);
    const std::vector<std::string> lines = sim_->ReceivedLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_LE(lines[0].size(), 255u);
    EXPECT_EQ(lines[1], "hello");
    EXPECT_EQ(lines[2], "");
}

TEST_P(SimulatorTest, LifecycleAndBadOptions) {
    {
        tOptions options;
        options.line = GetParam();
        tSimulator unused(options);  // never started: nothing to stop
        EXPECT_TRUE(unused.PortPath().empty());
        EXPECT_FALSE(unused.Measuring());
        EXPECT_EQ(unused.PeriodMs(), 200);
    }
    tOptions options = Fast();
    options.line = GetParam();
    tSimulator sim(options);
    sim.Start();
    EXPECT_THROW(sim.Start(), std::runtime_error);
    sim.Stop();
    sim.Start();  // the port again after a stop
    tLinePort port(sim.PortPath());
    ASSERT_TRUE(port.IsOpen());
    port.Send("I\r\n");
    EXPECT_EQ(port.ReadBytes(11, 1000), "A-VANTREL\r\n");
    port.Send("S\r\n");
    port.ReadLines(2, 1000);  // stopped by the destructor while streaming

    tOptions badScale;
    badScale.timeScale = 0;
    EXPECT_THROW(tSimulator(badScale).Start(), std::runtime_error);
    tOptions badPeriod;
    badPeriod.initialPeriodMs = 100;
    EXPECT_THROW(tSimulator(badPeriod).Start(), std::runtime_error);
}

// The in-process port behaves as a plugged-in one: one program at a time,
// absent while the station is unplugged, the same name when it comes back
// (also as a Windows device path), and a handle from before stays dead.
TEST(MemoryLine, OpensLikeAPluggedPort) {
    tOptions options = Fast();
    options.line = tLine::memory;
    tSimulator sim(options);
    sim.Start();
    const std::string path = sim.PortPath();
    tLinePort first(path);
    ASSERT_TRUE(first.IsOpen());
    EXPECT_FALSE(tLinePort(path).IsOpen());
    sim.Stop();
    EXPECT_FALSE(first.Send("I\r\n"));
    EXPECT_FALSE(tLinePort(path).IsOpen());
    sim.Start();
    EXPECT_EQ(sim.PortPath(), path);
    EXPECT_FALSE(first.Send("I\r\n"));
    tLinePort second("\\\\.\\" + path);  // as Windows names its ports
    ASSERT_TRUE(second.IsOpen());
    second.Send("I\r\n");
    EXPECT_EQ(second.ReadBytes(11, 1000), "A-VANTREL\r\n");
}

INSTANTIATE_TEST_SUITE_P(Lines, SimulatorTest,
#ifdef _WIN32
                         ::testing::Values(tLine::memory),
#else
                         ::testing::Values(tLine::memory, tLine::pseudoTerminal),
#endif
                         [](const auto& line) {
                             return line.param == tLine::memory ? "memory" : "pty";
                         });
