#include "device/Device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "DeviceTestSupport.h"
#include "base/Error.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "sim/Simulator.h"

namespace vantrel {
namespace {

using test::tLogScope;
using test::tPtyPeer;
using test::waitUntil;
using namespace std::chrono_literals;
using tClock = std::chrono::steady_clock;

// Timing keys small, so that opening and identification take milliseconds.
void fastSettings(tSettings& settings) {
    settings.SetSettingByName("Timeout", "10");
    settings.SetSettingByName("CheckCount", "3");
    settings.SetSettingByName("CheckTimeout", "100");
}

sim::tOptions quietStation() {
    sim::tOptions options;
    options.noise = false;
    return options;
}

class DeviceTest : public ::testing::Test {
protected:
    DeviceTest() { fastSettings(settings_); }

    void StartStation(sim::tOptions options = quietStation()) {
        station_ = std::make_unique<sim::tSimulator>(options);
        station_->Start();
    }

    std::unique_ptr<tDevice> OpenDevice() {
        auto device = std::make_unique<tDevice>(station_->PortPath(), &settings_);
        std::string error;
        EXPECT_TRUE(device->Open(error)) << error;
        EXPECT_TRUE(error.empty());
        return device;
    }

    int Count(const std::vector<std::string>& lines, const std::string& line) {
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }

