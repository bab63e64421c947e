#include "device/SerialPort.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "DeviceTestSupport.h"

namespace vantrel {
namespace {

using test::tPtyPeer;
using namespace std::chrono_literals;
using tClock = std::chrono::steady_clock;

std::unique_ptr<iSerialPort> openConfigured(const std::string& path) {
    auto port = createSerialPort();
    EXPECT_TRUE(port->Open(path)) << port->LastErrorText();
    EXPECT_TRUE(port->ApplyLineSettings(tDtrMode::Raise)) << port->LastErrorText();
    EXPECT_TRUE(port->SetTimeouts(500, 500)) << port->LastErrorText();
    return port;
}

long elapsedMs(tClock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(tClock::now() - since).count());
}

// A pty has no modem lines; everything the link does on opening must still work.
TEST(SerialPort, PseudoTerminalTakesModemLineOperations) {
    tPtyPeer peer;
    auto port = createSerialPort();
    ASSERT_TRUE(port->ReadDefaultConfig(peer.PortPath()));
    ASSERT_TRUE(port->WriteDefaultDtr(peer.PortPath(), true));
    ASSERT_TRUE(port->Open(peer.PortPath())) << port->LastErrorText();
    EXPECT_TRUE(port->RaiseRts()) << port->LastErrorText();
    EXPECT_TRUE(port->ClearBreak()) << port->LastErrorText();
    unsigned status = 1;
    EXPECT_TRUE(port->GetModemStatus(status)) << port->LastErrorText();
    EXPECT_TRUE(port->ApplyLineSettings(tDtrMode::Drop)) << port->LastErrorText();
    EXPECT_TRUE(port->SetBreak()) << port->LastErrorText();
}

// On anything that is not a pty the same ioctl failure is a real error.
TEST(SerialPort, ModemLineFailureOutsideAPtyStaysAnError) {
    char name[] = "/tmp/vantrel-not-a-tty-XXXXXX";
    int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    auto port = createSerialPort();
    ASSERT_TRUE(port->Open(name));
    unsigned status = 0;
    EXPECT_FALSE(port->GetModemStatus(status));
    EXPECT_FALSE(port->RaiseRts());
    EXPECT_FALSE(port->LastErrorText().empty());
    port->Close();
    ::unlink(name);
}

TEST(SerialPort, MissingDeviceAndHeldDeviceCannotBeOpened) {
    auto port = createSerialPort();
    EXPECT_FALSE(port->ReadDefaultConfig("/dev/vantrel-no-such-port"));
    EXPECT_FALSE(port->Open("/dev/vantrel-no-such-port"));
    EXPECT_EQ(port->LastErrorCode(), ENOENT);
    EXPECT_FALSE(port->LastErrorText().empty());

    tPtyPeer peer;
    auto holder = createSerialPort();
    ASSERT_TRUE(holder->Open(peer.PortPath()));
    EXPECT_FALSE(port->Open(peer.PortPath()));
    holder->Close();
    EXPECT_TRUE(port->Open(peer.PortPath())) << port->LastErrorText();
}

TEST(SerialPort, ClosedPortFailsEveryOperation) {
    auto port = createSerialPort();
    unsigned value = 0;
    char byte = 0;
    EXPECT_FALSE(port->IsOpen());
    EXPECT_FALSE(port->Read(&byte, 1, value));
    EXPECT_FALSE(port->Write("x", 1, value));
    EXPECT_FALSE(port->Purge());
    EXPECT_FALSE(port->GetReadTimeout(value));
    port->Close();  // harmless
}

TEST(SerialPort, ReadReturnsAtCountOrAtTheTimeout) {
    tPtyPeer peer;
    auto port = openConfigured(peer.PortPath());
    ASSERT_TRUE(port->SetReadTimeout(300));
    unsigned timeout = 0;
    ASSERT_TRUE(port->GetReadTimeout(timeout));
    EXPECT_EQ(timeout, 300u);

    // All bytes there: returns at once, the surplus stays for the next read.
    peer.Write("A-VANTREL\r\nxyz");
    char reply[11] = {};
    unsigned received = 0;
    auto start = tClock::now();
    ASSERT_TRUE(port->Read(reply, 11, received));
    EXPECT_LT(elapsedMs(start), 250);
    EXPECT_EQ(std::string(reply, received), "A-VANTREL\r\n");

    // Fewer bytes than asked: waits out the timeout and reports what came.
    start = tClock::now();
    ASSERT_TRUE(port->Read(reply, 11, received));
    EXPECT_GE(elapsedMs(start), 290);
    EXPECT_EQ(std::string(reply, received), "xyz");

    // Bytes arriving in pieces within the window are gathered.
    std::thread writer([&] {
        std::this_thread::sleep_for(30ms);
        peer.Write("abc");
        std::this_thread::sleep_for(30ms);
        peer.Write("defgh");
    });
    ASSERT_TRUE(port->Read(reply, 8, received));
    writer.join();
    EXPECT_EQ(std::string(reply, received), "abcdefgh");
}

TEST(SerialPort, WriteAndPurge) {
    tPtyPeer peer;
    auto port = openConfigured(peer.PortPath());
    unsigned written = 0;
    ASSERT_TRUE(port->Write("I\r\n", 3, written));
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(peer.WaitFor("I\r\n"));

    // Stale input is dropped by a purge.
    peer.Write("stale");
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(port->Purge());
    ASSERT_TRUE(port->SetReadTimeout(50));
    char buffer[8];
    unsigned received = 9;
    ASSERT_TRUE(port->Read(buffer, sizeof(buffer), received));
    EXPECT_EQ(received, 0u);
}

// A vanished device must read as a failure, at once, not as an empty read
// that would look like a silent station; bytes that came before are kept.
TEST(SerialPort, HangUpIsAFailedRead) {
    tPtyPeer peer;
    auto port = openConfigured(peer.PortPath());
    ASSERT_TRUE(port->SetReadTimeout(2000));

    char buffer[64];
    unsigned received = 0;
    bool ok = true;
    auto start = tClock::now();
    std::thread reader([&] { ok = port->Read(buffer, sizeof(buffer), received); });
    peer.Write("LT:1\r\n");
    std::this_thread::sleep_for(100ms);
    peer.HangUp();
    reader.join();
    EXPECT_FALSE(ok);
    EXPECT_LT(elapsedMs(start), 1500);  // not the read timeout
    EXPECT_EQ(std::string(buffer, received), "LT:1\r\n");

    start = tClock::now();
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(port->Read(buffer, sizeof(buffer), received));
        EXPECT_EQ(received, 0u);
    }
    EXPECT_LT(elapsedMs(start), 500);
    unsigned written = 0;
    EXPECT_FALSE(port->Write("T\r\n", 3, written));
}

}  // namespace
}  // namespace vantrel
