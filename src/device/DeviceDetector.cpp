#include "device/DeviceDetector.h"

#include <memory>
#include <mutex>

#include "base/Error.h"
#include "base/LogFile.h"
#include "device/Device.h"

namespace vantrel {

tDeviceDetector::tDeviceDetector(std::string portPath, tSettings* settings,
                                 const std::atomic<bool>* cancel)
    : settings_(settings), portPath_(std::move(portPath)), cancel_(cancel) {
    thread_ = std::thread([this] { Execute(); });
}

tDeviceDetector::~tDeviceDetector() {
    WaitFor();
}

void tDeviceDetector::WaitFor() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

tDevice* tDeviceDetector::FoundDevice() const {
    std::shared_lock lock(resultLock_);
    return foundDevice_;
}

void tDeviceDetector::Execute() {
    std::unique_ptr<tDevice> device;
    try {
        device = std::make_unique<tDevice>(portPath_, settings_);
        device->SetCancelFlag(cancel_);
        std::string error;
        if (!device->Open(error)) {
            throw tError(error);
        }
        if (!device->CheckIdentity()) {
            throw tError("CHECK failed.");
        }
        std::unique_lock lock(resultLock_);
        foundDevice_ = device.release();
    } catch (const std::exception& e) {
        device.reset();  // closes the port before the failure is reported
        logFile->WriteLine("DevID " + portPath_ + " error: " + e.what());
    } catch (...) {
        device.reset();
        logFile->WriteLine("DevID " + portPath_ + " error: ");
    }
    finished_.store(true);
}

}  // namespace vantrel
