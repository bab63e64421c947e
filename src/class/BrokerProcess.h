#pragma once

#include <string>

namespace vantrel {

// The class's broker (Mosquitto) run by the teacher's program for a lesson:
// started from a configuration file, its output in a log file, stopped when
// the lesson ends or the program does.
class tBrokerProcess {
public:
    tBrokerProcess() = default;
    ~tBrokerProcess();
    tBrokerProcess(const tBrokerProcess&) = delete;
    tBrokerProcess& operator=(const tBrokerProcess&) = delete;

    // Starts `program` -c `configFile`, its output appended to `logFile`.
    // Empty when it runs, else why not.
    std::string Start(const std::string& program, const std::string& configFile,
                      const std::string& logFile);
    // Still running; when it ended, Ended() says how.
    bool Running();
    const std::string& Ended() const { return ended_; }
    // Asks it to end and waits a little; then makes it.
    void Stop();

private:
#ifdef _WIN32
    void* process_ = nullptr;
#else
    int pid_ = -1;
#endif
    std::string ended_;
};

// The broker program: beside this program's executable (the Windows
// install carries mosquitto.exe), else the system's (/usr/sbin/mosquitto);
// empty when there is none.
std::string brokerProgramFor(const std::string& executablePath);

// This computer's address on the network the stations are on (the one its
// default route leaves by); 127.0.0.1 when it has none.
std::string classroomAddress();

}  // namespace vantrel
