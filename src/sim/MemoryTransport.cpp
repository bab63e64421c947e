#include "sim/MemoryTransport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "base/Error.h"
#include "device/SerialPort.h"
#include "device/VirtualPorts.h"

namespace vantrel::sim {

namespace {

using tClock = std::chrono::steady_clock;

// What a UART and its driver hold before a writer has to wait; also what
// a pty buffers, so the simulator meets a slow reader the same way on both.
constexpr std::size_t kBufferBytes = 4096;
constexpr auto kStationWriteTimeout = std::chrono::milliseconds(500);
// Long enough for a reader slowed by a busy machine; the wait ends as soon
// as it has taken everything.
constexpr auto kAwaitReaderLimit = std::chrono::milliseconds(2000);
// Modem lines as a station with its cable in reports them: CTS and DSR on.
constexpr unsigned kModemStatus = 0x0010 | 0x0020;

std::atomic<int> linesMade{0};

}  // namespace

// What the two ends share. Every change is announced on `changed`.
struct tMemoryLine {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<char> toStation;
    std::deque<char> toProgram;
    bool present = false;     // the station's end is open: the port exists
    unsigned generation = 0;  // counts the times the port appeared
    bool programOpen = false;
    bool wake = false;
    bool writesFail = false;  // the program's writes fail
};

namespace {

// The program's end: a iSerialPort over the shared buffers.
class tMemorySerialPort final : public iSerialPort {
public:
    explicit tMemorySerialPort(std::shared_ptr<tMemoryLine> line) : line_(std::move(line)) {}
    ~tMemorySerialPort() override { Close(); }

    bool ReadDefaultConfig(const std::string&) override {
        std::lock_guard lock(line_->mutex);
        return line_->present || fail(ENOENT);
    }
    bool WriteDefaultDtr(const std::string&, bool) override { return true; }

    bool Open(const std::string&) override {
        Close();
        std::lock_guard lock(line_->mutex);
        if (!line_->present) {
            return fail(ENOENT);
        }
        if (line_->programOpen) {
            return fail(EBUSY);  // one program at a time, as with a real port
        }
        line_->programOpen = true;
        generation_ = line_->generation;
        open_ = true;
        readTimeoutMs_ = kDefaultTimeoutMs;
        writeTimeoutMs_ = kDefaultTimeoutMs;
        return true;
    }

    void Close() override {
        if (!open_) {
            return;
        }
        open_ = false;
        std::lock_guard lock(line_->mutex);
        if (generation_ == line_->generation) {
            line_->programOpen = false;
            line_->changed.notify_all();
        }
    }

    bool IsOpen() const override { return open_; }

    bool RaiseRts() override { return usable(); }
    bool SetBreak() override { return usable(); }
    bool ClearBreak() override { return usable(); }
    bool GetModemStatus(unsigned& status) override {
        status = 0;
        if (!usable()) {
            return false;
        }
        status = kModemStatus;
        return true;
    }
    bool ApplyLineSettings(tDtrMode) override { return usable(); }

    bool SetTimeouts(unsigned readTotalMs, unsigned writeTotalMs) override {
        if (!usable()) {
            return false;
        }
        readTimeoutMs_ = readTotalMs;
        writeTimeoutMs_ = writeTotalMs;
        return true;
    }
    bool GetReadTimeout(unsigned& readTotalMs) override {
        if (!usable()) {
            return false;
        }
        readTotalMs = readTimeoutMs_;
        return true;
    }
    bool SetReadTimeout(unsigned readTotalMs) override {
        if (!usable()) {
            return false;
        }
        readTimeoutMs_ = readTotalMs;
        return true;
    }

    bool Read(void* buffer, unsigned count, unsigned& received) override {
        received = 0;
        if (!open_) {
            return fail(EBADF);
        }
        auto* bytes = static_cast<char*>(buffer);
        const auto deadline = tClock::now() + std::chrono::milliseconds(readTimeoutMs_);
        std::unique_lock lock(line_->mutex);
        const auto take = [&] {
            std::deque<char>& queue = line_->toProgram;
            const std::size_t n = std::min<std::size_t>(count - received, queue.size());
            std::copy_n(queue.begin(), n, bytes + received);
            queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(n));
            received += static_cast<unsigned>(n);
            if (n > 0) {
                line_->changed.notify_all();
            }
        };
        for (;;) {
            if (!alive()) {
                return fail(EIO);  // the station is gone
            }
            take();
            if (received == count ||
                line_->changed.wait_until(lock, deadline) == std::cv_status::timeout) {
                break;
            }
        }
        take();  // bytes that came in the last moment before the deadline count too
        return true;
    }

    bool Write(const void* data, unsigned count, unsigned& written) override {
        written = 0;
        if (!open_) {
            return fail(EBADF);
        }
        const auto* bytes = static_cast<const char*>(data);
        const auto deadline = tClock::now() + std::chrono::milliseconds(writeTimeoutMs_);
        std::unique_lock lock(line_->mutex);
        if (line_->writesFail) {
            return fail(EIO);
        }
        while (written < count) {
            if (!alive()) {
                return fail(EIO);
            }
            const std::size_t room = kBufferBytes - std::min(kBufferBytes, line_->toStation.size());
            const std::size_t n = std::min<std::size_t>(room, count - written);
            line_->toStation.insert(line_->toStation.end(), bytes + written, bytes + written + n);
            written += static_cast<unsigned>(n);
            line_->changed.notify_all();
            if (written < count &&
                line_->changed.wait_until(lock, deadline) == std::cv_status::timeout) {
                break;  // write timeout: the caller sees the short count
            }
        }
        return true;
    }

