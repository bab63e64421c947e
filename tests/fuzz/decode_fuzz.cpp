// Feeds arbitrary bytes as the station's measurement stream: cut into reads
// the way a serial port may deliver them, framed into packets, each packet
// decoded and plotted by the controller with its own chart model; the same
// stream also goes line by line through a record decoder of its own. The
// framer must hand over every byte exactly once, in order; a decoded record
// holds finite numbers only; nothing may crash.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"
#include "charts/ChartModel.h"
#include "device/Actuators.h"
#include "device/LineFramer.h"
#include "device/RecordDecoder.h"
#include "fuzz/FuzzScratch.h"
#include "session/MainFM.h"
#include "session/MainView.h"
#include "support/NullView.h"

namespace {

using namespace vantrel;

using test::tNullView;

// The controller's configuration, in a scratch folder removed at exit.
class tConfig {
public:
    tConfig() : path_(scratch_.path() + "/vantrel.cfg") {
        FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr) {
            std::abort();
        }
        std::fputs("VolCoeff=0.0934\n", file);
        std::fclose(file);
    }
    tConfig(const tConfig&) = delete;
    tConfig& operator=(const tConfig&) = delete;

    const std::string& path() const { return path_; }

private:
    test::tFuzzScratch scratch_{"decode-fuzz"};
    std::string path_;
};

const std::string& configPath() {
    static const tConfig config;
    return config.path();
}

void checkRecord(const tRecord& record) {
    if (!std::isfinite(record.time)) {
        std::abort();
    }
    for (float value : record.readings) {
        if (!std::isfinite(value)) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first two bytes seed the read sizes: a port hands over anything
    // from one byte to a full window per read.
    std::uint32_t seed = (std::uint32_t{data[0]} << 8 | data[1]) * 2654435761u + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 2, size - 2);

    tNullView view;
    TfmMain fm(view, configPath());
    fm.Charts().EnterLiveMode();
    tLineFramer framer;
    std::string delivered;
    std::size_t pos = 0;
    while (pos < stream.size()) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        const std::size_t room = framer.Room();
        if (room == 0) {
            std::abort();
        }
        std::size_t read = (seed & 1) != 0 ? room : 1 + (seed >> 1) % 300;
        read = std::min({read, room, stream.size() - pos});
        std::memcpy(framer.ReadTarget(), stream.data() + pos, read);
        pos += read;
        const tPacket packet = framer.Take(read);
        if (framer.CarryCount() > tLineFramer::kCarryLimit) {
            std::abort();
        }
        if (packet.buffer == nullptr) {
            if (packet.size != 0) {
                std::abort();
            }
            continue;
        }
        const std::string_view bytes(reinterpret_cast<const char*>(packet.buffer.get()),
                                     static_cast<std::size_t>(packet.size));
        // A packet ends with its last line, unless that line outgrew the carry.
        if (packet.size <= 0 ||
            (bytes.back() != '\n' && framer.CarryCount() != tLineFramer::kCarryLimit)) {
            std::abort();
        }
        delivered.append(bytes);
        try {
            fm.decodePacket(packet.buffer.get(), static_cast<std::size_t>(packet.size));
        } catch (const tError&) {
        }
    }
    delivered.append(reinterpret_cast<const char*>(framer.Carry()), framer.CarryCount());
    if (delivered != stream) {
        std::abort();
    }

    tActuatorTable actuators = initialActuators();
    tRecordDecoder decoder(actuators, 0.0934);
    std::size_t start = 0;
    while (start <= stream.size()) {
        std::size_t end = stream.find('\n', start);
        if (end == std::string_view::npos) {
            end = stream.size();
        }
        std::string_view line = stream.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (const auto record = decoder.Decode(line)) {
            checkRecord(*record);
        }
        start = end + 1;
    }
    return 0;
}
