// The Win32 serial port and the device link on a COM port that leads to the
// station simulator (tools/wine-serial sets one up under Wine).

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "Win32TestSupport.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "device/Device.h"
#include "device/PortList.h"
#include "device/SerialPort.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using tClock = std::chrono::steady_clock;
using test::runningUnderWine;

long elapsedMs(tClock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(tClock::now() - since).count());
}

class SerialPortWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        comName_ = test::simulatorComPort();
        if (comName_.empty()) {
            GTEST_SKIP() << test::kNoSimulator;
        }
        path_ = tPortList::PortPath(comName_);
    }

    std::unique_ptr<iSerialPort> OpenConfigured() {
        auto port = createSerialPort();
        EXPECT_TRUE(port->Open(path_)) << path_ << ": " << port->LastErrorText();
        EXPECT_TRUE(port->ApplyLineSettings(tDtrMode::Keep)) << port->LastErrorText();
        EXPECT_TRUE(port->SetTimeouts(500, 500)) << port->LastErrorText();
        EXPECT_TRUE(port->Purge()) << port->LastErrorText();
        return port;
    }

    // Writes `request` whole and reads up to `replyLength` bytes.
    static std::string Exchange(iSerialPort& port, std::string_view request, unsigned replyLength) {
        unsigned written = 0;
        EXPECT_TRUE(port.Write(request.data(), static_cast<unsigned>(request.size()), written))
            << port.LastErrorText();
        EXPECT_EQ(written, request.size());
        std::string reply(replyLength, '\0');
        unsigned received = 0;
        EXPECT_TRUE(port.Read(reply.data(), replyLength, received)) << port.LastErrorText();
        reply.resize(received);
        return reply;
    }

    // 7 for "COM7".
    int ComNumber() const { return std::atoi(comName_.c_str() + 3); }

    std::string comName_;
    std::string path_;
};

