#include "class/TestBroker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace vantrel::test {

namespace {

// A port nobody listens on now: the kernel's choice for an ephemeral bind.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        throw std::runtime_error("no free port for the test broker");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

int freeLoopbackPort() {
    return freePort();
}

std::string brokerProgram() {
    for (const char* path : {"/usr/sbin/mosquitto", "/usr/bin/mosquitto"}) {
        if (::access(path, X_OK) == 0) {
            return path;
        }
    }
    return {};
}

tTestBroker::tTestBroker(std::string config) : config_(std::move(config)), port_(freePort()) {
    // A broker started as root reads its files as another user.
    ::chmod(dir_.path().c_str(), 0755);
    Start();
}

tTestBroker::tTestBroker(tWholeConfig config)
    : config_(std::move(config.text)), whole_(true), port_(freePort()) {
    const std::string port = std::to_string(port_);
    for (std::size_t at = config_.find(kPort); at != std::string::npos;
         at = config_.find(kPort, at + port.size())) {
        config_.replace(at, std::string_view(kPort).size(), port);
    }
    ::chmod(dir_.path().c_str(), 0755);
    Start();
}

tTestBroker::~tTestBroker() {
    Stop();
}

void tTestBroker::Start() {
    if (pid_ > 0) {
        return;
    }
    const std::string configFile = dir_.file("broker.conf");
    if (whole_) {
        std::ofstream(configFile) << config_;
    } else {
        std::ofstream(configFile) << "listener " << port_ << " 127.0.0.1\n"
                                  << "persistence false\n"
                                  << "log_dest stderr\nlog_type all\n"
                                  << "max_queued_messages 10000\n"
                                  << config_;
    }
    const std::string program = brokerProgram();
    if (program.empty()) {
        throw std::runtime_error("no broker installed (apt-get install mosquitto)");
    }
    const std::string log = dir_.file("broker.log");
    pid_ = ::fork();
    if (pid_ == 0) {
        std::FILE* out = std::fopen(log.c_str(), "a");
        if (out != nullptr) {
            ::dup2(::fileno(out), 2);
            ::dup2(::fileno(out), 1);
        }
        ::execl(program.c_str(), program.c_str(), "-c", configFile.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 200; ++i) {
        if (accepts(port_)) {
            return;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("the test broker did not start; see " + log);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    throw std::runtime_error("the test broker does not accept connections; see " + log);
}

void tTestBroker::Stop() {
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

}  // namespace vantrel::test
