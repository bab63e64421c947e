#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace vantrel::test {

// A TCP relay on 127.0.0.1 and a free port to `targetPort`: what a station
// connects through when a test cuts its network. While cut, every relayed
// connection is closed and new ones are refused.
class tTestProxy {
public:
    explicit tTestProxy(int targetPort);
    ~tTestProxy();
    tTestProxy(const tTestProxy&) = delete;
    tTestProxy& operator=(const tTestProxy&) = delete;

    int Port() const { return port_; }
    void Cut(bool cut) { cut_ = cut; }

private:
    void run();

    int targetPort_;
    int port_ = 0;
    std::atomic<bool> cut_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace vantrel::test
