#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "base/Error.h"
#include "device/SerialPort.h"

#ifdef __linux__
#include <sys/sysmacros.h>
#endif

namespace vantrel {

namespace {

using tClock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, rounded up so that poll never wakes a
// hair early and spins.
int msUntil(tClock::time_point deadline) {
    auto left = deadline - tClock::now();
    if (left <= tClock::duration::zero()) {
        return 0;
    }
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 1000000 ? 1000000 : static_cast<int>(ms);
}

// Pseudo-terminals have no modem lines: the kernel answers the modem-line
// ioctls with ENOTTY. Unix98 pty slaves live on majors 136 to 143, the old
// BSD-style ones on major 3.
bool isPseudoTerminal(int fd) {
#ifdef __linux__
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    unsigned majorNumber = major(info.st_rdev);
    return (majorNumber >= 136 && majorNumber <= 143) || majorNumber == 3;
#else
    (void)fd;
    return false;
#endif
}

class tSerialPortPosix final : public iSerialPort {
public:
    ~tSerialPortPosix() override { Close(); }

    bool ReadDefaultConfig(const std::string& path) override {
        // There is no stored per-port configuration here; what can be checked
        // before opening is that the device exists.
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            return fail(errno);
        }
        return true;
    }

    bool WriteDefaultDtr(const std::string&, bool raise) override {
        // "SET"/"CLEAR" name a stored default of the Windows port driver. The
        // closest meaning here is to raise or drop DTR as soon as the port is
        // opened, before the line settings are applied.
        defaultDtr_ = raise ? tDtrMode::Raise : tDtrMode::Drop;
        return true;
    }

