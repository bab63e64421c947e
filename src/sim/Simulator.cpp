#include "sim/Simulator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

#include "base/Error.h"
#include "sim/FaultShaper.h"
#include "sim/MemoryTransport.h"
#ifndef _WIN32
#include "sim/PtyTransport.h"
#endif
#include "sim/Station.h"

namespace vantrel::sim {

namespace {

using tClock = std::chrono::steady_clock;
using tWriteResult = iTransport::tWriteResult;

constexpr std::size_t kMaxCommandLength = 255;  // longer lines are not commands
constexpr int kMaxBacklog = 50;                 // records sent at once after a stall

// Control bytes made visible for the console trace (tabs stay as they are).
std::string Printable(std::string_view bytes) {
    static const char* const hex = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (byte < 0x20 && c != '\t') {
            text += "\\x";
            text += hex[byte >> 4];
            text += hex[byte & 15];
        } else {
            text += c;
        }
    }
    return text;
}

std::unique_ptr<iTransport> MakeTransport(tLine line) {
#ifndef _WIN32
    if (line == tLine::pseudoTerminal) {
        return std::make_unique<tPtyTransport>();
    }
#else
    (void)line;  // no pseudo-terminals here
#endif
    return std::make_unique<tMemoryTransport>();
}

}  // namespace

// The worker that joins the parts: it reads commands off the transport,
// lets the station answer them, and writes the station's records as the
// faults shape them.
struct tSimulator::tImpl {
    explicit tImpl(tOptions o) : options(std::move(o)), shaper(options.faults) {}

    void Run();
    void ReadInput();
    void HandleLine(const std::string& line);
    void SendDueRecords();
    tWriteResult WriteSplit(std::string_view bytes, const std::vector<tFaultShaper::tPiece>& plan);
    void HangUpNow();
    double NowMs() const;
    void Trace(std::string_view prefix, std::string_view text) const;

    const tOptions options;
    const std::unique_ptr<iTransport> port = MakeTransport(options.line);

    // Shared between the caller's thread and the worker.
    mutable std::mutex mutex;
    tStation station{options.faults.seed, options.noise, options.initialPeriodMs};
    tFaultShaper shaper;
    int recordsSent = 0;
    std::vector<std::string> received;
    std::vector<tSentRecord> sent;
    std::vector<std::string> garbage;
    std::atomic<bool> stopping{false};
    std::atomic<bool> closed{false};

    // The worker's own.
    std::string input;
    bool overlong = false;
    tClock::time_point epoch;
    std::thread worker;
};

double tSimulator::tImpl::NowMs() const {
    const std::chrono::duration<double, std::milli> wall = tClock::now() - epoch;
    return wall.count() * options.timeScale;
}

void tSimulator::tImpl::Trace(std::string_view prefix, std::string_view text) const {
    if (options.trace) {
        options.trace(std::string(prefix) + Printable(text));
    }
}

void tSimulator::tImpl::HangUpNow() {
    Trace("-- ", "hang-up");
    port->AwaitReader();
    // Said before it is done, so that whoever sees the port vanish also sees why.
    {
        std::lock_guard lock(mutex);
        station.Halt();
    }
    closed = true;
    port->Close();
}

tWriteResult tSimulator::tImpl::WriteSplit(std::string_view bytes,
                                           const std::vector<tFaultShaper::tPiece>& plan) {
    std::size_t pos = 0;
    for (const tFaultShaper::tPiece& piece : plan) {
        const tWriteResult result =
            port->Write(bytes.substr(pos, piece.length), pos == 0, stopping);
        if (result != tWriteResult::written) {
            return pos == 0 ? result : tWriteResult::failed;
        }
        pos += piece.length;
        if (piece.pauseMs > 0 && !port->Pause(piece.pauseMs, stopping)) {
            return tWriteResult::failed;
        }
    }
    return tWriteResult::written;
}

void tSimulator::tImpl::HandleLine(const std::string& line) {
    std::string reply;
    int delayMs = 0;
    {
        std::lock_guard lock(mutex);
        received.push_back(line);
        const tCommandKind kind = overlong ? tCommandKind::ignored : station.Handle(line, NowMs());
        if (kind == tCommandKind::identify) {
            reply = shaper.IdentificationReply(tStation::kIdentification);
        } else if (kind == tCommandKind::query) {
            reply = shaper.QueryReply(station.QueryReply());
        }
        delayMs = shaper.ReplyDelayMs();
    }
    Trace("<- ", line);
    if (reply.empty()) {
        return;
    }
    if (delayMs > 0 && !port->Pause(delayMs, stopping)) {
        return;
    }
    if (port->Write(reply, false, stopping) == tWriteResult::written) {
        Trace("-> ", reply);
    } else {
        Trace("-- reply lost: ", reply);
    }
}

void tSimulator::tImpl::ReadInput() {
    char bytes[512];
    std::size_t n;
    while ((n = port->Read(bytes, sizeof bytes)) > 0) {
        for (std::size_t i = 0; i < n && port->IsOpen() && !stopping; ++i) {
            const char c = bytes[i];
            if (c != '\n') {
                if (input.size() < kMaxCommandLength) {
                    input += c;
                } else {
                    overlong = true;
                }
                continue;
            }
            if (!input.empty() && input.back() == '\r') {
                input.pop_back();
            }
            HandleLine(input);
            input.clear();
            overlong = false;
        }
    }
}

