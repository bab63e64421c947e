#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliTestSupport.h"
#include "journal/Journal.h"

extern char** environ;

namespace vantrel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::exportNumber;
using test::exportRows;
using test::readFile;

// The built program, started as a user would, with its messages in a file.
class tCliProcess {
public:
    tCliProcess(std::vector<std::string> args, const std::string& messagesFile,
                const std::string& outputFile = "/dev/null") {
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
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
};

// Data lines in the export's format: a time with three decimals rising
// from line to line, seven values with two.
void expectWellFormedRows(const std::vector<std::vector<std::string>>& rows) {
    double previous = -1;
    for (std::size_t k = 1; k < rows.size(); ++k) {
        ASSERT_EQ(rows[k].size(), 8u) << "line " << k + 1;
        double t = 0;
        ASSERT_TRUE(exportNumber(rows[k][0], 3, t)) << rows[k][0];
        EXPECT_GT(t, previous) << "line " << k + 1;
        previous = t;
        for (std::size_t i = 1; i < rows[k].size(); ++i) {
            double value = 0;
            EXPECT_TRUE(exportNumber(rows[k][i], 2, value)) << rows[k][i];
        }
    }
}

TEST(CliProgram, RecordsFiftyRecordsOfTheSimulator) {
    test::tCliDir dir;
    const std::string out = dir.File("out.csv");
    const std::string messages = dir.File("messages.txt");
    tCliProcess cli({"--config", dir.Config(), "--simulate", "--records", "50", "--export", out},
                    messages);
    ASSERT_TRUE(cli.Started());
    ASSERT_EQ(cli.Wait(40s), 0) << readFile(messages);
    const auto rows = exportRows(readFile(out));
    ASSERT_EQ(rows.size(), 51u) << readFile(messages);
    EXPECT_EQ(rows[0][0], "t");
    EXPECT_EQ(rows[0].size(), 8u);
    expectWellFormedRows(rows);
    EXPECT_NE(readFile(messages).find("50 records"), std::string::npos) << readFile(messages);
}

TEST(CliProgram, InterruptStopsCleanlyAndExports) {
    test::tCliDir dir;
    const std::string out = dir.File("out.csv");
    const std::string messages = dir.File("messages.txt");
    tCliProcess cli({"--config", dir.Config(), "--simulate", "--export", out}, messages);
    ASSERT_TRUE(cli.Started());
    // Wait for the run to be under way, then press Ctrl+C.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (readFile(messages).find(" records") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    // A second Ctrl+C right after the first, as an impatient user presses
    // it, must not cost the run its export.
    cli.Signal(SIGINT);
    std::this_thread::sleep_for(50ms);
    cli.Signal(SIGINT);
    ASSERT_EQ(cli.Wait(10s), 0) << readFile(messages);
    const auto rows = exportRows(readFile(out));
    ASSERT_GE(rows.size(), 2u) << readFile(messages);
    expectWellFormedRows(rows);
    EXPECT_NE(readFile(messages).find("stopped on request"), std::string::npos)
        << readFile(messages);
}

// Killed outright, the recorder leaves a journal from which the run comes
// back, short of at most its last second; --runs lists it as unfinished.
// The journal's promise: what was recorded more than a second ago is on
// disk, so kill -9 costs at most the last second. Waiting for the journal to
// hold what the recorder reported (however long a loaded machine takes)
// and killing it then, every reported record must come back.
TEST(CliProgram, AKilledRecordingIsRecoveredFromItsJournal) {
    test::tCliDir dir;
    const std::string messages = dir.File("messages.txt");
    tCliProcess cli({"--config", dir.Config(), "--simulate"}, messages);
    ASSERT_TRUE(cli.Started());
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (readFile(messages).find("3 s, ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    // The last progress line seen: this many records at least.
    const std::string before = readFile(messages);
    const std::size_t at = before.rfind(" s, ");
    ASSERT_NE(at, std::string::npos) << before;
    const std::size_t reported = std::stoul(before.substr(at + 4));
    const auto journaled = [&] {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(dir.File("data"), ec)) {
            if (entry.path().extension() == ".journal") {
                try {
                    return readJournal(entry.path().string()).readings.size();
                } catch (const std::exception&) {
                    return std::size_t{0};  // the header may still be on its way
                }
            }
        }
        return std::size_t{0};
    };
    while (journaled() < reported && std::chrono::steady_clock::now() < deadline + 10s) {
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_GE(journaled(), reported) << "the journal never caught up with the run";
    cli.Signal(SIGKILL);
    cli.Wait(5s);

    const std::string listing = dir.File("runs.txt");
    tCliProcess runs({"--config", dir.Config(), "--runs"}, messages, listing);
    ASSERT_EQ(runs.Wait(10s), 0);
    EXPECT_NE(readFile(listing).find("\tunfinished\t"), std::string::npos) << readFile(listing);

    const std::string out = dir.File("recovered.csv");
    tCliProcess recover({"--config", dir.Config(), "--recover", "--export", out}, messages);
    ASSERT_EQ(recover.Wait(10s), 0) << readFile(messages);
    const auto rows = exportRows(readFile(out));
    EXPECT_GE(rows.size() - 1, reported) << readFile(messages);
    expectWellFormedRows(rows);

    tCliProcess none(
        {"--config", dir.Config(), "--recover", dir.File("no.journal"), "--export", out}, messages);
    EXPECT_EQ(none.Wait(10s), 6);
}

}  // namespace
}  // namespace vantrel
