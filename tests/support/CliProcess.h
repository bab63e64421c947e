#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace vantrel::test {

// The built program, started as a user would, with its messages in a file.
class tCliProcess {
public:
    tCliProcess(std::vector<std::string> args, const std::string& messagesFile,
                std::string outputFile = {}) {
        if (outputFile.empty()) {
            outputFile = messagesFile + ".out";  // standard output kept apart
        }
        const char* dir = std::getenv("VANTREL_BIN_DIR");
        const std::filesystem::path bin =
            dir != nullptr ? std::filesystem::path(dir)
                           : std::filesystem::read_symlink("/proc/self/exe").parent_path();
        args.insert(args.begin(), (bin / "vantrel-cli").string());
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, messagesFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~tCliProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    tCliProcess(const tCliProcess&) = delete;
    tCliProcess& operator=(const tCliProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) { ::kill(pid_, signal); }

    // Exit status, or -1 when the program has not ended in time.
    int Wait(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
};

}  // namespace vantrel::test
