// The real program started more than once by the same user.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <QApplication>
#include <QWidget>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"
#include "ui/InstanceGuard.h"

extern char** environ;

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readBytes;

// A copy of the program in a folder of its own (its configuration and log
// beside it), with a runtime folder of its own for the instance lock.
class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
        fs::copy_file(bin / "vantrel", dir.file("vantrel"));
        std::ofstream(dir.file("vantrel.cfg")) << "Ports=/nonexistent\nCheckOffTimer=0\n";
        fs::create_directory(dir.file("run"));
        fs::permissions(dir.file("run"), fs::perms::owner_all);
    }
    void TearDown() override {
        for (pid_t pid : running) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    pid_t Launch() {
        std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.file("run"),
                                        "QT_QPA_PLATFORM=offscreen", "HOME=" + dir.path()};
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (!entry.starts_with("XDG_RUNTIME_DIR=") && !entry.starts_with("QT_QPA_PLATFORM=") &&
                !entry.starts_with("HOME=")) {
                env.push_back(entry);
            }
        }
        std::vector<char*> envp;
        for (std::string& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        std::string program = dir.file("vantrel");
        std::string logSwitch = "-LOG";
        char* argv[] = {program.data(), logSwitch.data(), nullptr};
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, envp.data()), 0);
        running.push_back(pid);
        return pid;
    }
    // Exit status, or -1 while it still runs after `limit`.
    static int WaitExit(pid_t pid, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }
    int Count(const std::string& text) const {
        const std::string log = readBytes(dir.file("vantrel.log"));
        int count = 0;
        for (std::size_t at = log.find(text); at != std::string::npos;
             at = log.find(text, at + 1)) {
            ++count;
        }
        return count;
    }
    bool WaitFor(const std::string& text, int count = 1) const {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (Count(text) < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(50ms);
        }
        return Count(text) >= count;
    }

    test::tTempDir dir;
    std::vector<pid_t> running;
    const std::string started = "Запуск программы.";
};

TEST_F(InstanceTest, ASecondCopyCallsTheFirstForwardAndAKilledOneBlocksNothing) {
    const pid_t first = Launch();
    ASSERT_TRUE(WaitFor(started));

    const pid_t second = Launch();
    EXPECT_EQ(WaitExit(second, 20s), 0);
    running.erase(std::find(running.begin(), running.end(), second));
    EXPECT_TRUE(WaitFor("INSTANCE: another copy was started; this one comes forward"));
    EXPECT_EQ(Count(started), 1) << "the second copy wrote no log";

    // Killed, the first copy leaves its lock file and socket behind.
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    running.clear();
    const pid_t third = Launch();
    EXPECT_TRUE(WaitFor(started, 2)) << "the lock of the killed copy is taken over";
    EXPECT_EQ(WaitExit(third, 500ms), -1) << "and it keeps running";
}

// Called forward, the running window comes back as the user left it: a
// maximised one stays maximised, a minimised one is restored to its size
// before.
TEST(InstanceWindow, ComesForwardAsTheUserLeftIt) {
    QWidget window;
    window.showMaximized();
    bringForward(window);
    EXPECT_TRUE(window.isMaximized());
    window.showMinimized();
    bringForward(window);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isMaximized());
    window.showNormal();
    bringForward(window);
    EXPECT_EQ(window.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized), 0);
}

}  // namespace
}  // namespace vantrel
