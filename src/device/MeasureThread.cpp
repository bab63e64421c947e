#include "device/MeasureThread.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "base/CommandLine.h"
#include "base/LogFile.h"
#include "device/Protocol.h"
#include "device/SerialPort.h"

#ifdef _WIN32
#include <windows.h>
#elif defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace vantrel {

namespace {

constexpr unsigned kStartCommandLength = kStartCommand.size();

void writeLog(const std::string& text) {
    logFile->WriteLine(text);
}

// Best effort: the thread reads in fixed windows and should not be pushed
// around between processors or starved by the user interface. Failures (no
// permission, processor 0 outside the allowed set) are ignored.
void raisePriorityAndPin() {
#ifdef _WIN32
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    SetThreadAffinityMask(GetCurrentThread(), 1);
#elif defined(__linux__)
    // Raising the priority needs privileges an ordinary user lacks; only pin.
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    pthread_setaffinity_np(pthread_self(), sizeof(set), &set);
#endif
}

std::string carryDump(const std::uint8_t* bytes, std::size_t count) {
    std::string text = "_footer_size=" + std::to_string(count) + "\r\n";
    char hex[8];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof(hex), "0x%02X", static_cast<unsigned>(bytes[i]));
        text += hex;
    }
    text += "\r\n";
    return text;
}

}  // namespace

tMeasureThread::tMeasureThread(iSerialPort& port, std::function<void(tMeasureEvent)> onEvent,
                               unsigned readWindowMs)
    : port_(port), onEvent_(std::move(onEvent)), readWindowMs_(readWindowMs) {
    thread_ = std::thread([this] { Execute(); });
}

tMeasureThread::~tMeasureThread() {
    Terminate();
    WaitFor();
    std::lock_guard lock(queueLock_);
    packets_.clear();
}

void tMeasureThread::Terminate() {
    terminated_.store(true);
}

void tMeasureThread::WaitFor() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void tMeasureThread::AddCommand(const std::string& line) {
    std::lock_guard lock(commandLock_);
    commands_.push_back(line);
}

void tMeasureThread::AddUrgentCommand(const std::string& line, const std::string& supersedes) {
    std::vector<std::string> dropped;
    {
        std::lock_guard lock(commandLock_);
        urgent_.push_back(line);
        if (!supersedes.empty()) {
            std::erase_if(commands_, [&](const std::string& queued) {
                if (queued.starts_with(supersedes)) {
                    dropped.push_back(queued);
                    return true;
                }
                return false;
            });
        }
    }
    for (const std::string& queued : dropped) {
        writeLog("DROPPED: " + queued.substr(0, queued.find_last_not_of("\r\n") + 1));
    }
}

std::vector<std::string> tMeasureThread::TakeFailedCommands() {
    std::lock_guard lock(commandLock_);
    return std::exchange(failed_, {});
}

std::size_t tMeasureThread::TakePackets(tPacketQueue& queue) {
    std::lock_guard lock(queueLock_);
    while (!packets_.empty()) {
        queue.push_back(std::move(packets_.front()));
        packets_.pop_front();
    }
    return queue.size();
}

void tMeasureThread::Notify(tMeasureEvent event) {
    if (!onEvent_) {
        return;
    }
    try {
        onEvent_(event);
    } catch (...) {
        // A receiver only records the event; one that throws must not take
        // the thread (and the whole program) down with it.
    }
}

bool tMeasureThread::WriteStartCommand() {
    unsigned written = 0;
    if (!port_.Write(kStartCommand.data(), kStartCommandLength, written)) {
        writeLog("START FAILED");
        return false;
    }
    if (written < kStartCommandLength) {
        writeLog("START COMMAND ERROR");
        return false;
    }
    writeLog("START COMMAND WRITTEN");
    return true;
}

bool tMeasureThread::HasCommands() {
    std::lock_guard lock(commandLock_);
    return !commands_.empty() || !urgent_.empty();
}

std::deque<std::string> tMeasureThread::TakeCommands() {
    std::lock_guard lock(commandLock_);
    std::deque<std::string> taken;
    if (!urgent_.empty()) {
        taken.swap(urgent_);
    } else if (!commands_.empty()) {
        taken.push_back(std::move(commands_.front()));
        commands_.pop_front();
    }
    return taken;
}

