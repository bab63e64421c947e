// Overnight runs with a loose cable: the recorder waits for the station on
// the same port and goes on with the same run.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "cli/CliCommands.h"
#include "cli/CliTestSupport.h"
#include "cli/Recorder.h"
#include "journal/Journal.h"
#include "sim/Simulator.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using test::exportNumber;
using test::exportRows;
using test::readFile;
namespace fs = std::filesystem;

sim::tOptions quick() {
    sim::tOptions options;
    options.timeScale = 5;
    options.noise = false;
    return options;
}

// The port as the program knows it: a fixed name that the station behind
// it can change, as a USB adapter plugged in again gets the same name.
class ReconnectTest : public ::testing::Test {
protected:
    void Plug(sim::tSimulator& station) {
        std::error_code ignored;
        fs::remove(port, ignored);
        fs::create_symlink(station.PortPath(), port);
    }
    int Run(std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream messages;
        const int status = runRecorder(args, dir.Program(), out, messages, &interrupts);
        this->messages = messages.str();
        return status;
    }

    test::tCliDir dir;
    std::string port = dir.File("ttyStation");
    std::atomic<int> interrupts{0};
    std::string messages;
};

TEST_F(ReconnectTest, TheRunGoesOnWhenTheStationComesBackInTime) {
    sim::tSimulator first(quick());
    first.Start();
    Plug(first);
    sim::tSimulator second(quick());
    std::thread cable([&] {
        while (first.SentRecords().size() < 8) {
            std::this_thread::sleep_for(10ms);
        }
        first.HangUp();
        std::this_thread::sleep_for(1500ms);
        second.Start();
        Plug(second);
    });
    const std::string out = dir.File("night.csv");
    const int status =
        Run({"--port", port, "--reconnect", "20", "--records", "30", "--export", out});
    cable.join();
    EXPECT_EQ(status, kExitDone) << messages;
    const auto rows = exportRows(readFile(out));
    ASSERT_EQ(rows.size(), 31u) << messages;
    double previous = -1;
    for (std::size_t k = 1; k < rows.size(); ++k) {
        double t = 0;
        ASSERT_TRUE(exportNumber(rows[k][0], 3, t));
        EXPECT_GT(t, previous) << "the time axis goes on after the gap, line " << k + 1;
        previous = t;
    }
    // One journal holds the run across the gap, each record once (it keeps
    // what arrived after the 30th as well).
    const auto journals = listJournals(dir.File("data/vantrel/runs"));
    ASSERT_EQ(journals.size(), 1u);
    EXPECT_TRUE(journals[0].finished);
    const tJournalRun run = readJournal(journals[0].fileName);
    EXPECT_GE(run.readings.size(), 30u);
    EXPECT_LE(run.readings.size(), first.SentRecords().size() + second.SentRecords().size());
    for (std::size_t k = 1; k < run.readings.size(); ++k) {
        EXPECT_GT(run.readings[k].time, run.readings[k - 1].time) << k;
    }
    EXPECT_GE(first.SentRecords().size(), 8u);
    EXPECT_GT(second.SentRecords().size(), 0u);
}

TEST_F(ReconnectTest, AStationThatStaysAwayEndsTheRunAsALostLink) {
    sim::tSimulator station(quick());
    station.Start();
    Plug(station);
    std::thread cable([&] {
        while (station.SentRecords().size() < 5) {
            std::this_thread::sleep_for(10ms);
        }
        station.HangUp();
    });
    const auto start = std::chrono::steady_clock::now();
    const std::string out = dir.File("lost.csv");
    EXPECT_EQ(Run({"--port", port, "--reconnect", "2", "--export", out}), kExitLinkLost)
        << messages;
    cable.join();
    // The run must not wait for a station that never comes back; the bound
    // is loose because a loaded CI machine stretches the 2 s wait and the
    // search around it several times over.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 40s);
    EXPECT_GE(exportRows(readFile(out)).size(), 6u);
}

}  // namespace
}  // namespace vantrel
