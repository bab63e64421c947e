#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/Actuators.h"
#include "device/DetectorReaper.h"
#include "device/Packet.h"

namespace vantrel {

class tCommand;
class tDevice;
class tReconnector;
class tSafety;
class tSettings;
class tStationFinder;

// The link to the station: the search for it, the device it found, the
// measurement thread's news of a lost port, and the retries after one.
// Commands reach the wire only through the safety rules (tSafety), the one
// friend that may send; the period the station runs at is always the one
// last sent, whoever sent it (the user, a scenario).
class tStationLink {
public:
    using tOnPort = std::function<void(const std::string& portPath, int remaining)>;
    using tWait = std::function<bool(int milliseconds)>;

    static constexpr int kDefaultPeriod = 200;

    explicit tStationLink(tSettings& settings);
    tStationLink(const tStationLink&) = delete;
    tStationLink& operator=(const tStationLink&) = delete;
    // Ends a measurement: its thread never runs on behind a closed port.
    ~tStationLink();

    // ---- where to look
    // Ports to try instead of the configured ones (the built-in simulator's,
    // the recorder's --port).
    void SetPorts(std::vector<std::string> ports) { ports_ = std::move(ports); }
    // What a search tries: those ports, else the configured list (blank
    // entries dropped); empty when the system's own list is used.
    std::vector<std::string> PortsToTry() const;
    // The file that remembers the port where the station last answered:
    // a search tries it first. Empty: nothing is remembered.
    void SetPortMemory(std::string fileName) { portMemory_ = std::move(fileName); }

    // ---- connecting
    // Searches for the station, telling each port tried and keeping the
    // front end alive through `wait`. True when found.
    bool Connect(const tOnPort& onPort, const tWait& wait);
    bool Searching() const { return finder_ != nullptr; }
    // Ends the search at the current port.
    void CancelSearch();
    // The last search ended because it was cancelled.
    bool SearchCancelled() const { return searchCancelled_; }
    // Closes the link (end a run on it first).
    void Disconnect();

    bool Connected() const { return device_ != nullptr; }
    bool Measuring() const;
    std::string PortName() const;

    // ---- measuring
    void StartMeasure();
    // Ends the thread and sends the stop command; what it had not handed
    // over yet goes to `leftover`.
    void StopMeasure(tPacketQueue* leftover = nullptr);
    void TakePackets(tPacketQueue& queue);
    // True once after the thread lost the port (or could not write the
    // start command): the link is dead, the tick acts on it.
    bool TakeLinkLost();

    // ---- reconnection after a lost link
    void EnableReconnect(bool on);
    bool ReconnectEnabled() const { return reconnector_ != nullptr; }
    // Closes the dead link and tries its port again in the background.
    void StartReconnecting(const std::string& port);
    void StopReconnecting();
    bool Reconnecting() const;
    std::chrono::steady_clock::duration ReconnectElapsed() const;
    // One try when due; true when the station answered and is the link now.
    bool PollReconnect();

    // ---- commands
    int PeriodMs() const { return periodMs_; }
    // "F<ms>"; nothing without a link.
    void SetPeriod(int milliseconds);
    // Asks the station for its actuators' state into `table`. False when
    // there is no link or no reply; a reply that does not parse is logged.
    bool QueryState(tActuatorTable& table);
    // The commands the measurement thread could not write, since the last call.
    std::vector<std::string> TakeFailedCommands();

private:
    friend class tSafety;
    // False when nothing could be written (no link, or the write failed);
    // while measuring the command is queued and counts as written.
    bool Send(const tCommand& command);
    // An off command: ahead of everything queued, which loses what it held
    // for the same actuator.
    bool SendFirst(const tCommand& command);
    void watch();

    // First: the detectors it keeps are joined after everything else.
    tDetectorReaper reaper_;
    tSettings& settings_;
    std::unique_ptr<tDevice> device_;
    std::unique_ptr<tStationFinder> finder_;  // while searching
    std::unique_ptr<tReconnector> reconnector_;
    // Set by the measurement thread when the port is gone.
    std::shared_ptr<std::atomic<bool>> linkLost_;
    std::vector<std::string> ports_;
    std::string portMemory_;
    bool searchCancelled_ = false;
    int periodMs_ = kDefaultPeriod;
};

}  // namespace vantrel
