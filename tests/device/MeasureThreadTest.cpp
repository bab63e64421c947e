#include "device/MeasureThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "DeviceTestSupport.h"
#include "base/CommandLine.h"
#include "device/SerialPort.h"

namespace vantrel {
namespace {

using test::tCaptureLog;
using test::tLogScope;
using test::tPtyPeer;
using test::waitUntil;
using namespace std::chrono_literals;

const char* eventName(tMeasureEvent event) {
    switch (event) {
        case tMeasureEvent::StartFailed:
            return "#StartFailed";
        case tMeasureEvent::Silence:
            return "#Silence";
        case tMeasureEvent::PacketQueued:
            return "#PacketQueued";
        case tMeasureEvent::LinkLost:
            return "#LinkLost";
        case tMeasureEvent::CommandFailed:
            return "#CommandFailed";
    }
    return "#?";
}

// A measurement thread on one end of a pty, the test on the other. Events go
// into the captured log, in order with the thread's own lines.
class MeasureThreadTest : public ::testing::Test {
protected:
    void Start(unsigned windowMs) {
        port_ = createSerialPort();
        ASSERT_TRUE(port_->Open(peer_.PortPath())) << port_->LastErrorText();
        ASSERT_TRUE(port_->ApplyLineSettings(tDtrMode::Keep));
        ASSERT_TRUE(port_->SetTimeouts(500, 500));
        thread_ = std::make_unique<tMeasureThread>(
            *port_, [this](tMeasureEvent event) { log_->Record(eventName(event)); }, windowMs);
        ASSERT_TRUE(peer_.WaitFor("S\r\n"));
    }

    // Takes packets until `bytes` bytes have arrived (or the time is up).
    void TakeUntil(std::size_t bytes, std::chrono::milliseconds timeout = 5000ms) {
        waitUntil(
            [&] {
                thread_->TakePackets(packets_);
                return Received().size() >= bytes;
            },
            timeout);
    }

    std::string Received() const {
        std::string all;
        for (const tPacket& packet : packets_) {
            all += test::packetText(packet);
        }
        return all;
    }

    void Stop() {
        thread_->Terminate();
        thread_->WaitFor();
        thread_->TakePackets(packets_);
    }

    void TearDown() override {
        thread_.reset();
        port_.reset();
    }

