#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/Functions.h"
#include "base/Locale.h"
#include "base/Texts.h"
#include "cli/CliCommands.h"
#include "cli/CliTestSupport.h"
#include "cli/Recorder.h"
#include "journal/Journal.h"
#include "run/Quantities.h"
#include "sim/Simulator.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using test::exportNumber;
using test::exportRows;
using test::readFile;

// The volume coefficient when the configuration names none: a
// single-precision constant widened, as the decoding uses it.
const double kVolumeCoefficient = static_cast<double>(0.0934f);

// A station four times faster than real time: a record every 50 ms.
sim::tOptions quickStation() {
    sim::tOptions options;
    options.timeScale = 4.0;
    return options;
}

class RecorderTest : public ::testing::Test {
protected:
    ~RecorderTest() override { setLocaleFacts(tLocaleFacts{}); }

    int Run(std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream messages;
        const int status = runRecorder(args, dir.Program(), out, messages, &stop);
        output = out.str();
        this->messages = messages.str();
        return status;
    }

    // Stops the run (as Ctrl+C does) once the station has sent `records`.
    std::thread StopAfter(sim::tSimulator& station, std::size_t records,
                          std::function<void()> before = nullptr) {
        return std::thread([this, &station, records, before] {
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (station.SentRecords().size() < records &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(10ms);
            }
            if (before) {
                before();
            }
            stop.fetch_add(1);
        });
    }

    test::tCliDir dir;
    std::atomic<int> stop{0};  // interrupts, as Ctrl+C counts them
    std::string output;
    std::string messages;
};

struct tExpected {
    double t;
    std::array<double, kQuantityCount> values;
};

// What the program should make of each record the station sent: V scaled to
// ml, TT in seconds, relative quantities as differences from the first.
std::vector<tExpected> expectedRows(const std::vector<sim::tSentRecord>& sent,
                                    const std::array<bool, kQuantityCount>& relative) {
    std::vector<tExpected> rows;
    std::array<float, kQuantityCount> base{};
    for (std::size_t k = 0; k < sent.size(); ++k) {
        const sim::tSentRecord& r = sent[k];
        std::array<float, kQuantityCount> v = {r.lt,
                                               r.lp,
                                               r.lc,
                                               r.le,
                                               static_cast<float>(r.v1 * kVolumeCoefficient),
                                               static_cast<float>(r.v2 * kVolumeCoefficient),
                                               static_cast<float>(r.v3 * kVolumeCoefficient)};
        tExpected row{static_cast<float>(r.tt * 0.001), {}};
        for (int i = 0; i < kQuantityCount; ++i) {
            if (relative[i]) {
                if (k == 0) {
                    base[i] = v[i];
                }
                v[i] -= base[i];
            }
            row.values[i] = v[i];
        }
        rows.push_back(row);
    }
    return rows;
}

// The export's data rows hold exactly the first `count` records sent, in
// order, with every column in its format.
void expectExportMatches(const std::string& fileName, const std::vector<sim::tSentRecord>& sent,
                         std::size_t count, const std::array<bool, kQuantityCount>& relative) {
    const auto rows = exportRows(readFile(fileName));
    ASSERT_EQ(rows.size(), count + 1) << "header and one line per record";
    ASSERT_EQ(rows[0].size(), 1u + kQuantityCount);
    EXPECT_EQ(rows[0][0], "t");
    ASSERT_GE(sent.size(), count);
    const std::vector<tExpected> expected = expectedRows(sent, relative);
    for (std::size_t k = 0; k < count; ++k) {
        const std::vector<std::string>& row = rows[k + 1];
        ASSERT_EQ(row.size(), 1u + kQuantityCount) << "line " << k + 2;
        double t = 0;
        ASSERT_TRUE(exportNumber(row[0], 3, t)) << row[0];
        EXPECT_NEAR(t, expected[k].t, 0.0006) << "line " << k + 2;
        for (int i = 0; i < kQuantityCount; ++i) {
            double value = 0;
            ASSERT_TRUE(exportNumber(row[1 + i], 2, value)) << row[1 + i];
            // Two decimals, and the single-precision trip through the plot scale.
            const double want = expected[k].values[i];
            EXPECT_NEAR(value, want, 0.0051 + 1e-5 * std::fabs(want))
                << "line " << k + 2 << " column " << i;
        }
    }
}

