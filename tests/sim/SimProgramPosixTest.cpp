#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "sim/LinePort.h"

extern char** environ;

namespace {

std::filesystem::path SimProgram() {
    const char* dir = std::getenv("VANTREL_BIN_DIR");
    const std::filesystem::path base =
        dir != nullptr ? std::filesystem::path(dir)
                       : std::filesystem::read_symlink("/proc/self/exe").parent_path();
    return base / "vantrel-sim";
}

// vantrel-sim as a child process with its standard output on a pipe.
class tSimProcess {
public:
    explicit tSimProcess(std::vector<std::string> args) {
        int out[2];
        if (::pipe(out) != 0) {
            return;
        }
        args.insert(args.begin(), SimProgram().string());
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
    }
    ~tSimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
    }

    // The first line of standard output, without its line feed.
    std::string FirstLine() {
        std::string line;
        char c = 0;
        pollfd p{out_, POLLIN, 0};
        while (::poll(&p, 1, 3000) == 1 && ::read(out_, &c, 1) == 1 && c != '\n') {
            line += c;
        }
        return line;
    }

    // Exit status, or -1 if the program did not end within ms.
    int Wait(int ms) {
        for (int waited = 0; waited <= ms; waited += 5) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return -1;
    }

    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

class SimProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(SimProgram())) {
            GTEST_SKIP() << SimProgram() << " not built";
        }
    }
};

}  // namespace

TEST_F(SimProgramTest, PrintsThePortFirstAndEndsCleanlyOnInterrupt) {
    tSimProcess sim({"--stray-byte", "--period", "500"});
    ASSERT_GT(sim.Pid(), 0);
    const std::string path = sim.FirstLine();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
    tLinePort port(path);
    ASSERT_TRUE(port.IsOpen());
    port.Send("I\r\n");
    EXPECT_EQ(port.ReadBytes(12, 1000), std::string("\0A-VANTREL\r\n", 12));
    port.Send("I\r\n");
    EXPECT_EQ(port.ReadBytes(11, 1000), "A-VANTREL\r\n");
    ASSERT_EQ(::kill(sim.Pid(), SIGINT), 0);
    EXPECT_EQ(sim.Wait(2000), 0);
    port.ReadFor(100);
    EXPECT_TRUE(port.HungUp());
}

TEST_F(SimProgramTest, EndsByItselfAfterTheHangUpFault) {
    tSimProcess sim({"--hang-up-after=2", "--time-scale", "20"});
    tLinePort port(sim.FirstLine());
    ASSERT_TRUE(port.IsOpen());
    port.Send("S\r\n");
    port.ReadFor(1000);
    EXPECT_TRUE(port.HungUp());
    EXPECT_EQ(sim.Wait(2000), 0);
}

TEST_F(SimProgramTest, RefusesBadArguments) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--period"},
                                               {"--period", "abc"},
                                               {"--bogus"},
                                               {"--time-scale", "0"},
                                               {"--period=100"}}) {
        tSimProcess sim(args);
        EXPECT_EQ(sim.FirstLine(), "");
        EXPECT_NE(sim.Wait(2000), 0) << args[0];
    }
}
