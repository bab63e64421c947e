#include "station/StationLink.h"

#include "base/Files.h"
#include "base/Functions.h"
#include "base/LogFile.h"
#include "base/Settings.h"
#include "device/Command.h"
#include "device/Device.h"
#include "device/PortList.h"
#include "device/Protocol.h"
#include "station/Reconnector.h"
#include "station/StationFinder.h"

namespace vantrel {

namespace {

// A port path and a line end; anything longer is not ours.
constexpr std::size_t kPortMemoryBytes = 4096;
constexpr int kReapPollMs = 20;

}  // namespace

tStationLink::tStationLink(tSettings& settings)
    : settings_(settings), linkLost_(std::make_shared<std::atomic<bool>>(false)) {}

tStationLink::~tStationLink() {
    reconnector_.reset();
    // The device's destructor does not end a measurement.
    if (Measuring()) {
        device_->StopMeasure();
    }
}

std::vector<std::string> tStationLink::PortsToTry() const {
    return ports_.empty() ? configuredPorts(&settings_) : ports_;
}

bool tStationLink::Connect(const tOnPort& onPort, const tWait& wait) {
    Disconnect();
    // A detector of a cancelled search may still hold a port (exclusively,
    // on Windows): it is at most one step from its end.
    while (!reaper_.Reap() && wait(kReapPollMs)) {
    }
    finder_ = std::make_unique<tStationFinder>(settings_, reaper_, ports_);
    std::string remembered;
    if (!portMemory_.empty()) {
        try {
            readFileIfExists(portMemory_, remembered, kPortMemoryBytes);
        } catch (const std::exception& e) {
            logFile->WriteLine(e.what());
        }
        remembered = remembered.substr(0, remembered.find_first_of("\r\n"));
        finder_->SetPreferredPort(remembered);
    }
    device_ = finder_->Find(onPort, wait);
    searchCancelled_ = finder_->Cancelled() && device_ == nullptr;
    finder_.reset();
    if (device_ == nullptr) {
        return false;
    }
    watch();
    if (!portMemory_.empty() && device_->PortName() != remembered) {
        // Only a convenience: the next search without it just takes longer.
        try {
            writeFileAtomically(portMemory_, device_->PortName() + "\n");
        } catch (const std::exception& e) {
            logFile->WriteLine(e.what());
        }
    }
    return true;
}

void tStationLink::CancelSearch() {
    if (finder_ != nullptr) {
        finder_->Cancel();
    }
}

void tStationLink::Disconnect() {
    device_.reset();
    linkLost_->store(false);
}

bool tStationLink::Measuring() const {
    return device_ != nullptr && device_->IsMeasuring();
}

std::string tStationLink::PortName() const {
    return device_ != nullptr ? device_->PortName() : std::string();
}

// A port gone and a start command that could not be written (the cable
// pulled just after the identification) both end the link: the thread has
// stopped either way. Called on the measurement thread: only note it.
void tStationLink::watch() {
    device_->SetEventHandler([flag = linkLost_](tMeasureEvent event) {
        if (event == tMeasureEvent::LinkLost || event == tMeasureEvent::StartFailed) {
            flag->store(true);
        }
    });
}

void tStationLink::StartMeasure() {
    linkLost_->store(false);
    device_->StartMeasure();
}

void tStationLink::StopMeasure(tPacketQueue* leftover) {
    if (device_ != nullptr) {
        device_->StopMeasure(leftover);
    }
}

void tStationLink::TakePackets(tPacketQueue& queue) {
    if (device_ != nullptr) {
        device_->TakePackets(queue);
    }
}

bool tStationLink::TakeLinkLost() {
    return linkLost_->exchange(false);
}

void tStationLink::EnableReconnect(bool on) {
    if (on) {
        reconnector_ = std::make_unique<tReconnector>(reaper_);
    } else {
        reconnector_.reset();
    }
}

void tStationLink::StartReconnecting(const std::string& port) {
    Disconnect();
    if (reconnector_ != nullptr) {
        reconnector_->Start(port, settings_);
    }
}

void tStationLink::StopReconnecting() {
    if (reconnector_ != nullptr) {
        reconnector_->Stop();
    }
}

bool tStationLink::Reconnecting() const {
    return reconnector_ != nullptr && reconnector_->Active();
}

std::chrono::steady_clock::duration tStationLink::ReconnectElapsed() const {
    return reconnector_ != nullptr ? reconnector_->Elapsed()
                                   : std::chrono::steady_clock::duration::zero();
}

bool tStationLink::PollReconnect() {
    if (!Reconnecting()) {
        return false;
    }
    std::unique_ptr<tDevice> found = reconnector_->Poll();
    if (found == nullptr) {
        return false;
    }
    const auto gap = std::chrono::duration_cast<std::chrono::seconds>(reconnector_->Elapsed());
    device_ = std::move(found);
    device_->SetSettings(&settings_);
    watch();
    logFile->WriteLine("COM: RECONNECTED to " + device_->PortName() + " after " +
                       std::to_string(gap.count()) + " s");
    return true;
}

bool tStationLink::Send(const tCommand& command) {
    if (device_ == nullptr) {
        return false;
    }
    const bool sent = device_->SendCommand(command.Text());
    // A scenario may change the period ("F500"): the run's clock and the
    // period shown follow the station.
    if (command.Kind() == tCommand::tKind::Period) {
        periodMs_ = command.PeriodMs();
    }
    return sent;
}

bool tStationLink::SendFirst(const tCommand& command) {
    if (device_ == nullptr) {
        return false;
    }
    std::string supersedes;
    if (command.Actuator() >= 0) {
        supersedes = std::string(kActuatorIds[static_cast<std::size_t>(command.Actuator())]) + ",";
    }
    return device_->SendUrgentCommand(command.Text(), supersedes);
}

std::vector<std::string> tStationLink::TakeFailedCommands() {
    return device_ != nullptr ? device_->TakeFailedCommands() : std::vector<std::string>{};
}

void tStationLink::SetPeriod(int milliseconds) {
    if (device_ == nullptr) {
        return;
    }
    device_->SendCommand(periodCommand(milliseconds));
    periodMs_ = milliseconds;
}

bool tStationLink::QueryState(tActuatorTable& table) {
    std::string reply;
    if (device_ == nullptr || !device_->Query(kStateQuery, reply)) {
        return false;
    }
    const int count = matchStateReply(table, reply);
    if (count != 2 * kActuatorCount) {
        logFile->WriteLine(std::to_string(count) + " CANNOT PARSE DEVICE STATE!");
        return false;
    }
    return true;
}

}  // namespace vantrel