TEST_F(RecorderTest, ExportsWhatTheStationSent) {
    sim::tSimulator station(quickStation());
    station.Start();
    const std::string out = dir.File("out.csv");
    const int status = Run({"--config", dir.Config(), "--port", station.PortPath(), "--records",
                            "6", "--relative", "LE,V2", "--export", out});
    ASSERT_EQ(status, kExitDone) << messages;
    std::array<bool, kQuantityCount> relative{};
    relative[qLE] = relative[qV2] = true;
    expectExportMatches(out, station.SentRecords(), 6, relative);
    EXPECT_NE(messages.find("stopped after 6 records"), std::string::npos) << messages;
    EXPECT_NE(messages.find("exported to " + out), std::string::npos) << messages;
    // The period the station was told: the default, and nothing else.
    const std::vector<std::string> commands = station.ReceivedLines();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "F200"), 1) << messages;
}

TEST_F(RecorderTest, SetsThePeriodAndStopsOnRequestOrAfterTheDuration) {
    {
        sim::tSimulator station(quickStation());
        station.Start();
        const std::string out = dir.File("stopped.csv");
        std::thread stopper = StopAfter(station, 3);
        const int status = Run({"--port", station.PortPath(), "--period", "400", "--export", out});
        stopper.join();
        ASSERT_EQ(status, kExitDone) << messages;
        EXPECT_EQ(station.PeriodMs(), 400) << messages;
        const auto rows = exportRows(readFile(out));
        ASSERT_GE(rows.size(), 4u) << messages;
        expectExportMatches(out, station.SentRecords(), rows.size() - 1, {});
        EXPECT_NE(messages.find("stopped on request"), std::string::npos) << messages;
    }
    {
        stop.store(false);
        sim::tSimulator station(quickStation());
        station.Start();
        const auto started = std::chrono::steady_clock::now();
        const int status =
            Run({"--port", station.PortPath(), "--duration", "0.5", "--records", "1000"});
        const auto took = std::chrono::steady_clock::now() - started;
        ASSERT_EQ(status, kExitDone) << messages;
        EXPECT_NE(messages.find("stopped after 0.5 s"), std::string::npos) << messages;
        EXPECT_LT(took, 5s);
    }
}

TEST_F(RecorderTest, LinkLostMidRunKeepsWhatArrived) {
    sim::tOptions options = quickStation();
    options.faults.hangUpAfterRecords = 5;
    sim::tSimulator station(options);
    station.Start();
    const std::string out = dir.File("lost.csv");
    const int status = Run({"--port", station.PortPath(), "--records", "100", "--export", out});
    EXPECT_EQ(status, kExitLinkLost) << messages;
    EXPECT_NE(messages.find("link to the station was lost"), std::string::npos) << messages;
    ASSERT_EQ(station.SentRecords().size(), 5u);
    expectExportMatches(out, station.SentRecords(), 5, {});
}

TEST_F(RecorderTest, NoStationIsItsOwnExitStatus) {
    EXPECT_EQ(Run({"--port", "/nonexistent/port", "--export", dir.File("none.csv")}),
              kExitNoStation);
    EXPECT_NE(messages.find("no station found on /nonexistent/port"), std::string::npos)
        << messages;
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.csv")));

    // A port that is there but never answers as the station.
    sim::tOptions options;
    options.faults.ignoreIdentify = true;
    sim::tSimulator mute(options);
    mute.Start();
    EXPECT_EQ(Run({"--port", mute.PortPath()}), kExitNoStation) << messages;

    // Blank entries of the configured list are no port names.
    std::ofstream(dir.Config(), std::ios::app) << "Ports=;;;/nonexistent/listed;;\n";
    EXPECT_EQ(Run({}), kExitNoStation);
    EXPECT_NE(messages.find("no station found on /nonexistent/listed\n"), std::string::npos)
        << messages;
}