    tLogScope log_;
    tPtyPeer peer_;
    std::unique_ptr<iSerialPort> port_;
    std::unique_ptr<tMeasureThread> thread_;
    tPacketQueue packets_;
};

std::string randomLines(std::mt19937& random, int count) {
    std::uniform_int_distribution<int> length(0, 200);
    std::uniform_int_distribution<int> character(0x20, 0x7E);
    std::string stream;
    for (int i = 0; i < count; ++i) {
        int n = length(random);
        for (int j = 0; j < n; ++j) {
            stream += static_cast<char>(character(random));
        }
        stream += "\r\n";
    }
    return stream;
}

// Whatever the station's bytes look like when they cross read windows, the
// packets together are exactly the stream and each one ends a line.
TEST_F(MeasureThreadTest, PacketsReassembleAnyRandomSplitting) {
    Start(8);
    std::string all;
    for (std::uint32_t seed = 1; seed <= 5; ++seed) {
        std::mt19937 random(seed);
        const std::string stream = randomLines(random, 70);
        std::uniform_int_distribution<std::size_t> piece(1, 300);
        std::uniform_int_distribution<int> pause(0, 15);
        for (std::size_t at = 0; at < stream.size();) {
            std::size_t n = std::min(piece(random), stream.size() - at);
            peer_.Write(std::string_view(stream).substr(at, n));
            at += n;
            std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        }
        all += stream;
        TakeUntil(all.size());
        ASSERT_EQ(Received(), all) << "seed " << seed;
    }
    Stop();
    EXPECT_EQ(Received(), all);
    EXPECT_GT(packets_.size(), 50u);
    for (const tPacket& packet : packets_) {
        ASSERT_GE(packet.size, 1);
        ASSERT_LE(packet.size, static_cast<std::int32_t>(tPacket::kBufferSize));
        EXPECT_EQ(packet.buffer[packet.size - 1], '\n');
    }
}

TEST_F(MeasureThreadTest, PartialLineWaitsForItsEndAndIsLoggedOnRequest) {
    struct tSwitch {
        tSwitch() { setCommandLine({"-LOG_MEASURE"}); }
        ~tSwitch() { setCommandLine(std::vector<std::string>{}); }
    } logMeasure;
    Start(30);
    peer_.Write("A\r\nLT:1");
    TakeUntil(3);
    std::this_thread::sleep_for(80ms);  // the tail must stay back across windows
    thread_->TakePackets(packets_);
    EXPECT_EQ(Received(), "A\r\n");
    peer_.Write("5\r\n");
    TakeUntil(10);
    Stop();
    ASSERT_EQ(packets_.size(), 2u);
    EXPECT_EQ(test::packetText(packets_[1]), "LT:15\r\n");
    EXPECT_TRUE(log_->Contains("_footer_size=4\r\n0x4C0x540x3A0x31\r\n"));
}

// A partial line longer than the carry must neither overflow it nor lose
// bytes: the carry keeps its last 255 bytes, the rest goes out at once.
TEST_F(MeasureThreadTest, OversizePartialLineIsBoundedWithoutLosingBytes) {
    Start(20);
    const std::string head(600, 'x');
    peer_.Write(head);
    TakeUntil(head.size() - tMeasureThread::kCarryLimit);
    std::this_thread::sleep_for(60ms);
    thread_->TakePackets(packets_);
    EXPECT_EQ(Received(), std::string(head.size() - tMeasureThread::kCarryLimit, 'x'));

    // More than a whole read buffer without a line feed.
    const std::string body(5000, 'y');
    const std::string end = "\r\nLT:2\r\n";
    peer_.Write(body);
    peer_.Write(end);
    TakeUntil(head.size() + body.size() + end.size());
    Stop();
    EXPECT_EQ(Received(), head + body + end);
    for (const tPacket& packet : packets_) {
        ASSERT_LE(packet.size, static_cast<std::int32_t>(tPacket::kBufferSize));
    }
    EXPECT_EQ(test::packetText(packets_.back()).substr(packets_.back().size - 6), "LT:2\r\n");
}

// Every queued command goes out, oldest first, one per read window; those
// added after the stop request are still written before the thread ends.
TEST_F(MeasureThreadTest, CommandsGoOutOnePerWindowInOrderUntilTheListIsEmpty) {
    Start(20);
    thread_->AddCommand("F500\r\n");
    thread_->AddCommand("D1,1,50\r\n");
    thread_->AddCommand("H0,0\r\n");
    thread_->Terminate();
    thread_->AddCommand("M0,1,10\r\n");
    thread_->AddCommand("D2,0\r\n");
    thread_->WaitFor();
    EXPECT_TRUE(thread_->Finished());

    const std::string expected = "S\r\nF500\r\nD1,1,50\r\nH0,0\r\nM0,1,10\r\nD2,0\r\n";
    EXPECT_EQ(peer_.ReadFor(50), expected);

    std::vector<std::string> steps;
    for (const std::string& line : log_->Lines()) {
        if (line.rfind("WRITING: ", 0) == 0 || line == "COMMAND WRITTEN") {
            steps.push_back(line);
        } else if (line.rfind("Readed ", 0) == 0 || line == "ReadTimeout") {
            steps.push_back("read");
        }
    }
    const std::vector<std::string> wanted = {"WRITING: F500\r\n",
                                             "COMMAND WRITTEN",
                                             "read",
                                             "WRITING: D1,1,50\r\n",
                                             "COMMAND WRITTEN",
                                             "read",
                                             "WRITING: H0,0\r\n",
                                             "COMMAND WRITTEN",
                                             "read",
                                             "WRITING: M0,1,10\r\n",
                                             "COMMAND WRITTEN",
                                             "read",
                                             "WRITING: D2,0\r\n",
                                             "COMMAND WRITTEN",
                                             "read",
                                             "read"};
    // Read windows may pass before the first command is seen; the
    // window after the last command is the thread's last.
    while (!steps.empty() && steps.front() == "read") {
        steps.erase(steps.begin());
    }
    EXPECT_EQ(steps, wanted);
}

// Off commands go out together in the next window, ahead of the queue, and
// a switch-on queued for the same actuator does not follow its cut.
TEST_F(MeasureThreadTest, OffCommandsGoFirstAndDropWhatTheyOverrule) {
    Start(100);
    thread_->AddCommand("M0,1,10\r\n");
    thread_->AddCommand("H0,1,255\r\n");
    thread_->AddCommand("F500\r\n");
    thread_->AddUrgentCommand("H0,0\r\n", "H0,");
    thread_->AddUrgentCommand("D1,0\r\n", "D1,");
    thread_->Terminate();
    thread_->WaitFor();
    EXPECT_EQ(peer_.ReadFor(50), "S\r\nH0,0\r\nD1,0\r\nM0,1,10\r\nF500\r\n");
    EXPECT_EQ(log_->Count("DROPPED: H0,1,255"), 1);
}

// From the 300th empty read in a row on, every empty read reports silence;
// one packet starts the count again.
TEST_F(MeasureThreadTest, SilenceIsReportedFromTheThreeHundredthEmptyRead) {
    Start(2);
    ASSERT_TRUE(waitUntil([&] { return log_->Count("#Silence") >= 3; }, 20000ms));
    peer_.Write("LT:1\r\n");
    ASSERT_TRUE(waitUntil([&] { return log_->Contains("#PacketQueued"); }));
    const int before = log_->Count("#Silence");
    ASSERT_TRUE(waitUntil([&] { return log_->Count("#Silence") > before; }, 20000ms));
    Stop();
    ASSERT_EQ(packets_.size(), 1u);

    const std::vector<std::string> lines = log_->Lines();
    unsigned emptyRun = 0;
    int silenceRuns = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == "#PacketQueued") {
            emptyRun = 0;
        } else if (lines[i] == "Invalid data recv :") {
            ++emptyRun;
            const bool silenceNext = i + 1 < lines.size() && lines[i + 1] == "#Silence";
            ASSERT_EQ(silenceNext, emptyRun >= tMeasureThread::kSilentReads)
                << "empty read " << emptyRun;
            silenceRuns += emptyRun == tMeasureThread::kSilentReads ? 1 : 0;
        }
    }
    EXPECT_EQ(silenceRuns, 2);
}

TEST(MeasureThread, StartFailureEndsTheThreadAndIsReported) {
    tLogScope log;
    auto port = createSerialPort();  // never opened: the start command cannot go out
    std::atomic<int> startFailed = 0;
    tMeasureThread thread(*port, [&](tMeasureEvent event) {
        startFailed += event == tMeasureEvent::StartFailed ? 1 : 0;
    });
    thread.AddCommand("F200\r\n");
    thread.WaitFor();
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(startFailed.load(), 1);
    EXPECT_TRUE(log->Contains("START FAILED"));
    EXPECT_FALSE(log->Contains("WRITING: F200\r\n"));
    tPacketQueue queue;
    EXPECT_EQ(thread.TakePackets(queue), 0u);
}

}  // namespace
}  // namespace vantrel
