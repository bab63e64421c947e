#include "sim/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>

#include "base/Error.h"
#include "sim/Station.h"

namespace vantrel::sim {

namespace {

using tClock = std::chrono::steady_clock;

constexpr std::size_t kMaxCommandLength = 255;  // longer lines are not commands
constexpr int kMaxBacklog = 50;                 // records sent at once after a stall
constexpr auto kWriteTimeout = std::chrono::milliseconds(500);

std::string SystemText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

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

}  // namespace

struct tSimulator::tImpl {
    enum class tWriteResult { written, dropped, failed };

    explicit tImpl(tOptions o) : options(std::move(o)), faults(options.faults) {}

    void Run();
    void ReadInput();
    void HandleLine(const std::string& line);
    void SendDueRecords();
    tWriteResult Write(std::string_view bytes, bool dropWhenFull);
    tWriteResult WriteSplit(std::string_view bytes);
    bool Pause(double wallMs);
    void DrainWake();
    void Wake();
    void AwaitReader();
    void CloseMaster();
    void CloseAll();
    double NowMs() const;
    std::string Garbage(const std::string& record);
    void Trace(std::string_view prefix, std::string_view text) const;

    const tOptions options;

    // Shared between the caller's thread and the worker.
    mutable std::mutex mutex;
    tStation station{options.faults.seed, options.noise, options.initialPeriodMs};
    tFaults faults;
    int strayLeft = 0;
    long recordSlots = 0;
    int recordsSent = 0;
    std::vector<std::string> received;
    std::vector<tSentRecord> sent;
    std::vector<std::string> garbage;
    std::atomic<bool> stopping{false};
    std::atomic<bool> closed{false};

    // Owned by the worker while it runs, by the caller's thread otherwise.
    int master = -1;
    int slave = -1;  // held open so that the program closing its side is no hang-up here
    int wake[2] = {-1, -1};
    std::string input;
    bool overlong = false;
    std::mt19937 random;

    std::string slavePath;
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

void tSimulator::tImpl::Wake() {
    const char byte = 1;
    // A full pipe already holds a wake-up: nothing is lost when this fails.
    [[maybe_unused]] const ssize_t n = ::write(wake[1], &byte, 1);
}

void tSimulator::tImpl::DrainWake() {
    char bytes[64];
    while (::read(wake[0], bytes, sizeof bytes) > 0) {
    }
}

bool tSimulator::tImpl::Pause(double wallMs) {
    const auto until = tClock::now() + std::chrono::duration<double, std::milli>(wallMs);
    while (!stopping) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - tClock::now());
        if (left.count() <= 0) {
            return true;
        }
        pollfd fd{wake[0], POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) > 0) {
            DrainWake();
        }
    }
    return false;
}

