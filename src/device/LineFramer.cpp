#include "device/LineFramer.h"

#include <algorithm>
#include <cstring>

namespace vantrel {

tLineFramer::tLineFramer() : buffer_(std::make_unique<std::uint8_t[]>(tPacket::kBufferSize)) {}

tPacket tLineFramer::Take(std::size_t received) {
    std::size_t total = carryCount_ + std::min(received, Room());
    std::uint8_t* bytes = buffer_.get();
    std::size_t tail = 0;
    if (total > 0 && bytes[total - 1] != '\n') {
        const std::uint8_t* end = bytes + total;
        const std::uint8_t* lineStart = end;
        while (lineStart > bytes && lineStart[-1] != '\n') {
            --lineStart;
        }
        tail = std::min<std::size_t>(static_cast<std::size_t>(end - lineStart), kCarryLimit);
        total -= tail;
    }

    tPacket packet;
    if (total > 0) {
        // Sized to its bytes: a paused run queues thousands of these.
        packet.buffer = std::make_unique<std::uint8_t[]>(total);
        std::memcpy(packet.buffer.get(), bytes, total);
        packet.size = static_cast<std::int32_t>(total);
    }
    std::memmove(bytes, bytes + total, tail);
    carryCount_ = tail;
    return packet;
}

}  // namespace vantrel
