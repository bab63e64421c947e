#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

class tDetectorReaper;
class tDevice;
class tSettings;

// Looks for the station on the machine's serial ports, strictly one port
// after another: a detector tests each port, the first station in list order
// wins and any other is closed at once. The caller's wait runs while a port
// is tested, so the user interface stays alive; the search can be cancelled
// meanwhile and then ends at the current port's next step. Every step and
// failure goes to the log as the search has always written it. A cancelled
// search returns at once: the detector testing a port then is left to the
// reaper, which joins it once it has ended.
class tStationFinder {
public:
    // Before each port: its path and how many ports are still to come.
    using tOnPort = std::function<void(const std::string& portPath, int remaining)>;
    // Lets up to `milliseconds` pass; false asks to cancel the search.
    using tWait = std::function<bool(int milliseconds)>;

    // `ports`, when not empty, are tried instead of the configured ones.
    tStationFinder(tSettings& settings, tDetectorReaper& reaper,
                   std::vector<std::string> ports = {});
    tStationFinder(const tStationFinder&) = delete;
    tStationFinder& operator=(const tStationFinder&) = delete;

    // The station's link (opened, identified, reading `settings`), or null
    // when there is none or the search was cancelled first. Never throws.
    std::unique_ptr<tDevice> Find(const tOnPort& onPort, const tWait& wait);

    // The port where the station answered last time: when the list holds
    // it, it is tried first, and a station found there ends the search.
    void SetPreferredPort(std::string path) { preferred_ = std::move(path); }

    // From within the wait: end the search at the current port.
    void Cancel();
    bool Cancelled() const;

private:
    // What the detectors read: it lives as long as the last of them.
    struct tSearch;

    tSettings& settings_;
    tDetectorReaper& reaper_;
    std::vector<std::string> ports_;
    std::string preferred_;
    std::shared_ptr<tSearch> search_;
};

}  // namespace vantrel
