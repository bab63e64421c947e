#pragma once

#include <memory>
#include <vector>

#include "device/DeviceDetector.h"

namespace vantrel {

// Detectors nobody waits for any more (a search cancelled, a reconnection
// given up). Their cancel flag is set, so each ends at its next step; they
// are joined here, off the user interface's path, and a station one of them
// found too late is closed.
class tDetectorReaper {
public:
    tDetectorReaper() = default;
    tDetectorReaper(const tDetectorReaper&) = delete;
    tDetectorReaper& operator=(const tDetectorReaper&) = delete;
    // Waits for what is left (each is at most one step from its end).
    ~tDetectorReaper();

    // `keepAlive` owns what the detector reads (its settings, its cancel
    // flag) until it has ended.
    void Adopt(std::unique_ptr<tDeviceDetector> detector, std::shared_ptr<const void> keepAlive);
    // Joins the detectors that have ended. True when none is left running.
    bool Reap();

private:
    struct tEntry {
        std::shared_ptr<const void> keepAlive;  // outlives the detector
        std::unique_ptr<tDeviceDetector> detector;
    };
    void finish(tEntry& entry);

    std::vector<tEntry> entries_;
};

}  // namespace vantrel
