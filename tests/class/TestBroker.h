#pragma once

#include <string>

#include "support/TempDir.h"

namespace vantrel::test {

// A Mosquitto broker of the test's own on 127.0.0.1 and a free port, from a
// configuration in a scratch folder (readable by the user a broker started
// as root drops to). Stop and Start restart it on the same port; the
// destructor stops it. Its log is Folder()/broker.log.
class tTestBroker {
public:
    // `config` is appended to the listener line; the default lets anyone in.
    explicit tTestBroker(std::string config = "allow_anonymous true\n");
    // A whole configuration of its own, listener included: each kPort in it
    // becomes the free port.
    struct tWholeConfig {
        std::string text;
    };
    static constexpr const char* kPort = "@PORT@";
    explicit tTestBroker(tWholeConfig config);
    ~tTestBroker();
    tTestBroker(const tTestBroker&) = delete;
    tTestBroker& operator=(const tTestBroker&) = delete;

    int Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string Folder() const { return dir_.path(); }
    // The broker's process while it runs (its memory and CPU are read from
    // /proc), else -1.
    int Pid() const { return pid_; }
    void Start();
    void Stop();

private:
    tTempDir dir_;
    std::string config_;
    bool whole_ = false;
    int port_ = 0;
    int pid_ = -1;
};

// A port nobody listens on now, for a second listener of a whole configuration.
int freeLoopbackPort();

// The path of the broker program (mosquitto), or empty when none is installed.
std::string brokerProgram();

}  // namespace vantrel::test
