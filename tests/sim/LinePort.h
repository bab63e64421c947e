#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/SerialPort.h"

// The program's end of the simulator's line, opened as the device link
// opens a port (createSerialPort): a pseudo-terminal and the in-process
// line alike.
class tLinePort {
public:
    explicit tLinePort(const std::string& path) : port_(vantrel::createSerialPort(path)) {
        open_ = port_->Open(path) && port_->ApplyLineSettings(vantrel::tDtrMode::Keep) &&
                port_->SetTimeouts(0, 500);
    }

    bool IsOpen() const { return open_; }
    bool HungUp() const { return hungUp_; }

    bool Send(std::string_view bytes) {
        unsigned written = 0;
        const auto size = static_cast<unsigned>(bytes.size());
        return port_->Write(bytes.data(), size, written) && written == size;
    }

    // Everything that arrives within ms (stops early at a hang-up).
    std::string ReadFor(int ms) {
        std::string data;
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (ReadOnce(data, until)) {
        }
        return data;
    }

    // Reads until `count` bytes arrived or the time is up.
    std::string ReadBytes(std::size_t count, int ms) {
        std::string data;
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (data.size() < count && ReadOnce(data, until)) {
        }
        return data;
    }

    // Reads until `count` complete lines (ended by LF) arrived or the time is
    // up; `chunks` receives the size of every read, to see how lines were cut.
    std::string ReadLines(std::size_t count, int ms, std::vector<std::size_t>* chunks = nullptr) {
        std::string data;
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        std::size_t lines = 0;
        while (lines < count) {
            const std::size_t before = data.size();
            if (!ReadOnce(data, until)) {
                break;
            }
            if (chunks != nullptr) {
                chunks->push_back(data.size() - before);
            }
            for (std::size_t i = before; i < data.size(); ++i) {
                lines += data[i] == '\n' ? 1 : 0;
            }
        }
        return data;
    }

private:
    using Clock = std::chrono::steady_clock;

    // Waits for one byte, then takes whatever else is there: one read of a
    // driver woken by new data. False when the time is up or the line is gone.
    bool ReadOnce(std::string& data, Clock::time_point until) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0 || hungUp_) {
            return false;
        }
        char buffer[4096];
        unsigned first = 0;
        unsigned rest = 0;
        if (!port_->SetReadTimeout(static_cast<unsigned>(left.count())) ||
            !port_->Read(buffer, 1, first) || !port_->SetReadTimeout(0) ||
            (first == 1 && !port_->Read(buffer + 1, sizeof buffer - 1, rest))) {
            hungUp_ = true;
            return false;
        }
        data.append(buffer, first + rest);
        return first == 1;
    }

    std::unique_ptr<vantrel::iSerialPort> port_;
    bool open_ = false;
    bool hungUp_ = false;
};
