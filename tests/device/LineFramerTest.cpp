#include "device/LineFramer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vantrel {
namespace {

// Feeds `reads` one after another; returns the packets' texts and leaves the
// carry in `carry`.
std::vector<std::string> frame(const std::vector<std::string>& reads, std::string& carry) {
    tLineFramer framer;
    std::vector<std::string> packets;
    for (const std::string& read : reads) {
        const std::size_t n = std::min(read.size(), framer.Room());
        std::copy_n(read.data(), n, framer.ReadTarget());
        const tPacket packet = framer.Take(n);
        if (packet.buffer != nullptr) {
            EXPECT_GT(packet.size, 0);
            packets.emplace_back(reinterpret_cast<const char*>(packet.buffer.get()),
                                 static_cast<std::size_t>(packet.size));
        }
    }
    carry.assign(reinterpret_cast<const char*>(framer.Carry()), framer.CarryCount());
    return packets;
}

TEST(LineFramer, HandsOverCompleteLinesAndCarriesTheRest) {
    const std::string longTail(300, 'x');
    struct tCase {
        const char* name;
        std::vector<std::string> reads;
        std::vector<std::string> packets;
        std::string carry;
    };
    const tCase cases[] = {
        {"ends with a line feed", {"LT:1\r\nLT:2\r\n"}, {"LT:1\r\nLT:2\r\n"}, ""},
        {"partial line waits", {"LT:1\r\nLT:", "2\r\n"}, {"LT:1\r\n", "LT:2\r\n"}, ""},
        {"nothing complete yet", {"LT:1", "", "5\r"}, {}, "LT:15\r"},
        {"empty read", {""}, {}, ""},
        {"line longer than the carry", {longTail}, {std::string(45, 'x')}, std::string(255, 'x')},
        {"carry then a full read", {"ab", "c\nd\n"}, {"abc\nd\n"}, ""},
    };
    for (const tCase& c : cases) {
        std::string carry;
        EXPECT_EQ(frame(c.reads, carry), c.packets) << c.name;
        EXPECT_EQ(carry, c.carry) << c.name;
    }
}

TEST(LineFramer, ReadRoomShrinksByTheCarryAndNoByteIsLost) {
    tLineFramer framer;
    std::string sent;
    std::string received;
    for (int i = 0; i < 500; ++i) {
        // Records cut at changing places, as read windows cut the stream.
        const std::string chunk = "LT:" + std::to_string(i) + (i % 3 == 0 ? "\r\n" : "");
        ASSERT_EQ(framer.Room(), tPacket::kBufferSize - framer.CarryCount());
        std::copy(chunk.begin(), chunk.end(), framer.ReadTarget());
        sent += chunk;
        const tPacket packet = framer.Take(chunk.size());
        if (packet.buffer != nullptr) {
            received.append(reinterpret_cast<const char*>(packet.buffer.get()),
                            static_cast<std::size_t>(packet.size));
        }
    }
    received.append(reinterpret_cast<const char*>(framer.Carry()), framer.CarryCount());
    EXPECT_EQ(received, sent);
}

}  // namespace
}  // namespace vantrel