    bool Purge() override {
        if (!usable()) {
            return false;
        }
        std::lock_guard lock(line_->mutex);
        line_->toProgram.clear();
        line_->toStation.clear();
        line_->changed.notify_all();
        return true;
    }

private:
    // Called with the line's lock held.
    bool alive() const { return line_->present && line_->generation == generation_; }

    bool usable() {
        if (!open_) {
            return fail(EBADF);
        }
        std::lock_guard lock(line_->mutex);
        return alive() || fail(EIO);
    }

    bool fail(int error) {
        SetError(error, systemErrorText(error));
        return false;
    }

    std::shared_ptr<tMemoryLine> line_;
    unsigned generation_ = 0;
    bool open_ = false;
    unsigned readTimeoutMs_ = kDefaultTimeoutMs;
    unsigned writeTimeoutMs_ = kDefaultTimeoutMs;
};

}  // namespace

tMemoryTransport::tMemoryTransport() : line_(std::make_shared<tMemoryLine>()) {}

tMemoryTransport::~tMemoryTransport() {
    Close();
    if (registered_) {
        unregisterVirtualPort(path_);
    }
}

void tMemoryTransport::Open() {
    if (!registered_) {
        // The first simulator of a process is "SIMULATOR", later ones are
        // numbered, so that tests can run several side by side.
        const int number = ++linesMade;
        path_ = number == 1 ? "SIMULATOR" : "SIMULATOR" + std::to_string(number);
        registerVirtualPort(path_, [line = line_] {
            return std::unique_ptr<iSerialPort>(std::make_unique<tMemorySerialPort>(line));
        });
        registered_ = true;
    }
    std::lock_guard lock(line_->mutex);
    ++line_->generation;
    line_->present = true;
    line_->programOpen = false;
    line_->toStation.clear();
    line_->toProgram.clear();
    line_->changed.notify_all();
}

bool tMemoryTransport::IsOpen() const {
    std::lock_guard lock(line_->mutex);
    return line_->present;
}

iTransport::tReady tMemoryTransport::Wait(int timeoutMs) {
    std::unique_lock lock(line_->mutex);
    const auto ready = [this] { return !line_->toStation.empty() || line_->wake; };
    if (timeoutMs < 0) {
        line_->changed.wait(lock, ready);
    } else {
        line_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }
    line_->wake = false;
    tReady result;
    result.input = !line_->toStation.empty();
    return result;
}

std::size_t tMemoryTransport::Read(char* buffer, std::size_t size) {
    std::lock_guard lock(line_->mutex);
    const std::size_t n = std::min(size, line_->toStation.size());
    std::copy_n(line_->toStation.begin(), n, buffer);
    line_->toStation.erase(line_->toStation.begin(),
                           line_->toStation.begin() + static_cast<std::ptrdiff_t>(n));
    if (n > 0) {
        line_->changed.notify_all();
    }
    return n;
}

iTransport::tWriteResult tMemoryTransport::Write(std::string_view bytes, bool dropWhenFull,
                                                 const std::atomic<bool>& stop) {
    const auto deadline = tClock::now() + kStationWriteTimeout;
    std::size_t done = 0;
    std::unique_lock lock(line_->mutex);
    while (done < bytes.size()) {
        if (!line_->present) {
            return tWriteResult::failed;
        }
        const std::size_t room = kBufferBytes - std::min(kBufferBytes, line_->toProgram.size());
        const std::size_t n = std::min(room, bytes.size() - done);
        if (n > 0) {
            line_->toProgram.insert(line_->toProgram.end(), bytes.begin() + done,
                                    bytes.begin() + done + n);
            done += n;
            line_->changed.notify_all();
            continue;
        }
        if ((done == 0 && dropWhenFull) || tClock::now() > deadline || stop) {
            return done == 0 ? tWriteResult::dropped : tWriteResult::failed;
        }
        line_->changed.wait_for(lock, std::chrono::milliseconds(10));
    }
    return tWriteResult::written;
}

bool tMemoryTransport::Pause(double wallMs, const std::atomic<bool>& stop) {
    const auto until = tClock::now() + std::chrono::ceil<tClock::duration>(
                                           std::chrono::duration<double, std::milli>(wallMs));
    std::unique_lock lock(line_->mutex);
    while (!stop) {
        if (line_->changed.wait_until(lock, until) == std::cv_status::timeout) {
            return !stop;
        }
    }
    return false;
}

void tMemoryTransport::Wake() {
    std::lock_guard lock(line_->mutex);
    line_->wake = true;
    line_->changed.notify_all();
}

void tMemoryTransport::SetWritesFail(bool fail) {
    std::lock_guard lock(line_->mutex);
    line_->writesFail = fail;
}

void tMemoryTransport::AwaitReader() {
    std::unique_lock lock(line_->mutex);
    line_->changed.wait_for(lock, kAwaitReaderLimit,
                            [this] { return line_->toProgram.empty() || !line_->programOpen; });
}

void tMemoryTransport::Close() {
    std::lock_guard lock(line_->mutex);
    line_->present = false;
    line_->programOpen = false;
    line_->toStation.clear();
    line_->toProgram.clear();
    line_->changed.notify_all();
}

// The path stays registered until the transport ends: a program that
// opens it meanwhile finds no station there, as with an unplugged adapter.
void tMemoryTransport::CloseAll() {
    Close();
}

}  // namespace vantrel::sim
