// The recorder with scenarios: running one on the station, checking one at
// home, trying one against a recorded lesson, the shipped examples, and the
// equivalence point of a titration recorded or replayed.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/Encoding.h"
#include "base/Functions.h"
#include "base/Texts.h"
#include "charts/Equivalence.h"
#include "cli/CliCommands.h"
#include "cli/CliTestSupport.h"
#include "cli/Recorder.h"
#include "sim/Simulator.h"

namespace vantrel {
namespace {

using test::exportRows;
using test::readFile;
using test::writeBytes;

const std::string kExamples = std::string(VANTREL_SOURCE_DIR) + "/examples/";

class ScenarioCliTest : public ::testing::Test {
protected:
    int Run(const std::vector<std::string>& args) {
        std::ostringstream out;
        std::ostringstream messages;
        const int status = runRecorder(args, dir.Program(), out, messages, &interrupts);
        output = out.str();
        this->messages = messages.str();
        return status;
    }
    // A scenario of two states whose script is `body` (the statements of
    // NewState, which gets the state and LT, LP).
    std::string Scenario(const std::string& name, const std::string& body) {
        writeBytes(dir.File(name + ".exp"),
                   "[General]\nName=" + name +
                       "\nStartState=0\nFinalState=1\nStateCount=2\n"
                       "[State0]\nName=Начало\nActionCount=1\nAction0=M0,1,10\n"
                       "[State1]\nName=Конец\nActionCount=1\nAction0=M0,0\n");
        writeBytes(dir.File(name + ".tra"),
                   "unit " + name +
                       ";\nvar N: Integer;\nfunction NewState(State: Integer; LT, LP: Real): "
                       "Integer;\nbegin\n  Result := State;\n  Inc(N);\n" +
                       body + "\nend;\nend.\n");
        return dir.File(name + ".exp");
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

// Each example runs to its end on the simulator (a station clock 40 times
// faster than the wall's), and its last state switches off what it used.
struct tExample {
    const char* name;
    const char* lastCommand;
};

class ExampleTest : public ScenarioCliTest, public ::testing::WithParamInterface<tExample> {};

TEST_P(ExampleTest, RunsToItsFinalStateOnTheSimulator) {
    const tExample& example = GetParam();
    sim::tOptions options;
    options.timeScale = 40;
    sim::tSimulator station(options);
    station.Start();
    const std::string out = dir.File(std::string(example.name) + ".csv");
    EXPECT_EQ(Run({"--port", station.PortPath(), "--scenario", kExamples + example.name + ".exp",
                   "--export", out}),
              kExitDone)
        << messages;
    EXPECT_NE(messages.find("acquisition ended"), std::string::npos) << messages;
    const auto received = station.ReceivedLines();
    EXPECT_NE(std::find(received.begin(), received.end(), example.lastCommand), received.end());
    EXPECT_GT(exportRows(readFile(out)).size(), 50u);
    if (std::string(example.name) == "titration") {
        // The pump stops once the pH jump has passed: beyond the 5 ml of
        // base that neutralise the acid, well before the burette runs dry.
        const auto sent = station.SentRecords();
        const double ml = sent.back().v1 * 0.0934;
        EXPECT_GT(ml, 5.0);
        EXPECT_LT(ml, 7.5);
        EXPECT_GT(sent.back().lp, 10.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ExampleTest,
                         ::testing::Values(tExample{"thermostat", "M0,0"},
                                           tExample{"titration", "D1,0"},
                                           tExample{"procedure", "M0,0"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScenarioCliTest, ScenarioThatFailsToLoadOrInAStepIsExitThree) {
    EXPECT_EQ(Run({"--port", "/nonexistent", "--scenario", dir.File("none.exp")}), kExitScenario);
    EXPECT_NE(messages.find("Invalid experiment name"), std::string::npos) << messages;
    EXPECT_EQ(messages.find("looking for the station"), std::string::npos) << messages;

    // A step fails after some readings: the recording up to there is exported.
    sim::tOptions options;
    options.timeScale = 10;
    sim::tSimulator station(options);
    station.Start();
    const std::string out = dir.File("failed.csv");
    EXPECT_EQ(
        Run({"--port", station.PortPath(), "--scenario",
             Scenario("Broken", "  if N > 5 then Result := N div (N - N);"), "--export", out}),
        kExitScenario)
        << messages;
    EXPECT_NE(messages.find("division by zero"), std::string::npos) << messages;
    EXPECT_NE(messages.find("stopped after a failed scenario step"), std::string::npos);
    EXPECT_GE(exportRows(readFile(out)).size(), 6u);
}

TEST_F(ScenarioCliTest, CheckListsTheScenarioOrSaysWhyItDoesNotLoad) {
    EXPECT_EQ(Run({"--check", kExamples + "titration.exp"}), kExitDone) << messages;
    EXPECT_NE(output.find("experiment\tТитрование HCl щёлочью\n"), std::string::npos) << output;
    EXPECT_NE(output.find("final\t3\n"), std::string::npos) << output;
    EXPECT_NE(output.find("state\t3\tГотово\tD1,0 | M0,0\n"), std::string::npos) << output;

    EXPECT_EQ(Run({"--check", Scenario("Typo", "  Result := Stat;")}), kExitScenario);
    EXPECT_NE(messages.find("undeclared identifier 'Stat'"), std::string::npos) << messages;
    EXPECT_TRUE(output.empty());
}

// A number the loader cannot read is named with the text it read, whether
// it stops the load or only leaves the states or actions out.
TEST_F(ScenarioCliTest, CheckNamesTheKeyAndTextOfAValueThatIsNoNumber) {
    const struct {
        std::string general;  // [General] after its Name
        std::string state0;   // [State0] after its Name
        int status;
        std::string message;
    } cases[] = {
        {"StartState=0 ; first\nFinalState=1\n", "", kExitScenario,
         "Invalid start state: StartState=\"0 ; first\" is not a number (a comment must stand "
         "on a line of its own)\n"},
        {"StartState=0\nFinalState=1\nStateCount=two\n", "", kExitDone,
         "warning: StateCount=\"two\" is not a number: no states are read\n"},
        {"StartState=0\nFinalState=1\nStateCount=1\n", "ActionCount=1 ; one\nAction0=M0,0\n",
         kExitDone,
         "warning: [State0] ActionCount=\"1 ; one\" is not a number (a comment must stand on a "
         "line of its own): the state sends nothing\n"},
    };
    for (const auto& c : cases) {
        writeBytes(dir.File("c.exp"), "[General]\nName=C\n" + c.general + "[State0]\nName=A\n" +
                                          c.state0 + "[State1]\nName=B\n");
        writeBytes(dir.File("c.tra"),
                   "unit C;\nfunction NewState(State: Integer): Integer;\nbegin\n"
                   "  Result := State;\nend;\nend.\n");
        EXPECT_EQ(Run({"--check", dir.File("c.exp")}), c.status) << c.general << messages;
        EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
    }
}

// The worked example of the README, copied as it stands, is the shipped one.
TEST_F(ScenarioCliTest, TheReadmeThermostatLoadsAsTheShippedOne) {
    const std::string readme = readFile(std::string(VANTREL_SOURCE_DIR) + "/README.md");
    const std::size_t start = readme.find("```ini\n", readme.find("`thermostat.exp`"));
    ASSERT_NE(start, std::string::npos);
    const std::size_t body = start + 7;
    const std::size_t end = readme.find("```", body);
    ASSERT_NE(end, std::string::npos);
    writeBytes(dir.File("thermostat.exp"), readme.substr(body, end - body));
    writeBytes(dir.File("thermostat.tra"), readFile(kExamples + "thermostat.tra"));

    ASSERT_EQ(Run({"--check", kExamples + "thermostat.exp"}), kExitDone) << messages;
    const std::string shipped = output;
    EXPECT_EQ(Run({"--check", dir.File("thermostat.exp")}), kExitDone) << messages;
    EXPECT_EQ(output, shipped);
    EXPECT_EQ(messages, "");
}

// Fits and areas of an exported run: a heating line known exactly, a
// cooling curve toward the room, a stretch too short for a parabola, a
// quantity the file does not hold.
TEST_F(ScenarioCliTest, ReplayPrintsFitsAndAreasOfTheStretch) {
    std::string text = "t\tТемпература\tpH\r\n";
    for (int t = 0; t <= 200; t += 5) {
        const double cooling = 20 + 60 * std::exp(-t / 50.0);
        text += formatFixed(t, 3) + "\t" + formatFixed(t <= 10 ? 20 + 0.5 * t : cooling, 2) + "\t" +
                formatFixed(cooling, 2) + "\r\n";
    }
    writeBytes(dir.File("run.csv"), text);
    ASSERT_EQ(Run({"--replay", dir.File("run.csv"), "--fit", "LT,linear", "--area", "LT", "--fit",
                   "LT,quadratic", "--from", "0", "--to", "10"}),
              kExitDone)
        << messages;
    EXPECT_EQ(output,
              "fit\tLT\tlinear\ta=20\tb=0.5\tx0=0\tR2=1\n"
              "area\tLT\tt\t225\n"
              "fit\tLT\tquadratic\tnone\ttoo few points\n");

    ASSERT_EQ(
        Run({"--replay", dir.File("run.csv"), "--fit", "lp,exponential", "--fit", "LC,linear"}),
        kExitDone)
        << messages;
    double a = 0;
    double b = 0;
    double c = 0;
    ASSERT_EQ(std::sscanf(output.c_str(), "fit\tLP\texponential\ta=%lf\tb=%lf\tc=%lf", &a, &b, &c),
              3)
        << output;
    EXPECT_NEAR(a, 20, 0.05);
    EXPECT_NEAR(b, 60, 0.1);
    EXPECT_NEAR(c, -1 / 50.0, 1e-4);
    EXPECT_NE(output.find("fit\tLC\tlinear\tnone\tno such column\n"), std::string::npos);
}

// A recorded lesson, with a comma as decimal separator and only some of the
// quantities, tried against scenarios before class.
TEST_F(ScenarioCliTest, ReplayPrintsEveryTransitionOfARecordedRun) {
    writeBytes(dir.File("lesson.csv"),
               "t\tТемпература\tpH\r\n0,000\t20,00\t2,00\r\n0,200\t35,00\t2,10\r\n"
               "0,400\t41,00\t2,20\r\n0,600\t41,00\t2,20\r\n0,800\t41,00\t2,20\r\n");
    EXPECT_EQ(Run({"--scenario", Scenario("Warm", "  if LT > 40 then Result := 1;"), "--replay",
                   dir.File("lesson.csv")}),
              kExitDone)
        << messages;
    EXPECT_EQ(output, "0,400\t0\t1\tM0,0\nfinished\t0,600\n");

    // Past the configured limit the heater's switch-on is refused as on the
    // station: the transition lists what would be sent, the refusal follows.
    std::ofstream(dir.Config(), std::ios::app) << "MaxTemperature=30\n";
    writeBytes(dir.File("Hot.exp"),
               "[General]\nName=Hot\nStartState=0\nFinalState=1\nStateCount=2\n"
               "[State0]\nName=A\nActionCount=0\n"
               "[State1]\nName=B\nActionCount=2\nAction0=H0,1,100\nAction1=M0,0\n");
    writeBytes(dir.File("Hot.tra"),
               "unit Hot;\nfunction NewState(State: Integer; LT: Real): Integer;\nbegin\n"
               "  Result := State;\n  if LT > 40 then Result := 1;\nend;\nend.\n");
    EXPECT_EQ(Run({"--scenario", dir.File("Hot.exp"), "--replay", dir.File("lesson.csv")}),
              kExitDone)
        << messages;
    EXPECT_EQ(output,
              "0,400\t0\t1\tM0,0\n0,400\tSAFETY: REFUSED H0,1,100\t" +
                  formatText(constantText("DK_SAFE_HEATER_REFUSED"), {formatFixed(41, 2), "28"}) +
                  "\nfinished\t0,600\n");

    EXPECT_EQ(Run({"--scenario", Scenario("Fails", "  if LP > 2.05 then Result := 9;"), "--replay",
                   dir.File("lesson.csv")}),
              kExitScenario);
    EXPECT_NE(messages.find("at 0,200: Error while transition from state #0 to state #9."),
              std::string::npos)
        << messages;

    // Replayed into an export: every reading, the marks kept (also where a
    // spreadsheet dropped the empty mark cell at the end of a line).
    writeBytes(dir.File("marked.csv"),
               "t\tТемпература\tМетка\r\n0.000\t20.00\t\r\n0.200\t35.00\t*\r\n0.400\t41.00\r\n");
    EXPECT_EQ(Run({"--replay", dir.File("marked.csv"), "--export", dir.File("again.csv")}),
              kExitDone)
        << messages;
    std::string again;
    decodeWindowsText(readFile(dir.File("again.csv")), again);
    EXPECT_EQ(again,
              "t\tТемпература\tМетка\r\n0.000\t20.00\t\r\n0.200\t35.00\t*\r\n0.400\t41.00\t\r\n");

    writeBytes(dir.File("other.csv"), "Time;Temp\r\n1;2\r\n");
    EXPECT_EQ(Run({"--scenario", Scenario("Any", ""), "--replay", dir.File("other.csv")}),
              kExitUsage);
    EXPECT_NE(messages.find("no export of this program"), std::string::npos) << messages;
}

// The simulator's vessel neutralises at 5.0 ml of base; its electrode lags
// behind the stirred vessel, so the jump it reports comes a little later.
TEST_F(ScenarioCliTest, TitrationOnTheSimulatorAndTheReplayOfItsExportAgree) {
    sim::tOptions options;
    options.timeScale = 40;
    sim::tSimulator station(options);
    station.Start();
    const std::string run = dir.File("titration.csv");
    ASSERT_EQ(Run({"--port", station.PortPath(), "--scenario", kExamples + "titration.exp",
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
    ASSERT_EQ(Run({"--port", station.PortPath(), "--records", "20", "--equivalence", "V1"}),
              kExitDone)
        << messages;
    EXPECT_EQ(output, "equivalence\tnone\n");
}

// The point is where the station's pH jumped, whatever the charts show:
// with pH and volume relative it is the point of the readings as sent.
TEST_F(ScenarioCliTest, EquivalenceOfARelativeRecordingIsInTheStationsUnits) {
    sim::tOptions options;
    options.timeScale = 40;
    sim::tSimulator station(options);
    station.Start();
    ASSERT_EQ(Run({"--port", station.PortPath(), "--scenario", kExamples + "titration.exp",
                   "--relative", "LP,V1", "--equivalence", "V1"}),
              kExitDone)
        << messages;
    double volume = 0;
    double pH = 0;
    ASSERT_TRUE(Equivalence(volume, pH)) << output;

    std::vector<double> sentVolume;
    std::vector<double> sentPH;
    for (const sim::tSentRecord& record : station.SentRecords()) {
        sentVolume.push_back(static_cast<float>(record.v1 * 0.0934f));
        sentPH.push_back(record.lp);
    }
    const std::optional<tEquivalencePoint> sent = findEquivalencePoint(sentVolume, sentPH);
    ASSERT_TRUE(sent.has_value());
    EXPECT_NEAR(volume, sent->volume, 0.01) << output;
    EXPECT_NEAR(pH, sent->pH, 0.01) << output;
}

TEST_F(ScenarioCliTest, ReplayOfARecordedLessonEndsWithItsEquivalence) {
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
