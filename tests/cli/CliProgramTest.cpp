#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliTestSupport.h"
#include "journal/Journal.h"
#include "support/CliProcess.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::exportNumber;
using test::exportRows;
using test::readFile;
using test::tCliProcess;

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