    tLogScope log_;
    tSettings settings_;
    std::unique_ptr<sim::tSimulator> station_;  // after the log: stopped before it goes
};

TEST_F(DeviceTest, OpensAndIdentifiesTheStation) {
    StartStation();
    auto device = OpenDevice();
    EXPECT_EQ(device->PortName(), station_->PortPath());
    EXPECT_TRUE(device->CheckIdentity());
    EXPECT_EQ(station_->ReceivedLines(), std::vector<std::string>{"I"});
    EXPECT_FALSE(device->IsMeasuring());
    EXPECT_TRUE(log_->Contains("RECV: BIN 'A-VANTREL\r\n'"));
}

// Exactly 11 bytes are compared: a stray byte in front spoils that attempt,
// and the purge before the next one gets rid of what is left of it.
TEST_F(DeviceTest, StrayByteFailsOneAttemptAndALaterOneSucceeds) {
    sim::tOptions options = quietStation();
    options.faults.strayByteBeforeId = true;
    options.faults.strayByte = 'Z';
    StartStation(options);
    auto device = OpenDevice();
    EXPECT_TRUE(device->CheckIdentity());
    const auto received = station_->ReceivedLines();
    EXPECT_GE(received.size(), 2u);
    EXPECT_LE(received.size(), 3u);
    EXPECT_TRUE(log_->Contains("RECV: BIN 'ZA-VANTREL\r'"));
    EXPECT_EQ(Count(log_->Lines(), "SEND: purge comm"), static_cast<int>(received.size()));
    for (const std::string& line : log_->Lines()) {
        EXPECT_NE(line.rfind("CHECK: ", 0), 0u) << line;
    }
}

TEST_F(DeviceTest, IdentificationFailureNamesItsReason) {
    sim::tOptions options = quietStation();
    options.faults.strayByteBeforeId = true;
    options.faults.strayByteCount = 100;
    StartStation(options);
    auto device = OpenDevice();
    EXPECT_FALSE(device->CheckIdentity());
    EXPECT_EQ(station_->ReceivedLines().size(), 3u);
    EXPECT_TRUE(log_->Contains("CHECK: " + station_->PortPath() + " ID NOT FOUND IN RESPONSE"));

    options.faults.strayByteBeforeId = false;
    options.faults.ignoreIdentify = true;
    station_->SetFaults(options.faults);
    log_->Clear();
    const auto start = tClock::now();
    EXPECT_FALSE(device->CheckIdentity());
    EXPECT_GE(tClock::now() - start, 3 * 100ms);  // CheckTimeout per attempt
    EXPECT_TRUE(log_->Contains("CHECK: " + station_->PortPath() + " READ ID FAILED"));
    EXPECT_TRUE(log_->Contains("RECV: read bytes 0"));
}

// A count that is zero, negative or no number at all means five attempts.
TEST_F(DeviceTest, UnusableCheckCountMeansFiveAttempts) {
    sim::tOptions options = quietStation();
    options.faults.ignoreIdentify = true;
    StartStation(options);
    auto device = OpenDevice();
    settings_.SetSettingByName("CheckTimeout", "5");
    for (const char* count : {"0", "-2", "many"}) {
        settings_.SetSettingByName("CheckCount", count);
        log_->Clear();
        EXPECT_FALSE(device->CheckIdentity());
        EXPECT_EQ(log_->Count("RECV: try to read bytes 11"), 5) << count;
    }
}

// A read timeout of 0 waits forever on Windows and spins on POSIX; hours of
// settle delay freeze the search. Values outside the sane range fall back to
// the default, and the log says which value was used.
TEST_F(DeviceTest, TimingKeysOutsideTheirRangeUseTheDefault) {
    sim::tOptions options = quietStation();
    options.faults.ignoreIdentify = true;
    StartStation(options);
    settings_.SetSettingByName("CheckCount", "1");
    const auto timed = [](auto&& work) {
        const auto start = tClock::now();
        work();
        return std::chrono::duration_cast<std::chrono::milliseconds>(tClock::now() - start);
    };
    for (const char* value : {"0", "99999999"}) {
        settings_.SetSettingByName("Timeout", value);
        settings_.SetSettingByName("CheckTimeout", value);
        tDevice device(station_->PortPath(), &settings_);
        std::string error;
        const auto opening = timed([&] { EXPECT_TRUE(device.Open(error)) << error; });
        const auto checking = timed([&] { EXPECT_FALSE(device.CheckIdentity()); });
        EXPECT_GE(checking, 400ms) << value;
        EXPECT_LT(checking, 2000ms) << value;
        EXPECT_EQ(log_->Count(std::string("CheckTimeout=") + value +
                              " does not read (a whole number from 1 to 10000), using 500"),
                  1);
        if (std::string(value) != "0") {  // no settle delay is a sound choice
            EXPECT_GE(opening, 900ms);
            EXPECT_LT(opening, 3000ms);
            EXPECT_TRUE(log_->Contains(std::string("Timeout=") + value +
                                       " does not read (a whole number from 0 to 10000), using "
                                       "1000"));
        }
    }
}

TEST_F(DeviceTest, PortThatCannotBeOpenedGivesMessage1007) {
    const std::string path = "/dev/vantrel-no-such-port";
    tDevice device(path, &settings_);
    std::string error;
    EXPECT_FALSE(device.Open(error));
    EXPECT_EQ(error, formatMessage(1007, {path, systemErrorText(ENOENT)}));
    EXPECT_TRUE(log_->Contains(path + ": Cannot get default config. " + std::to_string(ENOENT) +
                               " " + systemErrorText(ENOENT)));
    device.Close();  // closing a link that never opened is harmless
}

TEST_F(DeviceTest, StopSendsTheStopCommandWithTheExactLog) {
    StartStation();
    auto device = OpenDevice();
    log_->Clear();
    EXPECT_TRUE(device->StopMeasure());  // also when no measurement runs
    const std::vector<std::string> expected = {"SEND: purge comm",
                                               "SEND: write bytes 3",
                                               "SEND: HEX 0x54 0x0D 0x0A ",
                                               "SEND: BIN 'T\r\n'",
                                               "SEND: request written",
                                               "RECV: try to read bytes 0",
                                               ""};
    EXPECT_EQ(log_->Lines(), expected);
    EXPECT_EQ(station_->ReceivedLines(), std::vector<std::string>{"T"});
}

// A reply cut short fails the exchange, but what did arrive is logged and kept.
TEST_F(DeviceTest, ShortReplyFailsTheExchangeAndKeepsItsBytes) {
    tPtyPeer peer;
    tDevice device(peer.PortPath(), &settings_);
    std::string error;
    ASSERT_TRUE(device.Open(error)) << error;
    peer.Write("A-VANTR");  // waits in the receive buffer: the purge drops it
    std::this_thread::sleep_for(20ms);
    std::thread station([&] {
        if (peer.WaitFor("I\r\n")) {
            peer.Write("A-VANTR");
        }
    });
    char reply[11] = {};
    EXPECT_FALSE(device.Transact("I\r\n", 3, 150, 11, reply));
    station.join();
    EXPECT_EQ(std::string(reply, 7), "A-VANTR");
    EXPECT_EQ(reply[7], '\0');
    EXPECT_TRUE(log_->Contains("RECV: read bytes 7"));
    EXPECT_TRUE(log_->Contains("RECV: HEX 0x41 0x2D 0x56 0x41 0x4E 0x54 0x52 "));

    // Nothing to send and nothing to read: no purge, nothing written, success.
    log_->Clear();
    EXPECT_TRUE(device.Transact(nullptr, 0, 500, 0, nullptr));
    EXPECT_FALSE(log_->Contains("SEND: purge comm"));
    EXPECT_TRUE(log_->Contains("SEND: request written"));
}

TEST_F(DeviceTest, QueryAnswersWhileIdleAndSendsNothingWhileMeasuring) {
    StartStation();
    auto device = OpenDevice();
    std::string reply;
    EXPECT_TRUE(device->Query("?", reply));
    EXPECT_NE(reply.find("H0:"), std::string::npos) << reply;

    device->StartMeasure();
    EXPECT_TRUE(device->IsMeasuring());
    ASSERT_TRUE(waitUntil([&] { return station_->Measuring(); }));
    reply = "old";
    EXPECT_FALSE(device->Query("?", reply));
    EXPECT_EQ(reply, "");
    EXPECT_TRUE(device->StopMeasure());
    EXPECT_FALSE(device->IsMeasuring());
    EXPECT_EQ(station_->ReceivedLines(), (std::vector<std::string>{"?", "S", "T"}));
}

// Commands sent while measuring wait in the thread's list and reach the
// station in the order given; the records not yet taken survive the stop.
TEST_F(DeviceTest, MeasurementQueuesCommandsAndStopHandsOverTheRest) {
    sim::tOptions options = quietStation();
    options.initialPeriodMs = 200;
    options.timeScale = 1.0;
    StartStation(options);
    auto device = OpenDevice();
    std::atomic<int> packetsQueued = 0;
    device->SetEventHandler([&](tMeasureEvent event) {
        packetsQueued += event == tMeasureEvent::PacketQueued ? 1 : 0;
    });
    tPacketQueue queue;
    EXPECT_EQ(device->TakePackets(queue), 0u);  // not measuring

    device->StartMeasure();
    EXPECT_TRUE(device->SendCommand("D1,1,50"));
    EXPECT_TRUE(device->SendCommand("H0,1,30"));
    ASSERT_TRUE(waitUntil([&] { return packetsQueued.load() >= 1; }));
    const std::size_t taken = device->TakePackets(queue);
    EXPECT_EQ(taken, queue.size());
    EXPECT_GE(taken, 1u);
    EXPECT_TRUE(device->SendCommand("M0,0"));
    ASSERT_TRUE(waitUntil([&] { return packetsQueued.load() >= 3; }));

    tPacketQueue leftover;
    EXPECT_TRUE(device->StopMeasure(&leftover));
    EXPECT_EQ(station_->ReceivedLines(),
              (std::vector<std::string>{"S", "D1,1,50", "H0,1,30", "M0,0", "T"}));

    // Taken and handed-over packets together: the records the station sent
    // before the stop, in order, none lost or doubled.
    std::string stream;
    for (const tPacket& packet : queue) {
        stream += test::packetText(packet);
    }
    ASSERT_FALSE(leftover.empty());
    for (const tPacket& packet : leftover) {
        stream += test::packetText(packet);
    }
    std::string sent;
    for (const sim::tSentRecord& record : station_->SentRecords()) {
        sent += record.line + "\r\n";
    }
    ASSERT_GE(sent.size(), stream.size());
    EXPECT_EQ(sent.substr(0, stream.size()), stream);
    EXPECT_EQ(stream.back(), '\n');
}

// The cable is pulled mid-measurement: the link is reported lost once and
// the thread neither spins nor floods the log while it waits to be stopped.
TEST_F(DeviceTest, HangUpWhileMeasuringReportsTheLostLinkWithoutSpinning) {
    StartStation();
    auto device = OpenDevice();
    device->SetEventHandler([this](tMeasureEvent event) {
        if (event == tMeasureEvent::LinkLost) {
            log_->Record("#LinkLost");
        } else if (event == tMeasureEvent::PacketQueued) {
            log_->Record("#PacketQueued");
        }
    });
    device->StartMeasure();
    ASSERT_TRUE(waitUntil([&] { return log_->Contains("#PacketQueued"); }));
    log_->Clear();
    const auto hangUp = tClock::now();
    station_->HangUp();

    ASSERT_TRUE(waitUntil([&] { return log_->Contains("#LinkLost"); }, 5000ms));
    EXPECT_GE(tClock::now() - hangUp, 800ms);  // paced to the read window
    std::this_thread::sleep_until(hangUp + 1500ms);
    const auto lines = log_->Lines();
    EXPECT_EQ(Count(lines, "#LinkLost"), 1);
    EXPECT_EQ(Count(lines, "LINK LOST"), 1);
    EXPECT_LE(Count(lines, "ReadTimeout"), 12);
    EXPECT_LE(lines.size(), 40u);
    EXPECT_TRUE(device->IsMeasuring());

    const auto stop = tClock::now();
    EXPECT_FALSE(device->StopMeasure());  // the stop command cannot go out
    EXPECT_LT(tClock::now() - stop, 1500ms);
    EXPECT_FALSE(device->IsMeasuring());
}

// Until it is stopped, a thread whose start command failed still counts as
// a running measurement.
TEST_F(DeviceTest, FailedStartStillCountsAsMeasuringUntilStopped) {
    tDevice device("/dev/vantrel-no-such-port", &settings_);
    std::atomic<bool> startFailed = false;
    device.SetEventHandler([&](tMeasureEvent event) {
        startFailed = startFailed || event == tMeasureEvent::StartFailed;
    });
    EXPECT_TRUE(device.StartMeasure());
    ASSERT_TRUE(waitUntil([&] { return startFailed.load(); }));
    EXPECT_TRUE(device.IsMeasuring());
    EXPECT_TRUE(device.SendCommand("F200"));  // queued, never written
    EXPECT_FALSE(device.StopMeasure());
    EXPECT_FALSE(device.IsMeasuring());
}

}  // namespace
}  // namespace vantrel