    bool Open(const std::string& path) override {
        Close();
        int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return fail(errno);
        }
        // Stands in for Windows' no-sharing open: a second program using the
        // same convention cannot take the port while we hold it.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int error = errno;
            ::close(fd);
            return fail(error);
        }
        fd_ = fd;
        pty_ = isPseudoTerminal(fd);
        readTimeoutMs_ = kDefaultTimeoutMs;
        writeTimeoutMs_ = kDefaultTimeoutMs;
        if (defaultDtr_ != tDtrMode::Keep) {
            setModemLine(TIOCM_DTR, defaultDtr_ == tDtrMode::Raise);  // best effort, as a default
        }
        return true;
    }

    void Close() override {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    bool IsOpen() const override { return fd_ >= 0; }

    bool RaiseRts() override { return setModemLine(TIOCM_RTS, true); }

    bool SetBreak() override { return control(TIOCSBRK); }
    bool ClearBreak() override { return control(TIOCCBRK); }

    bool GetModemStatus(unsigned& status) override {
        status = 0;
        if (!checkOpen()) {
            return false;
        }
        int bits = 0;
        if (ioctl(fd_, TIOCMGET, &bits) != 0) {
            return modemLineFailure(errno);
        }
        status = static_cast<unsigned>(bits);
        return true;
    }

    bool ApplyLineSettings(tDtrMode dtr) override {
        if (!checkOpen()) {
            return false;
        }
        struct termios tio {};
        tcgetattr(fd_, &tio);  // a failure shows up in tcsetattr below
        // Raw 8-bit transfer: the line discipline must neither echo, translate
        // CR/LF nor treat any byte as a signal. Software and hardware flow
        // control (IXON/IXOFF/CRTSCTS) stay as the driver has them.
        tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                              ICRNL | INPCK | IGNPAR);
        tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
        tio.c_cflag |= CS8 | CREAD | CLOCAL;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        cfsetispeed(&tio, B115200);
        cfsetospeed(&tio, B115200);
        if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
            return fail(errno);
        }
        if (!setModemLine(TIOCM_RTS, true)) {
            return false;
        }
        if (dtr != tDtrMode::Keep && !setModemLine(TIOCM_DTR, dtr == tDtrMode::Raise)) {
            return false;
        }
        return true;
    }

    bool SetTimeouts(unsigned readTotalMs, unsigned writeTotalMs) override {
        if (!checkOpen()) {
            return false;
        }
        readTimeoutMs_ = readTotalMs;
        writeTimeoutMs_ = writeTotalMs;
        return true;
    }

    bool GetReadTimeout(unsigned& readTotalMs) override {
        if (!checkOpen()) {
            return false;
        }
        readTotalMs = readTimeoutMs_;
        return true;
    }

    bool SetReadTimeout(unsigned readTotalMs) override {
        if (!checkOpen()) {
            return false;
        }
        readTimeoutMs_ = readTotalMs;
        return true;
    }

    bool Read(void* buffer, unsigned count, unsigned& received) override {
        received = 0;
        if (!checkOpen()) {
            return false;
        }
        auto* bytes = static_cast<unsigned char*>(buffer);
        const auto deadline = tClock::now() + std::chrono::milliseconds(readTimeoutMs_);
        while (received < count) {
            struct pollfd pfd {
                fd_, POLLIN, 0
            };
            int ready = poll(&pfd, 1, msUntil(deadline));
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return fail(errno);
            }
            if (ready == 0) {
                break;  // timeout: what arrived so far is the result
            }
            if (pfd.revents & POLLIN) {
                ssize_t n = ::read(fd_, bytes + received, count - received);
                if (n > 0) {
                    received += static_cast<unsigned>(n);
                    continue;
                }
                if (n == 0) {
                    // End of file on a terminal: the other side is gone.
                    return fail(EIO);
                }
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                    continue;
                }
                return fail(errno);
            }
            if (pfd.revents & POLLNVAL) {
                return fail(EBADF);
            }
            if (pfd.revents & (POLLHUP | POLLERR)) {
                return fail(EIO);
            }
        }
        return true;
    }

    bool Write(const void* data, unsigned count, unsigned& written) override {
        written = 0;
        if (!checkOpen()) {
            return false;
        }
        const auto* bytes = static_cast<const unsigned char*>(data);
        const auto deadline = tClock::now() + std::chrono::milliseconds(writeTimeoutMs_);
        while (written < count) {
            ssize_t n = ::write(fd_, bytes + written, count - written);
            if (n > 0) {
                written += static_cast<unsigned>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                return fail(errno);
            }
            int wait = msUntil(deadline);
            if (wait == 0) {
                break;  // write timeout: the caller sees the short count
            }
            struct pollfd pfd {
                fd_, POLLOUT, 0
            };
            int ready = poll(&pfd, 1, wait);
            if (ready < 0 && errno != EINTR) {
                return fail(errno);
            }
            if (ready > 0 && !(pfd.revents & POLLOUT) &&
                (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
                return fail(pfd.revents & POLLNVAL ? EBADF : EIO);
            }
        }
        return true;
    }

    bool Purge() override {
        if (!checkOpen()) {
            return false;
        }
        if (tcflush(fd_, TCIOFLUSH) != 0) {
            return fail(errno);
        }
        return true;
    }

private:
    bool fail(int error) {
        SetError(error, systemErrorText(error));
        return false;
    }

    bool checkOpen() { return fd_ >= 0 || fail(EBADF); }

    bool control(unsigned long request) {
        if (!checkOpen()) {
            return false;
        }
        if (ioctl(fd_, request) != 0) {
            return fail(errno);
        }
        return true;
    }

    bool setModemLine(int line, bool on) {
        if (!checkOpen()) {
            return false;
        }
        if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) != 0) {
            return modemLineFailure(errno);
        }
        return true;
    }

    // A pty has no modem lines to report or switch; on a real device the
    // same answer means the driver is broken and stays an error.
    bool modemLineFailure(int error) {
        if (error == ENOTTY && pty_) {
            return true;
        }
        return fail(error);
    }

    int fd_ = -1;
    bool pty_ = false;
    tDtrMode defaultDtr_ = tDtrMode::Keep;
    unsigned readTimeoutMs_ = kDefaultTimeoutMs;
    unsigned writeTimeoutMs_ = kDefaultTimeoutMs;
};

}  // namespace

std::unique_ptr<iSerialPort> createSystemSerialPort() {
    return std::make_unique<tSerialPortPosix>();
}

}  // namespace vantrel
