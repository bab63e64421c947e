#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// The program's end of the simulator's pseudo-terminal, with plain POSIX
// calls: what a serial port driver would see.
class tPtyPort {
public:
    explicit tPtyPort(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ >= 0) {
            termios raw{};
            ::tcgetattr(fd_, &raw);
            ::cfmakeraw(&raw);
            ::tcsetattr(fd_, TCSANOW, &raw);
        }
    }
    ~tPtyPort() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    tPtyPort(const tPtyPort&) = delete;
    tPtyPort& operator=(const tPtyPort&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    bool HungUp() const { return hungUp_; }

    bool Send(std::string_view bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
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
            if (chunks != nullptr && data.size() > before) {
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

    // One poll and read; false when the time is up or the port hung up.
    bool ReadOnce(std::string& data, Clock::time_point until) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0 || hungUp_) {
            return false;
        }
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready <= 0) {
            return ready == 0 ? false : errno == EINTR;
        }
        char buffer[4096];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            data.append(buffer, static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            return true;
        }
        hungUp_ = true;  // end of file or EIO: the other side is gone
        return false;
    }

    int fd_ = -1;
    bool hungUp_ = false;
};