TEST_F(SerialPortWin32, OpenAndClose) {
    auto port = createSerialPort();
    ASSERT_TRUE(port->Open(path_)) << port->LastErrorText();
    auto second = createSerialPort();
    if (runningUnderWine()) {
        // Wine checks share modes on regular files and directories only: a
        // character device stays open to anyone.
        EXPECT_TRUE(second->Open(path_));
        second->Close();
    } else {
        EXPECT_FALSE(second->Open(path_));
        EXPECT_EQ(second->LastErrorCode(), ERROR_ACCESS_DENIED);
    }
    port->Close();
    port->Close();  // harmless
    EXPECT_FALSE(port->IsOpen());
    unsigned received = 0;
    char byte = 0;
    EXPECT_FALSE(port->Read(&byte, 1, received));
    EXPECT_EQ(port->LastErrorCode(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(second->Open(path_)) << second->LastErrorText();

    auto missing = createSerialPort();
    EXPECT_FALSE(missing->Open("\\\\.\\COM239"));
    EXPECT_EQ(missing->LastErrorCode(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(missing->LastErrorText().empty());
}

// What the device link does on opening, call by call.
TEST_F(SerialPortWin32, ModemLinesBreakAndDefaultConfig) {
    auto port = createSerialPort();
    ASSERT_TRUE(port->Open(path_)) << port->LastErrorText();
    EXPECT_TRUE(port->ClearBreak()) << port->LastErrorText();
    EXPECT_TRUE(port->SetBreak()) << port->LastErrorText();
    EXPECT_TRUE(port->ClearBreak()) << port->LastErrorText();
    unsigned status = 0;
    if (runningUnderWine()) {
        // A pseudo-terminal has no modem lines (TIOCMGET: ENOTTY).
        EXPECT_FALSE(port->RaiseRts());
        EXPECT_EQ(port->LastErrorCode(), ERROR_NOT_SUPPORTED);
        EXPECT_FALSE(port->GetModemStatus(status));
        EXPECT_EQ(port->LastErrorCode(), ERROR_NOT_SUPPORTED);
    } else {
        EXPECT_TRUE(port->RaiseRts()) << port->LastErrorText();
        EXPECT_TRUE(port->GetModemStatus(status)) << port->LastErrorText();
    }

    // Wine keeps defaults for COM1 to COM9 only.
    if (runningUnderWine() && (ComNumber() < 1 || ComNumber() > 9)) {
        EXPECT_FALSE(port->ReadDefaultConfig(path_));
        EXPECT_EQ(port->LastErrorCode(), ERROR_BADKEY);
        return;
    }
    ASSERT_TRUE(port->ReadDefaultConfig(path_)) << port->LastErrorText();
    if (!runningUnderWine()) {
        return;  // a test does not change a real machine's port defaults
    }
    const std::string storedKey = "System\\CurrentControlSet\\Services\\Class\\Ports\\" + comName_;
    for (const bool raise : {false, true}) {
        EXPECT_TRUE(port->WriteDefaultDtr(path_, raise)) << port->LastErrorText();
        COMMCONFIG config{};
        DWORD size = sizeof(config);
        EXPECT_TRUE(GetDefaultCommConfigA(comName_.c_str(), &config, &size));
        EXPECT_EQ(config.dcb.fDtrControl,
                  static_cast<DWORD>(raise ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE));
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, storedKey.c_str());
}

TEST_F(SerialPortWin32, LineSettingsAndTimeouts) {
    auto port = OpenConfigured();
    for (const tDtrMode mode : {tDtrMode::Keep, tDtrMode::Raise, tDtrMode::Drop}) {
        EXPECT_TRUE(port->ApplyLineSettings(mode)) << port->LastErrorText();
    }
    if (runningUnderWine()) {
        // A second handle sees the same line (see OpenAndClose).
        HANDLE other = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        EXPECT_TRUE(GetCommState(other, &dcb));
        CloseHandle(other);
        EXPECT_EQ(dcb.BaudRate, static_cast<DWORD>(CBR_115200));
        EXPECT_EQ(dcb.ByteSize, 8);
        EXPECT_EQ(dcb.Parity, NOPARITY);
        EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    }

    unsigned timeout = 0;
    ASSERT_TRUE(port->GetReadTimeout(timeout));
    EXPECT_EQ(timeout, 500u);

    // Nothing arrives: the read returns empty once its total time is up; 0
    // returns at once instead of waiting for every byte.
    struct {
        unsigned timeoutMs;
        long atLeastMs;
        long atMostMs;
    } const cases[] = {{0, 0, 250}, {150, 130, 650}, {700, 680, 1300}};
    for (const auto& c : cases) {
        ASSERT_TRUE(port->SetReadTimeout(c.timeoutMs)) << port->LastErrorText();
        ASSERT_TRUE(port->GetReadTimeout(timeout));
        EXPECT_EQ(timeout, c.timeoutMs);
        char buffer[11];
        unsigned received = 99;
        const auto start = tClock::now();
        EXPECT_TRUE(port->Read(buffer, sizeof(buffer), received)) << port->LastErrorText();
        const long took = elapsedMs(start);
        EXPECT_EQ(received, 0u) << c.timeoutMs;
        EXPECT_GE(took, c.atLeastMs) << c.timeoutMs;
        EXPECT_LE(took, c.atMostMs) << c.timeoutMs;
    }
}

TEST_F(SerialPortWin32, ExchangesWithTheStation) {
    auto port = OpenConfigured();
    // All bytes asked for: the read ends when they are there.
    ASSERT_TRUE(port->SetReadTimeout(2000));
    auto start = tClock::now();
    EXPECT_EQ(Exchange(*port, "I\r\n", 11), "A-VANTREL\r\n");
    EXPECT_LT(elapsedMs(start), 1500);

    // More asked for than comes: what arrived, once the time is up.
    ASSERT_TRUE(port->SetReadTimeout(300));
    start = tClock::now();
    const std::string state = Exchange(*port, "?\r\n", 80);
    EXPECT_GE(elapsedMs(start), 280);
    EXPECT_TRUE(state.starts_with("H0:")) << state;
    EXPECT_TRUE(state.ends_with("\r\n")) << state;
}

TEST_F(SerialPortWin32, PurgeDropsTheWaitingReply) {
    auto port = OpenConfigured();
    ASSERT_TRUE(port->SetReadTimeout(200));
    for (const bool purge : {true, false}) {
        unsigned written = 0;
        ASSERT_TRUE(port->Write("I\r\n", 3, written));
        std::this_thread::sleep_for(300ms);  // the reply is in the input buffer by now
        if (purge) {
            ASSERT_TRUE(port->Purge()) << port->LastErrorText();
        }
        char reply[11];
        unsigned received = 0;
        ASSERT_TRUE(port->Read(reply, sizeof(reply), received));
        EXPECT_EQ(received, purge ? 0u : 11u) << "purge " << purge;
    }
}

// A station that goes away must read as a failure at once, not as a silent
// station; the bytes that came before are kept.
TEST(SerialPortWin32HangUp, VanishedStationIsAFailedRead) {
    const char* name = std::getenv("VANTREL_WINE_COM_HANGUP");
    if (name == nullptr) {
        GTEST_SKIP() << "VANTREL_WINE_COM_HANGUP is not set: tools/wine-serial offers a station "
                        "that closes its line after two records";
    }
    auto port = createSerialPort();
    ASSERT_TRUE(port->Open(tPortList::PortPath(name))) << port->LastErrorText();
    ASSERT_TRUE(port->ApplyLineSettings(tDtrMode::Keep));
    ASSERT_TRUE(port->SetTimeouts(1000, 500));
    unsigned written = 0;
    ASSERT_TRUE(port->Write("S\r\n", 3, written));

    std::string records;
    bool failed = false;
    const auto start = tClock::now();
    for (int read = 0; read < 10 && !failed; ++read) {
        char buffer[512];
        unsigned received = 0;
        failed = !port->Read(buffer, sizeof(buffer), received);
        records.append(buffer, received);
    }
    EXPECT_TRUE(failed);
    EXPECT_LT(elapsedMs(start), 2500);  // not ten read timeouts
    EXPECT_TRUE(records.starts_with("LT:")) << records;
    EXPECT_EQ(std::count(records.begin(), records.end(), '\n'), 2) << records;
    char byte = 0;
    unsigned received = 0;
    EXPECT_FALSE(port->Read(&byte, 1, received));
    EXPECT_FALSE(port->Write("T\r\n", 3, written));
}

// The device link's own opening, exactly as the detector runs it.
TEST_F(SerialPortWin32, DeviceOpen) {
    tSettings settings;
    settings.SetSettingByName("Timeout", "0");
    tDevice device(path_, &settings);
    std::string error;
    if (runningUnderWine()) {
        EXPECT_FALSE(device.Open(error));
        EXPECT_EQ(error, constantText("DK_CANT_GET_DEVICE_STATE") + path_ + ".");
    } else {
        EXPECT_TRUE(device.Open(error)) << error;
        EXPECT_TRUE(device.CheckIdentity());
    }
}

// Past the modem status (answered by the stand-in under Wine), the whole link
// runs on the port: identification, query, a measurement and its stop.
TEST_F(SerialPortWin32, DeviceMeasures) {
    test::tModemStatusScope standIn(comName_);
    tSettings settings;
    settings.SetSettingByName("Timeout", "0");
    settings.SetSettingByName("CheckCount", "2");
    tDevice device(path_, &settings);
    std::string error;
    ASSERT_TRUE(device.Open(error)) << error;
    ASSERT_TRUE(device.CheckIdentity());
    std::string reply;
    EXPECT_TRUE(device.Query("?", reply));
    EXPECT_TRUE(reply.starts_with("H0:")) << reply;

    ASSERT_TRUE(device.StartMeasure());
    tPacketQueue packets;
    const auto until = tClock::now() + 5s;
    while (packets.size() < 3 && tClock::now() < until) {
        device.TakePackets(packets);
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_GE(packets.size(), 3u);
    for (const tPacket& packet : packets) {
        const std::string text(reinterpret_cast<const char*>(packet.buffer.get()),
                               static_cast<std::size_t>(packet.size));
        EXPECT_TRUE(text.starts_with("LT:")) << text;
        EXPECT_TRUE(text.ends_with("\r\n")) << text;
    }
    EXPECT_TRUE(device.StopMeasure());
    EXPECT_FALSE(device.IsMeasuring());
    EXPECT_TRUE(device.CheckIdentity());
}

}  // namespace
}  // namespace vantrel
