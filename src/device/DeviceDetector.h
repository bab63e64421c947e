#pragma once

#include <atomic>
#include <memory>
#include <shared_mutex>
#include <string>
#include <thread>

namespace vantrel {

class tDevice;
class tSettings;

// A short-lived thread that tests one port for the station. The device it
// found (opened and identified) belongs to whoever takes it.
class tDeviceDetector {
public:
    // Starts testing at once. While `cancel` (not owned, may be null) is set
    // the test ends at its next step, without a device.
    tDeviceDetector(std::string portPath, tSettings* settings,
                    const std::atomic<bool>* cancel = nullptr);
    tDeviceDetector(const tDeviceDetector&) = delete;
    tDeviceDetector& operator=(const tDeviceDetector&) = delete;
    ~tDeviceDetector();  // waits for the thread; never touches the found device

    void WaitFor();
    // True once the test has ended (WaitFor then returns at once).
    bool Finished() const { return finished_.load(); }
    tDevice* FoundDevice() const;  // meaningful once the thread has ended

private:
    void Execute();

    tSettings* settings_;
    std::string portPath_;
    const std::atomic<bool>* cancel_;
    tDevice* foundDevice_ = nullptr;
    std::atomic<bool> finished_{false};
    mutable std::shared_mutex resultLock_;
    std::thread thread_;
};

}  // namespace vantrel
