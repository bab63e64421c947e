#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "base/Settings.h"

namespace vantrel {

class tDetectorReaper;
class tDevice;
class tDeviceDetector;

// Tries the port of a lost link again in the background, one detector at a
// time and a new attempt every two seconds, until the station answers or it
// is stopped. Never blocks: the clock tick polls it, and stopping hands a
// detector still at work to the reaper with its cancel flag set.
class tReconnector {
public:
    static constexpr std::chrono::seconds kInterval{2};

    explicit tReconnector(tDetectorReaper& reaper);
    tReconnector(const tReconnector&) = delete;
    tReconnector& operator=(const tReconnector&) = delete;
    ~tReconnector();

    // Starts trying `port`, the detectors reading a copy of `settings`.
    void Start(const std::string& port, const tSettings& settings);
    void Stop();
    bool Active() const { return active_; }
    const std::string& Port() const { return port_; }
    // Time since Start.
    std::chrono::steady_clock::duration Elapsed() const;

    // The station's link (opened, identified) once it answers, else null.
    std::unique_ptr<tDevice> Poll();

private:
    // What one detector reads: it lives as long as that detector.
    struct tTry {
        tSettings settings{false};
        std::atomic<bool> cancel{false};
    };

    tDetectorReaper& reaper_;
    bool active_ = false;
    std::string port_;
    tSettings settings_;
    std::shared_ptr<tTry> try_;
    std::unique_ptr<tDeviceDetector> detector_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point nextTry_;
};

}  // namespace vantrel