// Closing the master discards what the program has not read yet, so a
// hang-up first gives the reader a moment to take what was sent before it.
void tSimulator::tImpl::AwaitReader() {
    if (slave < 0) {
        return;
    }
    const auto deadline = tClock::now() + std::chrono::milliseconds(200);
    int emptyChecks = 0;
    while (emptyChecks < 3 && tClock::now() < deadline) {
        int pending = 0;
        if (::ioctl(slave, TIOCINQ, &pending) != 0) {
            return;
        }
        // The pty hands written bytes over asynchronously: one empty look is not enough.
        emptyChecks = pending == 0 ? emptyChecks + 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void tSimulator::tImpl::CloseMaster() {
    // Said before it is done, so that whoever sees the port vanish also sees why.
    {
        std::lock_guard lock(mutex);
        station.Halt();
    }
    closed = true;
    if (master >= 0) {
        ::close(master);
        master = -1;
    }
    if (slave >= 0) {
        ::close(slave);
        slave = -1;
    }
}

void tSimulator::tImpl::CloseAll() {
    CloseMaster();
    for (int& fd : wake) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

tSimulator::tImpl::tWriteResult tSimulator::tImpl::Write(std::string_view bytes,
                                                         bool dropWhenFull) {
    std::size_t done = 0;
    const auto deadline = tClock::now() + kWriteTimeout;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Nobody reads the port: a record that has not begun is lost as on
            // a real line; one that has begun is finished if the reader comes back.
            if ((done == 0 && dropWhenFull) || tClock::now() > deadline || stopping) {
                return done == 0 ? tWriteResult::dropped : tWriteResult::failed;
            }
            pollfd fds[2] = {{master, POLLOUT, 0}, {wake[0], POLLIN, 0}};
            if (::poll(fds, 2, 10) > 0 && fds[1].revents != 0) {
                DrainWake();  // the main loop looks at everything again afterwards
            }
            continue;
        }
        return tWriteResult::failed;
    }
    return tWriteResult::written;
}

tSimulator::tImpl::tWriteResult tSimulator::tImpl::WriteSplit(std::string_view bytes) {
    int maxPause = 5;
    {
        std::lock_guard lock(mutex);
        maxPause = std::max(faults.splitPauseMs, 0);
    }
    std::uniform_int_distribution<int> cuts(1, 5);
    std::uniform_int_distribution<int> pause(std::min(1, maxPause), maxPause);
    std::size_t pos = 0;
    for (int piecesLeft = cuts(random); pos < bytes.size(); --piecesLeft) {
        std::size_t length = bytes.size() - pos;
        if (piecesLeft > 1 && length > 1) {
            length = std::uniform_int_distribution<std::size_t>(1, length - 1)(random);
        }
        const tWriteResult result = Write(bytes.substr(pos, length), pos == 0);
        if (result != tWriteResult::written) {
            return pos == 0 ? result : tWriteResult::failed;
        }
        pos += length;
        if (pos < bytes.size() && !Pause(pause(random))) {
            return tWriteResult::failed;
        }
    }
    return tWriteResult::written;
}

std::string tSimulator::tImpl::Garbage(const std::string& record) {
    switch (std::uniform_int_distribution<int>(0, 3)(random)) {
        case 0: {  // a decimal comma, as from a wrongly configured station
            std::string line = record;
            for (char& c : line) {
                if (c == '.') {
                    c = ',';
                }
            }
            return line;
        }
        case 1: {  // cut before the time value
            const std::size_t tt = record.find("TT:");
            const std::size_t end = tt == std::string::npos ? record.size() : tt + 3;
            return record.substr(0, std::uniform_int_distribution<std::size_t>(0, end)(random));
        }
        case 2: {  // line noise
            std::string line(std::uniform_int_distribution<std::size_t>(1, 80)(random), ' ');
            std::uniform_int_distribution<int> byte(0, 255);
            for (char& c : line) {
                do {
                    c = static_cast<char>(byte(random));
                } while (c == '\r' || c == '\n');
            }
            return line;
        }
        default: {
            std::string line(std::uniform_int_distribution<std::size_t>(1, 60)(random), ' ');
            std::uniform_int_distribution<int> printable(0x20, 0x7E);
            for (char& c : line) {
                c = static_cast<char>(printable(random));
            }
            return line;
        }
    }
}

void tSimulator::tImpl::HandleLine(const std::string& line) {
    std::string reply;
    int delayMs = 0;
    tCommandKind kind;
    {
        std::lock_guard lock(mutex);
        received.push_back(line);
        kind = overlong ? tCommandKind::ignored : station.Handle(line, NowMs());
        if (kind == tCommandKind::identify && !faults.ignoreIdentify) {
            if (faults.strayByteBeforeId && strayLeft > 0) {
                --strayLeft;
                reply += static_cast<char>(faults.strayByte);
            }
            reply.append(tStation::kIdentification);
        } else if (kind == tCommandKind::query && !faults.ignoreQuery) {
            reply = station.QueryReply();
        }
        delayMs = faults.replyDelayMs;
    }
    Trace("<- ", line);
    if (reply.empty()) {
        return;
    }
    if (delayMs > 0 && !Pause(delayMs)) {
        return;
    }
    if (Write(reply, false) == tWriteResult::written) {
        Trace("-> ", reply);
    } else {
        Trace("-- reply lost: ", reply);
    }
}

void tSimulator::tImpl::ReadInput() {
    char bytes[512];
    for (;;) {
        const ssize_t n = ::read(master, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        for (ssize_t i = 0; i < n && master >= 0 && !stopping; ++i) {
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
    for (int sentNow = 0; master >= 0 && !stopping; ++sentNow) {
        std::string bytes;
        bool isRecord = true;
        bool split = false;
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
            if (faults.hangUpAfterRecords >= 0 && recordsSent >= faults.hangUpAfterRecords) {
                bytes.clear();
                isRecord = false;
            } else {
                tSentRecord record = station.NextRecord();
                ++recordSlots;
                if (faults.silent) {
                    continue;
                }
                if (faults.garbageEvery > 0 && recordSlots % faults.garbageEvery == 0) {
                    bytes = Garbage(record.line);
                    garbage.push_back(bytes);
                    isRecord = false;
                } else {
                    bytes = record.line;
                    sent.push_back(std::move(record));
                }
                bytes += "\r\n";
                split = faults.splitRecords;
            }
        }
        if (bytes.empty()) {
            Trace("-- ", "hang-up");
            AwaitReader();
            CloseMaster();
            return;
        }
        const tWriteResult result = split ? WriteSplit(bytes) : Write(bytes, true);
        if (result != tWriteResult::written) {
            // Only what reached the line counts as sent.
            std::lock_guard lock(mutex);
            if (isRecord) {
                sent.pop_back();
            } else {
                garbage.pop_back();
            }
            Trace(result == tWriteResult::dropped ? "-- nobody reads, dropped: " : "-- cut off: ",
                  bytes);
            continue;
        }
        Trace("-> ", bytes);
        if (isRecord) {
            bool hangUp = false;
            {
                std::lock_guard lock(mutex);
                ++recordsSent;
                hangUp = faults.hangUpAfterRecords >= 0 && recordsSent >= faults.hangUpAfterRecords;
            }
            if (hangUp) {
                Trace("-- ", "hang-up");
                AwaitReader();
                CloseMaster();
                return;
            }
        }
    }
}

void tSimulator::tImpl::Run() {
    while (!stopping && master >= 0) {
        int timeoutMs = -1;
        {
            std::lock_guard lock(mutex);
            if (station.Measuring()) {
                const double wait = (station.NextRecordMs() - NowMs()) / options.timeScale;
                timeoutMs = static_cast<int>(std::clamp(std::ceil(wait), 0.0, 1000.0));
            }
        }
        pollfd fds[2] = {{wake[0], POLLIN, 0}, {master, POLLIN, 0}};
        if (::poll(fds, 2, timeoutMs) < 0 && errno != EINTR) {
            Pause(10);
            continue;
        }
        if (fds[0].revents != 0) {
            DrainWake();
        }
        if (stopping) {
            break;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            ReadInput();
        } else if ((fds[1].revents & (POLLHUP | POLLERR)) != 0) {
            Pause(20);  // not expected while the slave is held open; never spin on it
        }
        SendDueRecords();
    }
}

tSimulator::tSimulator(tOptions options) : impl_(std::make_unique<tImpl>(std::move(options))) {}

tSimulator::~tSimulator() {
    Stop();
}

void tSimulator::Start() {
    tImpl& d = *impl_;
    if (d.worker.joinable() || d.master >= 0) {
        throw tError("The station simulator is already running");
    }
    const tOptions& o = d.options;
    if (!(o.timeScale > 0) || !std::isfinite(o.timeScale)) {
        throw tError("The simulator's time scale must be a positive number");
    }
    if (o.initialPeriodMs < tStation::kMinPeriodMs || o.initialPeriodMs > tStation::kMaxPeriodMs) {
        throw tError("The simulator's period must lie between 200 and 60000 ms");
    }

    // Raw from the first byte: a cooked pty would echo the program's commands back.
    termios raw{};
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B115200);
    ::cfsetospeed(&raw, B115200);
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        throw tError("Cannot open a pseudo-terminal: " + SystemText(errno));
    }
    char name[256] = {};
    int wake[2] = {-1, -1};
    if (::ptsname_r(master, name, sizeof name) != 0 || ::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(master);
        ::close(slave);
        throw tError("Cannot set up the pseudo-terminal: " + SystemText(error));
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);

    d.master = master;
    d.slave = slave;
    d.wake[0] = wake[0];
    d.wake[1] = wake[1];
    d.slavePath = name;
    d.input.clear();
    d.overlong = false;
    d.random.seed(o.faults.seed);
    d.stopping = false;
    d.closed = false;
    {
        std::lock_guard lock(d.mutex);
        d.station = tStation(o.faults.seed, o.noise, o.initialPeriodMs);
        d.faults = o.faults;
        d.strayLeft = o.faults.strayByteCount;
        d.recordSlots = 0;
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
        d.Wake();
        d.worker.join();
    }
    d.CloseAll();
}

void tSimulator::HangUp() {
    Stop();
}

const std::string& tSimulator::SlavePath() const {
    return impl_->slavePath;
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
        impl_->faults = faults;
        impl_->strayLeft = faults.strayByteCount;
    }
    if (impl_->worker.joinable()) {
        impl_->Wake();
    }
}

bool tSimulator::PortClosed() const {
    return impl_->closed;
}

}  // namespace vantrel::sim
