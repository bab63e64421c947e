#include "station/Reconnector.h"

#include "device/DetectorReaper.h"
#include "device/Device.h"
#include "device/DeviceDetector.h"

namespace vantrel {

tReconnector::tReconnector(tDetectorReaper& reaper) : reaper_(reaper), settings_(false) {}

tReconnector::~tReconnector() {
    Stop();
}

void tReconnector::Start(const std::string& port, const tSettings& settings) {
    Stop();
    port_ = port;
    settings.AssignTo(settings_);
    started_ = std::chrono::steady_clock::now();
    nextTry_ = started_;
    active_ = true;
}

void tReconnector::Stop() {
    if (detector_ != nullptr) {
        try_->cancel.store(true);
        reaper_.Adopt(std::move(detector_), try_);
        reaper_.Reap();
    }
    active_ = false;
}

std::chrono::steady_clock::duration tReconnector::Elapsed() const {
    return std::chrono::steady_clock::now() - started_;
}

std::unique_ptr<tDevice> tReconnector::Poll() {
    if (!active_) {
        return nullptr;
    }
    if (detector_ != nullptr) {
        if (!detector_->Finished()) {
            return nullptr;
        }
        detector_->WaitFor();
        std::unique_ptr<tDevice> found(detector_->FoundDevice());
        detector_.reset();
        if (found != nullptr) {
            active_ = false;
            return found;
        }
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= nextTry_) {
        nextTry_ = now + kInterval;
        try_ = std::make_shared<tTry>();
        settings_.AssignTo(try_->settings);
        detector_ = std::make_unique<tDeviceDetector>(port_, &try_->settings, &try_->cancel);
    }
    return nullptr;
}

}  // namespace vantrel
