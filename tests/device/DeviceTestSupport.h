#pragma once

// Helpers shared by the device tests: a log that keeps its lines in memory,
// and a raw pseudo-terminal peer for tests that need exact control over the
// bytes and their timing.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/Locale.h"
#include "base/LogFile.h"
#include "device/Packet.h"
#include "support/CaptureLog.h"

namespace vantrel::test {

using namespace std::chrono_literals;

// Installs a tCaptureLog and undoes what an enabled log changes process-wide
// (the long time format gains milliseconds).
class tLogScope {
public:
    tLogScope() : facts_(localeFacts()), log_(std::make_unique<tCaptureLog>()) {}
    ~tLogScope() {
        log_.reset();
        setLocaleFacts(facts_);
    }
    tCaptureLog& operator*() { return *log_; }
    tCaptureLog* operator->() { return log_.get(); }

private:
    tLocaleFacts facts_;
    std::unique_ptr<tCaptureLog> log_;
};

// The other end of a pseudo-terminal, in raw mode, driven by the test itself.
class tPtyPeer {
public:
    tPtyPeer() {
        termios raw{};
        ::cfmakeraw(&raw);
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master_, &slave, name, &raw, nullptr) != 0) {
            ADD_FAILURE() << "openpty failed";
            return;
        }
        // Held open so the pty stays alive whoever else opens and closes it.
        slave_ = slave;
        slavePath_ = name;
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~tPtyPeer() {
        HangUp();
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }

    const std::string& PortPath() const { return slavePath_; }

    void Write(std::string_view bytes) {
        std::size_t done = 0;
        while (done < bytes.size() && master_ >= 0) {
            ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            pollfd pfd{master_, POLLOUT, 0};
            ::poll(&pfd, 1, 50);
        }
    }

    // Everything received so far plus what arrives within `ms`.
    std::string ReadFor(int ms) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < deadline) {
            Pump(5);
        }
        return received_;
    }

    // Reads until the received bytes contain `needle` or the time is up.
    bool WaitFor(std::string_view needle, int timeoutMs = 3000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (received_.find(needle) == std::string::npos) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            Pump(5);
        }
        return true;
    }

    const std::string& Received() const { return received_; }

    // As if the cable was pulled: the slave side sees a hang-up.
    void HangUp() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

private:
    void Pump(int ms) {
        if (master_ < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return;
        }
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, ms) > 0 && (pfd.revents & POLLIN)) {
            char buffer[4096];
            ssize_t n = ::read(master_, buffer, sizeof(buffer));
            if (n > 0) {
                received_.append(buffer, static_cast<std::size_t>(n));
            }
        } else if (pfd.revents != 0) {
            // Nobody holds the slave side open yet: no data, but not a reason to spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string received_;
};

// Polls `condition` until it holds or `timeout` passes.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = 5000ms) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

inline std::string packetText(const tPacket& packet) {
    return std::string(reinterpret_cast<const char*>(packet.buffer.get()),
                       static_cast<std::size_t>(packet.size));
}

}  // namespace vantrel::test
