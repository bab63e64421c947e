#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

namespace vantrel {

// One block of received data: complete lines (they end with a line feed
// whenever the received data held one).
struct tPacket {
    // The most one read window takes in, carried bytes included.
    static constexpr std::size_t kBufferSize = 2419;
    std::unique_ptr<std::uint8_t[]> buffer;  // exactly `size` bytes
    std::int32_t size = 0;                   // meaningful bytes, at least 1
};

using tPacketQueue = std::deque<tPacket>;

// What the measurement thread reports besides packets. Called on the
// measurement thread; a receiver must only record the event.
enum class tMeasureEvent {
    StartFailed,    // the start command could not be written; the thread ended
    Silence,        // 300 or more reads in a row brought nothing
    PacketQueued,   // a packet was queued
    LinkLost,       // reads keep failing: the port is gone (unplugged, closed)
    CommandFailed,  // a command could not be written whole (TakeFailedCommands says which)
};

}  // namespace vantrel
