// The recorder's equivalence line: after a titration on the simulator, and
// after the replay of a recorded one.

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "cli/Recorder.h"
#include "sim/Simulator.h"

namespace vantrel {
namespace {

using test::writeBytes;

const std::string kExamples = std::string(VANTREL_SOURCE_DIR) + "/examples/";

class EquivalenceCliTest : public ::testing::Test {
protected:
    int Run(const std::vector<std::string>& args) {
        std::ostringstream out;
        std::ostringstream messages;
        const int status = runRecorder(args, dir.Program(), out, messages, &interrupts);
        output = out.str();
        this->messages = messages.str();
        return status;
    }
    // The volume and pH of the equivalence line that ends the output.
    bool Equivalence(double& volume, double& pH) const {
        static const std::regex line(
            R"((?:^|\n)equivalence\tV=(-?\d+\.\d{3})\tpH=(\d+\.\d{3})\n$)");
        std::smatch match;
        if (!std::regex_search(output, match, line)) {
            return false;
        }
        volume = std::stod(match[1]);
        pH = std::stod(match[2]);
        return true;
    }

    test::tCliDir dir;
    std::atomic<int> interrupts{0};
    std::string output;
    std::string messages;
};

// The simulator's vessel neutralises at 5.0 ml of base; its electrode lags
// behind the stirred vessel, so the jump it reports comes a little later.
TEST_F(EquivalenceCliTest, TitrationOnTheSimulatorAndTheReplayOfItsExportAgree) {
    sim::tOptions options;
    options.timeScale = 40;
    sim::tSimulator station(options);
    station.Start();
    const std::string run = dir.File("titration.csv");
    ASSERT_EQ(Run({"--port", station.SlavePath(), "--scenario", kExamples + "titration.exp",
                   "--export", run, "--equivalence", "V1"}),
              kExitDone)
        << messages;
    double volume = 0;
    double pH = 0;
    ASSERT_TRUE(Equivalence(volume, pH)) << output;
    RecordProperty("recorded", output);
    EXPECT_EQ(output.find('\n'), output.size() - 1) << "one line only: " << output;
    EXPECT_GT(volume, 4.95);
    EXPECT_LT(volume, 5.6);
    EXPECT_GT(pH, 4.0);
    EXPECT_LT(pH, 10.0);

    // The export keeps two decimals: the same point within that.
    ASSERT_EQ(Run({"--replay", run, "--equivalence", "V1"}), kExitDone) << messages;
    double replayed = 0;
    ASSERT_TRUE(Equivalence(replayed, pH)) << output;
    RecordProperty("replayed", output);
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
    EXPECT_NEAR(replayed, volume, 0.05);

    // Nothing dosed: no jump.
    ASSERT_EQ(Run({"--port", station.SlavePath(), "--records", "20", "--equivalence", "V1"}),
              kExitDone)
        << messages;
    EXPECT_EQ(output, "equivalence\tnone\n");
}

TEST_F(EquivalenceCliTest, ReplayOfARecordedLessonEndsWithItsEquivalence) {
    const std::vector<std::string> replay = {"--scenario", kExamples + "titration.exp", "--replay",
                                             kExamples + "titration-lesson.csv"};
    ASSERT_EQ(Run(replay), kExitDone) << messages;
    const std::string transitions = output;
    ASSERT_NE(transitions.find("finished\t"), std::string::npos) << transitions;

    std::vector<std::string> args = replay;
    args.insert(args.end(), {"--equivalence", "V1"});
    ASSERT_EQ(Run(args), kExitDone) << messages;
    EXPECT_EQ(output.substr(0, transitions.size()), transitions);
    double volume = 0;
    double pH = 0;
    ASSERT_TRUE(Equivalence(volume, pH)) << output;
    // The lesson's pH leaps from 4.60 to 8.95 between 5.32 and 5.34 ml.
    EXPECT_GT(volume, 5.31);
    EXPECT_LT(volume, 5.35);
    EXPECT_GT(pH, 4.6);
    EXPECT_LT(pH, 8.95);

    // The lesson dosed nothing with pump 2.
    ASSERT_EQ(Run({"--replay", kExamples + "titration-lesson.csv", "--equivalence", "v2"}),
              kExitDone)
        << messages;
    EXPECT_EQ(output, "equivalence\tnone\n");

    // A run without the columns needed reads them as 0 and says so.
    writeBytes(dir.File("warm.csv"), "t\tТемпература\r\n0.000\t20.00\r\n0.200\t21.00\r\n");
    ASSERT_EQ(Run({"--replay", dir.File("warm.csv"), "--equivalence", "V3"}), kExitDone);
    EXPECT_EQ(output, "equivalence\tnone\n");
    EXPECT_NE(messages.find("no column 'pH'"), std::string::npos) << messages;
}

}  // namespace
}  // namespace vantrel