void tMeasureThread::WriteCommand(const std::string& command) {
    writeLog("WRITING: " + command);
    unsigned written = 0;
    const auto length = static_cast<unsigned>(command.size());
    const bool ok = port_.Write(command.data(), length, written);
    if (!ok) {
        writeLog("COMMAND FAILED");
    } else if (written < length) {
        writeLog("COMMAND SEND ERROR");
    } else {
        writeLog("COMMAND WRITTEN");
    }
    if (!ok || written < length) {
        // Nothing is retried here; whoever sent it decides what a lost
        // command means (the safety rules do for an off command).
        {
            std::lock_guard lock(commandLock_);
            failed_.push_back(command);
        }
        Notify(tMeasureEvent::CommandFailed);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kCommandPauseMs));
}

// What one read window found, carried from window to window.
struct tMeasureThread::tReadState {
    tLineFramer framer;
    std::uint32_t emptyReads = 0;
    unsigned failedReads = 0;
    bool linkLost = false;
    bool logMeasure = false;
};

void tMeasureThread::Execute() {
    {
        std::lock_guard lock(queueLock_);
        packets_.clear();
    }
    raisePriorityAndPin();

    if (!WriteStartCommand()) {
        Notify(tMeasureEvent::StartFailed);
        finished_.store(true);
        return;
    }
    unsigned readTimeout = 0;
    if (!port_.GetReadTimeout(readTimeout) || readTimeout != readWindowMs_) {
        port_.SetReadTimeout(readWindowMs_);
    }

    // A stop requested this early still lets the commands queued before it go
    // out; only with none pending does the thread end without reading.
    if (terminated_.load() && !HasCommands()) {
        finished_.store(true);
        return;
    }
    tReadState state;
    state.logMeasure = logMeasureEnabled();
    bool last = false;
    while (!last) {
        last = WritePendingCommand();
        ReadWindow(state);
    }
    finished_.store(true);
}

bool tMeasureThread::WritePendingCommand() {
    // The flag is read before the command list: a command added before
    // Terminate() is then certain to be seen, so none is left behind.
    const bool stopRequested = terminated_.load();
    const std::deque<std::string> commands = TakeCommands();
    for (const std::string& command : commands) {
        WriteCommand(command);
    }
    return stopRequested && commands.empty();
}

void tMeasureThread::ReadWindow(tReadState& state) {
    const auto readStart = std::chrono::steady_clock::now();
    unsigned received = 0;
    const bool readOk =
        port_.Read(state.framer.ReadTarget(), static_cast<unsigned>(state.framer.Room()), received);
    if (readOk) {
        state.failedReads = 0;
        state.linkLost = false;
        writeLog("Readed " + std::to_string(received) + " bytes");
    } else {
        ++state.failedReads;
        if (!state.linkLost) {
            writeLog("ReadTimeout");
        }
    }

    tPacket packet = state.framer.Take(received);
    if (state.logMeasure && state.framer.CarryCount() > 0) {
        writeLog(carryDump(state.framer.Carry(), state.framer.CarryCount()));
    }
    if (packet.buffer != nullptr) {
        {
            std::lock_guard lock(queueLock_);
            packets_.push_back(std::move(packet));
        }
        Notify(tMeasureEvent::PacketQueued);
        state.emptyReads = 0;
    } else {
        if (!state.linkLost) {
            writeLog("Invalid data recv :");
        }
        if (state.emptyReads < UINT32_MAX) {
            ++state.emptyReads;
        }
        if (state.emptyReads >= kSilentReads) {
            Notify(tMeasureEvent::Silence);
        }
    }

    if (!readOk) {
        if (!state.linkLost && state.failedReads >= kFailedReadsForLinkLost) {
            state.linkLost = true;
            writeLog("LINK LOST");
            Notify(tMeasureEvent::LinkLost);
        }
        // A port that is gone fails at once; without this the loop would
        // spin at full speed until someone stops it.
        std::this_thread::sleep_until(readStart + std::chrono::milliseconds(readWindowMs_));
    }
}

}  // namespace vantrel
