// Feeds arbitrary bytes as the station's reply to the state query. The
// count of numbers stored must say exactly which actuator values changed,
// and a complete reply, written back in the station's format, must read
// the same values again.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "device/Protocol.h"

namespace {

using namespace vantrel;

// Marks the values no number of the reply has reached.
constexpr std::int32_t kUntouched = -0x5A5A5A5A;

std::array<std::int32_t, 2 * kActuatorCount> numbers(const tActuatorTable& table) {
    std::array<std::int32_t, 2 * kActuatorCount> out{};
    for (int i = 0; i < kActuatorCount; ++i) {
        out[2 * i] = table[i].state;
        out[2 * i + 1] = table[i].speed;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    tActuatorTable table = initialActuators();
    for (tActuator& actuator : table) {
        actuator.state = kUntouched;
        actuator.speed = kUntouched;
    }
    const int count = matchStateReply(table, reply);
    if ((count == -1) != reply.empty() || count < -1 || count > 2 * kActuatorCount) {
        std::abort();
    }
    const auto stored = numbers(table);
    for (int k = count < 0 ? 0 : count; k < 2 * kActuatorCount; ++k) {
        if (stored[k] != kUntouched) {
            std::abort();
        }
    }
    const tActuatorTable fresh = initialActuators();
    for (int i = 0; i < kActuatorCount; ++i) {
        if (table[i].id != fresh[i].id || table[i].name != fresh[i].name) {
            std::abort();
        }
    }
    if (count != 2 * kActuatorCount) {
        return 0;
    }
    std::string written;
    for (const tActuator& actuator : table) {
        written += actuator.id + ":" + std::to_string(actuator.state) + "," +
                   std::to_string(actuator.speed) + "\t";
    }
    tActuatorTable again = initialActuators();
    if (matchStateReply(again, written + "\r\n") != count || numbers(again) != stored) {
        std::abort();
    }
    return 0;
}
