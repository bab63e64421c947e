#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "device/Packet.h"

namespace vantrel {

// Cuts the measurement stream into blocks of complete lines. Each read lands
// right after the bytes carried from the read before; everything up to and
// including the last line feed becomes one packet, the bytes after it are
// carried to the next read. A partial line longer than the carry holds is
// cut: its head goes out with the packet (the decoder drops what it cannot
// read), its last kCarryLimit bytes wait for the rest of the line.
class tLineFramer {
public:
    static constexpr std::size_t kCarryLimit = 255;

    tLineFramer();

    // Where the next read writes, and how many bytes it may write.
    std::uint8_t* ReadTarget() { return buffer_.get() + carryCount_; }
    std::size_t Room() const { return tPacket::kBufferSize - carryCount_; }

    // `received` bytes arrived at ReadTarget(). Returns the complete lines
    // in a packet whose buffer holds exactly those bytes, or a packet without
    // a buffer when there is nothing to hand over yet.
    tPacket Take(std::size_t received);

    // The bytes waiting for the rest of their line.
    const std::uint8_t* Carry() const { return buffer_.get(); }
    std::size_t CarryCount() const { return carryCount_; }

private:
    std::unique_ptr<std::uint8_t[]> buffer_;  // kBufferSize: the carry, then the read
    std::size_t carryCount_ = 0;
};

}  // namespace vantrel
