#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "class/BrokerProcess.h"

namespace vantrel {

namespace {

#ifdef _WIN32
using tSocket = SOCKET;
using tLength = int;
constexpr tSocket kNoSocket = INVALID_SOCKET;
void closeSocket(tSocket fd) {
    ::closesocket(fd);
}
// Winsock counts its users: one for the time of the question.
struct tSockets {
    tSockets() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~tSockets() { WSACleanup(); }
};
#else
using tSocket = int;
using tLength = socklen_t;
constexpr tSocket kNoSocket = -1;
void closeSocket(tSocket fd) {
    ::close(fd);
}
struct tSockets {};
#endif

}  // namespace

std::string classroomAddress() {
    // A datagram socket "connected" to an outside address sends nothing but
    // learns which local address the route to it leaves from.
    [[maybe_unused]] const tSockets sockets;
    std::string address = "127.0.0.1";
    const tSocket fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd == kNoSocket) {
        return address;
    }
    sockaddr_in outside{};
    outside.sin_family = AF_INET;
    outside.sin_port = htons(9);
    ::inet_pton(AF_INET, "192.0.2.1", &outside.sin_addr);
    sockaddr_in local{};
    tLength length = sizeof local;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&outside), sizeof outside) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
        local.sin_addr.s_addr != 0) {
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) != nullptr) {
            address = text;
        }
    }
    closeSocket(fd);
    return address;
}

}  // namespace vantrel
