#include "device/DetectorReaper.h"

#include <algorithm>
#include <utility>

#include "device/Device.h"
#include "device/DeviceDetector.h"

namespace vantrel {

tDetectorReaper::~tDetectorReaper() {
    for (tEntry& entry : entries_) {
        finish(entry);
    }
}

void tDetectorReaper::Adopt(std::unique_ptr<tDeviceDetector> detector,
                            std::shared_ptr<const void> keepAlive) {
    if (detector != nullptr) {
        entries_.push_back({std::move(keepAlive), std::move(detector)});
    }
}

bool tDetectorReaper::Reap() {
    std::erase_if(entries_, [this](tEntry& entry) {
        if (!entry.detector->Finished()) {
            return false;
        }
        finish(entry);
        return true;
    });
    return entries_.empty();
}

void tDetectorReaper::finish(tEntry& entry) {
    entry.detector->WaitFor();
    delete entry.detector->FoundDevice();  // found too late: nobody wants it now
    entry.detector.reset();
}

}  // namespace vantrel
