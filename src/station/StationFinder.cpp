#include "station/StationFinder.h"

#include <algorithm>
#include <vector>

#include "base/Error.h"
#include "base/Functions.h"
#include "base/LogFile.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "device/DetectorReaper.h"
#include "device/Device.h"
#include "device/DeviceDetector.h"
#include "device/PortList.h"

namespace vantrel {

namespace {

constexpr int kPollMs = 20;
constexpr int kPauseAfterPortMs = 100;

}  // namespace

struct tStationFinder::tSearch {
    tSettings snapshot{false};
    std::atomic<bool> cancel{false};
};

tStationFinder::tStationFinder(tSettings& settings, tDetectorReaper& reaper,
                               std::vector<std::string> ports)
    : settings_(settings),
      reaper_(reaper),
      ports_(std::move(ports)),
      search_(std::make_shared<tSearch>()) {}

void tStationFinder::Cancel() {
    search_->cancel.store(true);
}

bool tStationFinder::Cancelled() const {
    return search_->cancel.load();
}

std::unique_ptr<tDevice> tStationFinder::Find(const tOnPort& onPort, const tWait& wait) {
    // The detectors read their keys from a copy: the user interface keeps
    // running meanwhile and may change the store they would otherwise share.
    tSettings& snapshot = search_->snapshot;
    std::atomic<bool>& cancel = search_->cancel;
    settings_.AssignTo(snapshot);
    if (!ports_.empty()) {
        snapshot.SetSettingByName("Ports", joinTexts(ports_, ";"));
    }

    const auto waitFor = [&](int ms) {
        if (!cancel.load() && !wait(ms)) {
            cancel.store(true);
        }
    };

    std::unique_ptr<tDevice> device;
    std::vector<std::unique_ptr<tDeviceDetector>> detectors;
    try {
        tPortList ports(&snapshot);
        logFile->WriteLine("Registry created");
        logFile->WriteLine("StringList created");
        logFile->WriteLine("Rootkey!");
        if (!ports.OpenKey()) {
            throw tError(constantText("DK_NO_COM_PORTS"));
        }
        logFile->WriteLine("Key opened.");
        logFile->WriteLine("Object list created.");
        const std::vector<std::string> valueNames = ports.GetValueNames();
        logFile->WriteLine("Get Value Names.");
        if (valueNames.empty()) {
            throw tError(constantText("DK_NO_COM_PORTS"));
        }
        // A port whose name cannot be read is logged and passed over.
        std::vector<std::string> paths;
        for (const std::string& valueName : valueNames) {
            try {
                paths.push_back(tPortList::PortPath(ports.ReadPortName(valueName)));
            } catch (const std::exception& e) {
                logFile->WriteLine(e.what());
            }
        }
        // Where the station answered last time goes first; found there, the
        // ports before it in the list wait for another day.
        const auto remembered = std::find(paths.begin(), paths.end(), preferred_);
        const bool preferFirst = !preferred_.empty() && remembered != paths.end();
        if (preferFirst) {
            std::rotate(paths.begin(), remembered, remembered + 1);
        }
        for (std::size_t i = 0; i < paths.size() && !cancel.load(); ++i) {
            try {
                if (onPort) {
                    onPort(paths[i], static_cast<int>(paths.size() - i - 1));
                }
                detectors.push_back(
                    std::make_unique<tDeviceDetector>(paths[i], &snapshot, &cancel));
                while (!detectors.back()->Finished() && !cancel.load()) {
                    waitFor(kPollMs);
                }
                if (cancel.load()) {
                    break;
                }
                detectors.back()->WaitFor();
                waitFor(kPauseAfterPortMs);
                if (i == 0 && preferFirst && detectors.back()->FoundDevice() != nullptr) {
                    break;
                }
            } catch (const std::exception& e) {
                logFile->WriteLine(e.what());
            }
        }
        // The first station in list order wins; any other is closed at once.
        // A detector still testing its port after a cancel is not waited for.
        for (auto& detector : detectors) {
            if (!detector->Finished()) {
                reaper_.Adopt(std::move(detector), search_);
                continue;
            }
            detector->WaitFor();
            std::unique_ptr<tDevice> found(detector->FoundDevice());
            if (found != nullptr && device == nullptr) {
                device = std::move(found);
            }
        }
        detectors.clear();
        if (device == nullptr) {
            throw tError(constantText(cancel.load() ? "DK_CONN_CANCELLED" : "DK_DEVICE_NOT_FOUND"));
        }
    } catch (const std::exception& e) {
        logFile->WriteLine(std::string("COM: ") + e.what());
    }
    if (device != nullptr) {
        device->SetSettings(&settings_);
        device->SetCancelFlag(nullptr);
    }
    return device;
}

}  // namespace vantrel
