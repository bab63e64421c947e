#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/Packet.h"

namespace vantrel {

class tSettings;
class iSerialPort;
class tMeasureThread;
struct tNumberKey;

// The handle on one station attached to one serial port: opens and configures
// the port, performs idle request/reply exchanges, checks the station's
// identity, and starts and stops the measurement thread.
class tDevice {
public:
    // portPath: "\\.\COM3" on Windows, a device path such as /dev/ttyUSB0 on Linux.
    tDevice(std::string portPath, tSettings* settings);
    tDevice(const tDevice&) = delete;
    tDevice& operator=(const tDevice&) = delete;
    virtual ~tDevice();  // Close(); does not stop a measurement

    bool Open(std::string& error);
    virtual void Close();

    bool Transact(const void* request, unsigned length, unsigned timeoutMs, unsigned replyLength,
                  void* reply);
    bool CheckIdentity();
    bool StartMeasure();
    // Ends the measurement thread, then sends the stop command. With `leftover`
    // the packets the thread had not handed over yet are moved there once it
    // has ended, instead of being discarded with it.
    bool StopMeasure(tPacketQueue* leftover = nullptr);
    bool IsMeasuring() const;
    const std::string& PortName() const { return portPath_; }
    // Moves every received packet to the back of `queue`; returns queue.size().
    std::size_t TakePackets(tPacketQueue& queue);
    // While measuring the command is queued for the thread (true), else
    // written at once (false when it could not be). An urgent command goes
    // ahead of everything queued, and queued commands beginning with
    // `supersedes` are dropped (tMeasureThread::AddUrgentCommand).
    bool SendCommand(const std::string& command);
    bool SendUrgentCommand(const std::string& command, const std::string& supersedes);
    // Commands the measurement thread could not write, since the last call
    // (without line ends); those of a thread that has ended included.
    std::vector<std::string> TakeFailedCommands();
    bool Query(const std::string& command, std::string& reply);

    // Receiver of the measurement thread's events (called on that thread).
    void SetEventHandler(std::function<void(tMeasureEvent)> handler);
    // The store the configuration keys are read from (not owned).
    void SetSettings(tSettings* settings) { settings_ = settings; }
    // While `cancel` is set, Open stops waiting for the port to settle and
    // CheckIdentity makes no further attempt (not owned; may be null).
    void SetCancelFlag(const std::atomic<bool>* cancel) { cancel_ = cancel; }

private:
    // A configuration key's value; empty when missing or without settings.
    std::string Setting(const std::string& name) const;
    // A timing key within its range; the default (logged) outside it.
    int TimingSetting(const tNumberKey& key) const;

    std::string portPath_;
    tSettings* settings_;
    std::unique_ptr<iSerialPort> port_;
    std::unique_ptr<tMeasureThread> thread_;
    std::vector<std::string> failedCommands_;  // of threads that have ended
    std::function<void(tMeasureEvent)> eventHandler_;
    const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace vantrel
