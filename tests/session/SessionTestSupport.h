#pragma once

// Helpers of the controller tests: a log kept in memory, a temporary
// configuration, a chart sink that records what acquisition hands it, a
// minimal scripted station on a pseudo-terminal, and waiting on the tick.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/Locale.h"
#include "base/LogFile.h"
#include "run/RunEvent.h"
#include "session/MainFM.h"

#include "support/CaptureLog.h"
#include "support/TempDir.h"

namespace vantrel::test {

using namespace std::chrono_literals;

using tMemoryLog = tCaptureLog;

// A temporary folder with a configuration file in it.
class tTempConfig {
public:
    tTempConfig() : dir_(tempDir_.path()), path_(tempDir_.file("vantrel.cfg")) {}
    // Short timings so that connecting takes a fraction of a second.
    const std::string& Write(const std::string& ports, const std::string& extra = {}) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << "Timeout=10\nCheckTimeout=100\nCheckCount=2\nPorts=" << ports << "\n" << extra;
        return path_;
    }
    const std::string& Path() const { return path_; }
    const std::string& Dir() const { return dir_; }

private:
    tTempDir tempDir_;
    std::string dir_;
    std::string path_;
};

// Records what the run hands to the charts (in place of the chart model).
class tChartCallLog : public iRunListener {
public:
    struct tSet {
        float t;
        tReadingValues readings;
    };
    std::vector<tRunEvent> heard;     // every event, in order
    std::vector<std::string> events;  // "live", "analysis", "add", "end"
    std::vector<tSet> sets;
    std::vector<float> batchEnds;
    std::vector<std::string> interventions;
    iRunListener* target = nullptr;  // hears it all as well, when set

    void OnEvent(const tRunEvent& event) override {
        heard.push_back(event);
        if (event.As<tRunStart>() != nullptr) {
            events.push_back("live");
        } else if (event.As<tRunEnded>() != nullptr) {
            events.push_back("analysis");
        } else if (const auto* set = event.As<tReadingSet>()) {
            events.push_back("add");
            sets.push_back({set->time, set->readings});
        } else if (const auto* intervention = event.As<tRunIntervention>()) {
            interventions.push_back(intervention->text);
        }
        if (target != nullptr) {
            target->OnEvent(event);
        }
    }
    void OnBatchEnd(float t) override {
        events.push_back("end");
        batchEnds.push_back(t);
        if (target != nullptr) {
            target->OnBatchEnd(t);
        }
    }
};

// Calls the acquisition tick every 10 ms until `done` holds or `ms` passed.
inline bool tickUntil(TfmMain& fm, const std::function<bool()>& done, int ms = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
        fm.tmStartTimer();
    }
    return true;
}

// A station that only identifies itself and answers "?" with a fixed reply;
// for replies the simulator never gives.
class tScriptedStation {
public:
    explicit tScriptedStation(std::string queryReply) : queryReply_(std::move(queryReply)) {
        termios raw{};
        ::cfmakeraw(&raw);
        char name[256] = {};
        int slave = -1;
        if (::openpty(&master_, &slave, name, &raw, nullptr) != 0) {
            ADD_FAILURE() << "openpty failed";
            return;
        }
        slave_ = slave;  // keeps the pty alive between the program's opens
        path_ = name;
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    }
    ~tScriptedStation() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (master_ >= 0) {
            ::close(master_);
        }
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }
    const std::string& Path() const { return path_; }
    std::vector<std::string> Received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    void run() {
        std::string pending;
        while (!stop_) {
            pollfd pfd{master_, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0) {
                continue;
            }
            char buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) {
                continue;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = pending.find("\r\n")) != std::string::npos) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                {
                    std::lock_guard lock(mutex_);
                    received_.push_back(line);
                }
                if (line == "I") {
                    write("A-VANTREL\r\n");
                } else if (line == "?") {
                    write(queryReply_);
                }
            }
        }
    }
    void write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size() && !stop_) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                std::this_thread::sleep_for(1ms);
            }
        }
    }

    std::string queryReply_;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    std::thread thread_;
};

}  // namespace vantrel::test
