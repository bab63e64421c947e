#include "sim/PtyTransport.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>

#include "base/Error.h"

namespace vantrel::sim {

namespace {

using tClock = std::chrono::steady_clock;
constexpr auto kWriteTimeout = std::chrono::milliseconds(500);

std::string systemText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

}  // namespace

void tPtyTransport::Open() {
    termios raw{};
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B115200);
    ::cfsetospeed(&raw, B115200);
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        throw tError("Cannot open a pseudo-terminal: " + systemText(errno));
    }
    char name[256] = {};
    int wake[2] = {-1, -1};
    if (::ptsname_r(master, name, sizeof name) != 0 || ::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(master);
        ::close(slave);
        throw tError("Cannot set up the pseudo-terminal: " + systemText(error));
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    master_ = master;
    slave_ = slave;
    wake_[0] = wake[0];
    wake_[1] = wake[1];
    slavePath_ = name;
}

tPtyTransport::tReady tPtyTransport::Wait(int timeoutMs) {
    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {master_, POLLIN, 0}};
    tReady ready;
    if (::poll(fds, 2, timeoutMs) < 0) {
        ready.hungUp = errno != EINTR;
        return ready;
    }
    if (fds[0].revents != 0) {
        DrainWake();
    }
    ready.input = (fds[1].revents & POLLIN) != 0;
    ready.hungUp = !ready.input && (fds[1].revents & (POLLHUP | POLLERR)) != 0;
    return ready;
}

std::size_t tPtyTransport::Read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(master_, buffer, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
}

tPtyTransport::tWriteResult tPtyTransport::Write(std::string_view bytes, bool dropWhenFull,
                                                 const std::atomic<bool>& stop) {
    std::size_t done = 0;
    const auto deadline = tClock::now() + kWriteTimeout;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if ((done == 0 && dropWhenFull) || tClock::now() > deadline || stop) {
                return done == 0 ? tWriteResult::dropped : tWriteResult::failed;
            }
            pollfd fds[2] = {{master_, POLLOUT, 0}, {wake_[0], POLLIN, 0}};
            if (::poll(fds, 2, 10) > 0 && fds[1].revents != 0) {
                DrainWake();  // the main loop looks at everything again afterwards
            }
            continue;
        }
        return tWriteResult::failed;
    }
    return tWriteResult::written;
}

bool tPtyTransport::Pause(double wallMs, const std::atomic<bool>& stop) {
    const auto until = tClock::now() + std::chrono::duration<double, std::milli>(wallMs);
    while (!stop) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - tClock::now());
        if (left.count() <= 0) {
            return true;
        }
        pollfd fd{wake_[0], POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) > 0) {
            DrainWake();
        }
    }
    return false;
}

void tPtyTransport::Wake() {
    const char byte = 1;
    // A full pipe already holds a wake-up: nothing is lost when this fails.
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
}

void tPtyTransport::DrainWake() {
    char bytes[64];
    while (::read(wake_[0], bytes, sizeof bytes) > 0) {
    }
}

void tPtyTransport::AwaitReader() {
    if (slave_ < 0) {
        return;
    }
    const auto deadline = tClock::now() + std::chrono::milliseconds(2000);  // a busy reader
    int emptyChecks = 0;
    // Empty for 20 ms: the hand-over may wait behind a busy machine's other work.
    while (emptyChecks < 20 && tClock::now() < deadline) {
        int pending = 0;
        if (::ioctl(slave_, TIOCINQ, &pending) != 0) {
            return;
        }
        // The pty hands written bytes over asynchronously: one empty look is not enough.
        emptyChecks = pending == 0 ? emptyChecks + 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void tPtyTransport::Close() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
}

void tPtyTransport::CloseAll() {
    Close();
    for (int& fd : wake_) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

}  // namespace vantrel::sim
