#include "class/TestProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <utility>
#include <vector>

namespace vantrel::test {

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Moves what `from` has to `to`; false when either side is gone.
bool relay(int from, int to) {
    char buffer[16384];
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got <= 0) {
        return false;
    }
    ssize_t done = 0;
    while (done < got) {
        const ssize_t put =
            ::send(to, buffer + done, static_cast<std::size_t>(got - done), MSG_NOSIGNAL);
        if (put <= 0) {
            return false;
        }
        done += put;
    }
    return true;
}

}  // namespace

tTestProxy::tTestProxy(int targetPort) : targetPort_(targetPort) {
    thread_ = std::thread([this] { run(); });
    while (port_ == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (port_ < 0) {
        thread_.join();
        throw std::runtime_error("the test relay cannot listen");
    }
}

tTestProxy::~tTestProxy() {
    stop_ = true;
    thread_.join();
}

void tTestProxy::run() {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(listener);
        port_ = -1;
        return;
    }
    port_ = ntohs(address.sin_port);
    std::vector<std::pair<int, int>> pairs;  // client, broker
    auto closeAll = [&pairs] {
        for (auto [client, broker] : pairs) {
            ::close(client);
            ::close(broker);
        }
        pairs.clear();
    };
    while (!stop_) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        for (auto [client, broker] : pairs) {
            fds.push_back({client, POLLIN, 0});
            fds.push_back({broker, POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), 50);
        const bool cut = cut_;
        if (cut) {
            closeAll();
        }
        std::vector<std::pair<int, int>> alive;
        for (std::size_t k = 0; k < pairs.size(); ++k) {
            const auto [client, broker] = pairs[k];
            const short clientEvents = fds[1 + 2 * k].revents;
            const short brokerEvents = fds[2 + 2 * k].revents;
            bool ok = true;
            if ((clientEvents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                ok = relay(client, broker);
            }
            if (ok && (brokerEvents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                ok = relay(broker, client);
            }
            if (ok) {
                alive.emplace_back(client, broker);
            } else {
                ::close(client);
                ::close(broker);
            }
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const int client = ::accept(listener, nullptr, nullptr);
            const int broker = ::socket(AF_INET, SOCK_STREAM, 0);
            const sockaddr_in target = loopback(targetPort_);
            if (cut ||
                ::connect(broker, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
                ::close(client);  // refused while cut
                ::close(broker);
            } else {
                alive.emplace_back(client, broker);
            }
        }
        pairs = std::move(alive);
    }
    closeAll();
    ::close(listener);
}

}  // namespace vantrel::test
