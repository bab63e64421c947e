#pragma once

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
    tDeviceDetector(std::string portPath, tSettings* settings);  // starts testing at once
    tDeviceDetector(const tDeviceDetector&) = delete;
    tDeviceDetector& operator=(const tDeviceDetector&) = delete;
    ~tDeviceDetector();  // waits for the thread; never touches the found device

    void WaitFor();
    tDevice* FoundDevice() const;  // meaningful once the thread has ended

private:
    void Execute();

    tSettings* settings_;
    std::string portPath_;
    tDevice* foundDevice_ = nullptr;
    mutable std::shared_mutex resultLock_;
    std::thread thread_;
};

}  // namespace vantrel
