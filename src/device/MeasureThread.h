#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/LineFramer.h"
#include "device/Packet.h"

namespace vantrel {

class iSerialPort;

// The background thread that owns the serial port while a measurement runs:
// it sends the start command, then in every read window writes at most one
// pending command and queues the complete lines received as one tPacket.
//
// Two locks meet the user-interface thread: the command lock (command list)
// and the queue lock (packet queue). Neither is held during port I/O and no
// code path holds both.
class tMeasureThread {
public:
    static constexpr unsigned kReadWindowMs = 100;
    static constexpr unsigned kCommandPauseMs = 10;
    static constexpr std::uint32_t kSilentReads = 300;
    // Consecutive failed reads after which the port counts as gone.
    static constexpr unsigned kFailedReadsForLinkLost = 10;
    // The bytes after the last line feed of a read wait for the next read.
    static constexpr std::size_t kCarryLimit = tLineFramer::kCarryLimit;

    // Starts the thread at once. `port` must stay open and untouched by
    // anyone else until the thread has ended; it is never closed here.
    tMeasureThread(iSerialPort& port, std::function<void(tMeasureEvent)> onEvent = {},
                   unsigned readWindowMs = kReadWindowMs);
    tMeasureThread(const tMeasureThread&) = delete;
    tMeasureThread& operator=(const tMeasureThread&) = delete;
    // Ends the thread if still running; releases packets nobody took.
    ~tMeasureThread();

    // Asks the thread to end once every pending command has been written.
    void Terminate();
    void WaitFor();
    bool Finished() const { return finished_.load(); }

    // `line` already ends with CR LF.
    void AddCommand(const std::string& line);
    // An off command: written in the next cycle, ahead of every queued
    // command and together with the other urgent ones, so an all-off does
    // not wait behind a scenario's commands. Queued commands that begin with
    // `supersedes` are dropped: a switch-on queued before the cut must not
    // follow it.
    void AddUrgentCommand(const std::string& line, const std::string& supersedes);
    // The commands that could not be written whole since the last call, in
    // order, each with its line end.
    std::vector<std::string> TakeFailedCommands();
    // Moves every queued packet, in order, to the back of `queue`; returns
    // queue.size() afterwards.
    std::size_t TakePackets(tPacketQueue& queue);

private:
    struct tReadState;

    void Execute();
    // Writes the urgent commands, or else the oldest queued one. True when
    // this is the last cycle: a stop was asked for and no command is left.
    bool WritePendingCommand();
    // One read window: the bytes go through the framer, complete lines are
    // queued; empty and failed reads are counted.
    void ReadWindow(tReadState& state);
    void Notify(tMeasureEvent event);
    bool WriteStartCommand();
    bool HasCommands();
    // The urgent commands, or else the oldest queued one.
    std::deque<std::string> TakeCommands();
    void WriteCommand(const std::string& command);

    iSerialPort& port_;
    std::function<void(tMeasureEvent)> onEvent_;
    const unsigned readWindowMs_;

    std::mutex queueLock_;
    tPacketQueue packets_;
    std::mutex commandLock_;
    std::deque<std::string> commands_;
    std::deque<std::string> urgent_;
    std::vector<std::string> failed_;

    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;  // last: starts when everything above exists
};

}  // namespace vantrel
