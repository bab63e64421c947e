#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <thread>

#include "base/Error.h"
#include "class/BrokerProcess.h"

extern char** environ;

namespace vantrel {

namespace {

constexpr std::chrono::milliseconds kStopWait{3000};

}  // namespace

tBrokerProcess::~tBrokerProcess() {
    Stop();
}

std::string tBrokerProcess::Start(const std::string& program, const std::string& configFile,
                                  const std::string& logFile) {
    Stop();
    ended_.clear();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::array<char*, 4> argv = {const_cast<char*>(program.c_str()), const_cast<char*>("-c"),
                                 const_cast<char*>(configFile.c_str()), nullptr};
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return program + " cannot be started: " + systemErrorText(rc);
    }
    pid_ = pid;
    return {};
}

bool tBrokerProcess::Running() {
    if (pid_ < 0) {
        return false;
    }
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == 0) {
        return true;
    }
    if (done == pid_) {
        ended_ = WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                   : "signal " + std::to_string(WTERMSIG(status));
    } else {
        ended_ = "lost: " + systemErrorText(errno);
    }
    pid_ = -1;
    return false;
}

void tBrokerProcess::Stop() {
    if (!Running()) {
        return;
    }
    ::kill(pid_, SIGTERM);
    const auto until = std::chrono::steady_clock::now() + kStopWait;
    while (std::chrono::steady_clock::now() < until) {
        if (!Running()) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    ended_ = "killed";
    pid_ = -1;
}

std::string brokerProgramFor(const std::string& executablePath) {
    const std::string folder = executablePath.substr(0, executablePath.find_last_of('/') + 1);
    for (const std::string& candidate : {folder + "mosquitto", std::string("/usr/sbin/mosquitto"),
                                         std::string("/usr/bin/mosquitto")}) {
        if (candidate != "mosquitto" && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

}  // namespace vantrel