void tSimulator::tImpl::SendDueRecords() {
    for (int sentNow = 0; port->IsOpen() && !stopping; ++sentNow) {
        tFaultShaper::tOutput output;
        {
            std::lock_guard lock(mutex);
            if (!station.Measuring()) {
                return;
            }
            const double now = NowMs();
            if (sentNow >= kMaxBacklog) {
                station.SkipLateRecords(now);
            }
            if (station.NextRecordMs() > now) {
                return;
            }
            if (shaper.HangUpDue(recordsSent)) {
                output.kind = tFaultShaper::tOutput::tKind::Nothing;
            } else {
                tSentRecord record = station.NextRecord();
                output = shaper.Shape(record.line);
                if (output.kind == tFaultShaper::tOutput::tKind::Nothing) {
                    continue;  // silent: the record is due, nothing is sent
                }
                if (output.kind == tFaultShaper::tOutput::tKind::Garbage) {
                    garbage.push_back(output.bytes.substr(0, output.bytes.size() - 2));
                } else {
                    sent.push_back(std::move(record));
                }
            }
        }
        if (output.bytes.empty()) {
            HangUpNow();
            return;
        }
        const bool isRecord = output.kind == tFaultShaper::tOutput::tKind::Record;
        const tWriteResult result = output.split.empty() ? port->Write(output.bytes, true, stopping)
                                                         : WriteSplit(output.bytes, output.split);
        if (result != tWriteResult::written) {
            // Only what reached the line counts as sent.
            std::lock_guard lock(mutex);
            if (isRecord) {
                sent.pop_back();
            } else {
                garbage.pop_back();
            }
            Trace(result == tWriteResult::dropped ? "-- nobody reads, dropped: " : "-- cut off: ",
                  output.bytes);
            continue;
        }
        Trace("-> ", output.bytes);
        if (isRecord) {
            bool hangUp = false;
            {
                std::lock_guard lock(mutex);
                ++recordsSent;
                hangUp = shaper.HangUpDue(recordsSent);
            }
            if (hangUp) {
                HangUpNow();
                return;
            }
        }
    }
}

void tSimulator::tImpl::Run() {
    while (!stopping && port->IsOpen()) {
        int timeoutMs = -1;
        {
            std::lock_guard lock(mutex);
            if (station.Measuring()) {
                const double wait = (station.NextRecordMs() - NowMs()) / options.timeScale;
                timeoutMs = static_cast<int>(std::clamp(std::ceil(wait), 0.0, 1000.0));
            }
        }
        const iTransport::tReady ready = port->Wait(timeoutMs);
        if (stopping) {
            break;
        }
        if (ready.input) {
            ReadInput();
        } else if (ready.hungUp) {
            port->Pause(20, stopping);  // not expected while the slave is held open; never spin
        }
        SendDueRecords();
    }
}

std::unique_ptr<tSimulator> tSimulator::StartBuiltIn() {
    tOptions station;
    station.line = tLine::memory;
    auto simulator = std::make_unique<tSimulator>(station);
    simulator->Start();
    return simulator;
}

tSimulator::tSimulator(tOptions options) : impl_(std::make_unique<tImpl>(std::move(options))) {}

tSimulator::~tSimulator() {
    Stop();
}

void tSimulator::Start() {
    tImpl& d = *impl_;
    if (d.worker.joinable() || d.port->IsOpen()) {
        throw tError("The station simulator is already running");
    }
    const tOptions& o = d.options;
    if (!(o.timeScale > 0) || !std::isfinite(o.timeScale)) {
        throw tError("The simulator's time scale must be a positive number");
    }
    if (o.initialPeriodMs < tStation::kMinPeriodMs || o.initialPeriodMs > tStation::kMaxPeriodMs) {
        throw tError("The simulator's period must lie between 200 and 60000 ms");
    }
    d.port->Open();
    d.input.clear();
    d.overlong = false;
    d.stopping = false;
    d.closed = false;
    {
        std::lock_guard lock(d.mutex);
        d.station = tStation(o.faults.seed, o.noise, o.initialPeriodMs);
        d.shaper = tFaultShaper(o.faults);
        d.recordsSent = 0;
        d.received.clear();
        d.sent.clear();
        d.garbage.clear();
    }
    d.epoch = tClock::now();
    d.worker = std::thread([&d] { d.Run(); });
}

void tSimulator::Stop() {
    tImpl& d = *impl_;
    if (d.worker.joinable()) {
        d.stopping = true;
        d.port->Wake();
        d.worker.join();
    }
    {
        std::lock_guard lock(d.mutex);
        d.station.Halt();
    }
    d.closed = true;
    d.port->CloseAll();
}

void tSimulator::HangUp() {
    Stop();
}

const std::string& tSimulator::PortPath() const {
    return impl_->port->PortPath();
}

std::vector<std::string> tSimulator::ReceivedLines() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->received;
}

std::vector<tSentRecord> tSimulator::SentRecords() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->sent;
}

std::vector<std::string> tSimulator::GarbageLines() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->garbage;
}

bool tSimulator::Measuring() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->station.Measuring();
}

int tSimulator::PeriodMs() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->station.PeriodMs();
}

void tSimulator::ActuatorState(int index, int& state, int& speed) const {
    std::lock_guard lock(impl_->mutex);
    impl_->station.Actuator(index, state, speed);
}

void tSimulator::SetFaults(const tFaults& faults) {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->shaper.SetFaults(faults);
    }
    impl_->port->SetWritesFail(faults.failWrites);
    if (impl_->worker.joinable()) {
        impl_->port->Wake();
    }
}

bool tSimulator::PortClosed() const {
    return impl_->closed;
}

}  // namespace vantrel::sim