// An interrupt during a long search for the station ends it at once
// instead of after every attempt on every port.
TEST_F(RecorderTest, InterruptCancelsTheSearchForTheStation) {
    sim::tOptions options;
    options.faults.ignoreIdentify = true;
    sim::tSimulator mute(options);
    mute.Start();
    std::ofstream(dir.Config(), std::ios::app) << "CheckTimeout=5000\nCheckCount=5\n";
    std::thread interrupter([this] {
        std::this_thread::sleep_for(300ms);
        stop.fetch_add(1);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run({"--port", mute.PortPath()}), kExitInterrupted) << messages;
    interrupter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_NE(messages.find("interrupted while looking for the station"), std::string::npos)
        << messages;
}

TEST_F(RecorderTest, UsageAndConfigurationErrorsStopBeforeConnecting) {
    EXPECT_EQ(Run({"--records", "0"}), kExitUsage);
    EXPECT_NE(messages.find("--records"), std::string::npos) << messages;
    EXPECT_NE(messages.find("--help"), std::string::npos) << messages;

    EXPECT_EQ(Run({"--config", dir.File("missing.cfg"), "--port", "/nonexistent"}), kExitUsage);
    EXPECT_NE(messages.find("missing.cfg"), std::string::npos) << messages;

    EXPECT_EQ(Run({"--port", "/nonexistent", "--export", dir.File("no/such/folder/x.csv")}),
              kExitUsage);
    EXPECT_NE(messages.find("does not exist"), std::string::npos) << messages;

    EXPECT_EQ(Run({"--help"}), kExitDone);
    EXPECT_EQ(output, kCliUsage);
}

TEST_F(RecorderTest, ConfigurationAndLogBesideTheProgram) {
    // No --config: the file beside the program is used (it names the port).
    std::ofstream(dir.Config(), std::ios::app) << "Ports=/nonexistent/from-config\n";
    EXPECT_EQ(Run({"-LOG"}), kExitNoStation) << messages;
    EXPECT_NE(messages.find("/nonexistent/from-config"), std::string::npos) << messages;
    const std::string log = readFile(dir.File("vantrel-cli.log"));
    const std::size_t start = log.find(messageText(5000));
    const std::size_t end = log.find(messageText(5001) + "\r\n\r\n");
    EXPECT_NE(start, std::string::npos) << log;
    EXPECT_NE(end, std::string::npos) << log;
    EXPECT_LT(start, end);

    // Without the switch the log is not touched.
    std::filesystem::remove(dir.File("vantrel-cli.log"));
    EXPECT_EQ(Run({}), kExitNoStation) << messages;
    EXPECT_FALSE(std::filesystem::exists(dir.File("vantrel-cli.log")));
}

// The export's folder vanishes during the run (a USB stick pulled): the run
// is not lost but written to a file in the user's home folder, and said so.
TEST_F(RecorderTest, AnExportThatCannotBeWrittenGoesToAFallbackFile) {
    sim::tSimulator station(quickStation());
    station.Start();
    const std::string folder = dir.File("gone");
    const std::string home = dir.File("home");
    std::filesystem::create_directory(folder);
    std::filesystem::create_directory(home);
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome != nullptr ? oldHome : "";
    ::setenv("HOME", home.c_str(), 1);
    std::thread stopper = StopAfter(station, 2, [&folder] { std::filesystem::remove_all(folder); });
    const int status = Run({"--port", station.PortPath(), "--export", folder + "/run.csv"});
    stopper.join();
    ::setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(status, kExitExportFailed) << messages;
    EXPECT_NE(messages.find("export failed"), std::string::npos) << messages;
    EXPECT_EQ(messages.find("exported to"), std::string::npos) << messages;
    std::vector<std::filesystem::path> written;
    for (const auto& entry : std::filesystem::directory_iterator(home)) {
        written.push_back(entry.path());
    }
    ASSERT_EQ(written.size(), 1u) << messages;
    EXPECT_NE(messages.find("the run was written to " + written[0].string()), std::string::npos)
        << messages;
    EXPECT_GE(exportRows(readFile(written[0].string())).size(), 3u);
}

// A folder that cannot take the file is found before the run, not after it.
TEST_F(RecorderTest, FullOrReadOnlyExportFolderIsRefusedBeforeConnecting) {
    // A full file system: no room for a few kilobytes.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int full = Run({"--port", "/nonexistent/port", "--export", dir.File("full.csv")});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(full, kExitUsage) << messages;
    EXPECT_NE(messages.find("cannot be written"), std::string::npos) << messages;

    const std::string folder = dir.File("readonly");
    std::filesystem::create_directory(folder);
    bool mounted = false;
    if (::geteuid() == 0) {
        // Permissions do not stop root: a read-only bind of the folder does.
        mounted = ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                  ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                          nullptr) == 0;
        if (!mounted) {
            ::umount(folder.c_str());
            GTEST_SKIP() << "no read-only bind mount here";
        }
    } else {
        std::filesystem::permissions(
            folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    const int status = Run({"--port", "/nonexistent/port", "--export", folder + "/run.csv"});
    if (mounted) {
        ::umount(folder.c_str());
    }
    EXPECT_EQ(status, kExitUsage) << messages;
    EXPECT_NE(messages.find("cannot be written"), std::string::npos) << messages;
    EXPECT_EQ(messages.find("looking for the station"), std::string::npos) << messages;
}

// ---------------------------------------------------------------- faults end to end

// A scenario of three states: the stirrer on, after four readings a longer
// period, after twenty the stirrer off and the end.
std::string writeFaultScenario(const test::tCliDir& dir) {
    test::writeBytes(dir.File("faults.exp"),
                     "[General]\nName=Faults\nStartState=0\nFinalState=2\nStateCount=3\n"
                     "[State0]\nName=Mix\nActionCount=1\nAction0=M0,1,10\n"
                     "[State1]\nName=Fast\nActionCount=1\nAction0=F400\n"
                     "[State2]\nName=Off\nActionCount=1\nAction0=M0,0\n");
    test::writeBytes(dir.File("faults.tra"),
                     "unit Faults;\nvar N: Integer;\n"
                     "function NewState(State: Integer; LT, LP: Real): Integer;\nbegin\n"
                     "  Inc(N);\n  Result := State;\n"
                     "  if (State = 0) and (N >= 4) then Result := 1;\n"
                     "  if (State = 1) and (N >= 20) then Result := 2;\nend;\nend.\n");
    return dir.File("faults.exp");
}

struct tFaultCase {
    const char* name;
    std::function<void(sim::tFaults&)> faults;
    bool scenario;
    bool hangUpOnIdentify;  // the cable goes during or just after the identification
    const char* limit;      // --records N or --duration S, as "records 10"
    int status;
    const char* message;
    bool sentAllRead;  // every record sent reached the run (no stop in flight)
};

// Each fault of the station, run through the recorder: the exit status, the
// message, and every record the station sent in the journal exactly once,
// in order, the export holding what the run kept.
TEST_F(RecorderTest, FaultMatrix) {
    using F = sim::tFaults;
    const std::vector<tFaultCase> cases = {
        // Before its reply (which comes late) and just after it.
        {"hang-up while identifying", [](F& f) { f.replyDelayMs = 100; }, false, true, "records 5",
         kExitNoStation, "no station found", false},
        {"hang-up after identifying", [](F&) {}, false, true, "records 5", kExitLinkLost,
         "link to the station was lost", true},
        {"hang-up while measuring", [](F& f) { f.hangUpAfterRecords = 5; }, false, false,
         "records 100", kExitLinkLost, "link to the station was lost", true},
        {"hang-up in a scenario", [](F& f) { f.hangUpAfterRecords = 8; }, true, false,
         "records 100", kExitLinkLost, "link to the station was lost", true},
        {"silence", [](F& f) { f.silent = true; }, false, false, "duration 0.6", kExitLinkLost,
         "no state record arrived: the station was silent", true},
        {"every line garbled", [](F& f) { f.garbageEvery = 1; }, false, false, "duration 0.6",
         kExitLinkLost, "lines were not state records", false},
        {"slow identification", [](F& f) { f.replyDelayMs = 60; }, false, false, "records 6",
         kExitDone, "stopped after 6 records", false},
        {"garbage among records", [](F& f) { f.garbageEvery = 3; }, false, false, "records 10",
         kExitDone, "stopped after 10 records", false},
        {"split records",
         [](F& f) {
             f.splitRecords = true;
             f.splitPauseMs = 3;
         },
         false, false, "records 10", kExitDone, "stopped after 10 records", false},
        {"period change", [](F&) {}, true, false, "records 1000", kExitDone, "acquisition ended",
         false},
    };
    for (const tFaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::tCliDir run;  // its own journal folder
        sim::tOptions options = quickStation();
        options.noise = false;
        c.faults(options.faults);
        sim::tSimulator station(options);
        station.Start();
        std::thread cable;
        if (c.hangUpOnIdentify) {
            // After identifying: once the state query that follows it came,
            // so the station's reply was read even on a machine too busy to
            // answer at once.
            const std::string cue = c.status == kExitNoStation ? "I" : "?";
            cable = std::thread([&station, cue] {
                for (int i = 0; i < 300; ++i) {
                    const auto lines = station.ReceivedLines();
                    if (std::find(lines.begin(), lines.end(), cue) != lines.end()) {
                        break;
                    }
                    std::this_thread::sleep_for(5ms);
                }
                station.HangUp();
            });
        }
        const std::string limit = c.limit;
        const std::string out = run.File("run.csv");
        std::vector<std::string> args = {"--config",
                                         run.Config(),
                                         "--port",
                                         station.PortPath(),
                                         "--" + limit.substr(0, limit.find(' ')),
                                         limit.substr(limit.find(' ') + 1),
                                         "--export",
                                         out};
        if (c.scenario) {
            args.insert(args.end(), {"--scenario", writeFaultScenario(run)});
        }
        std::ostringstream ignored;
        std::ostringstream said;
        const int status = runRecorder(args, run.Program(), ignored, said, &stop);
        if (cable.joinable()) {
            cable.join();
        }
        const std::string text = said.str();
        EXPECT_EQ(status, c.status) << text;
        EXPECT_NE(text.find(c.message), std::string::npos) << text;

        const auto journals = listJournals(run.File("data/vantrel/runs"));
        if (c.status == kExitNoStation) {
            EXPECT_TRUE(journals.empty());
            EXPECT_FALSE(std::filesystem::exists(out));
            continue;
        }
        ASSERT_EQ(journals.size(), 1u) << text;
        const tJournalRun journal = readJournal(journals[0].fileName);
        EXPECT_TRUE(journal.finished);
        const std::vector<sim::tSentRecord> sent = station.SentRecords();
        ASSERT_LE(journal.readings.size(), sent.size());
        if (c.sentAllRead) {
            EXPECT_EQ(journal.readings.size(), sent.size());
        }
        for (std::size_t k = 0; k < journal.readings.size(); ++k) {
            ASSERT_NEAR(journal.readings[k].time, sent[k].tt * 0.001, 0.0006) << "reading " << k;
            ASSERT_FLOAT_EQ(journal.readings[k].readings[qLT], sent[k].lt) << "reading " << k;
        }
        const std::size_t exported = exportRows(readFile(out)).size() - 1;
        EXPECT_LE(exported, journal.readings.size());
        expectExportMatches(out, sent, exported, {});
        if (c.scenario) {
            EXPECT_FALSE(journal.transitions.empty());
        }
        if (std::string(c.name) == "period change") {
            EXPECT_EQ(station.PeriodMs(), 400);
            ASSERT_EQ(journal.transitions.size(), 2u);
            EXPECT_EQ(journal.transitions.back().name, "Off");
        }
    }
}

// A configuration far too large (a sparse file of 3 GB) is refused, not
// read into memory.
TEST_F(RecorderTest, AHugeConfigurationIsRefused) {
    const std::string huge = dir.File("huge.cfg");
    std::ofstream(huge) << "Timeout=10\n";
    std::filesystem::resize_file(huge, 3ull << 30);
    EXPECT_EQ(Run({"--config", huge, "--port", dir.File("none")}), kExitUsage);
    EXPECT_NE(messages.find("huge.cfg"), std::string::npos) << messages;
    EXPECT_EQ(std::filesystem::file_size(huge), 3ull << 30) << "left as it was";
}

}  // namespace
}  // namespace vantrel
