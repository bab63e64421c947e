#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/CommandLine.h"
#include "base/Error.h"
#include "base/Locale.h"
#include "experiment/Experiment.h"
#include "experiment/FakeProgram.h"
#include "session/MainFM.h"
#include "session/SessionTestSupport.h"
#include "support/TestView.h"

namespace vantrel::test {
namespace {

const std::string kExample =
    "LT:25.5\tLP:7.02\tLC:1.25\tLE:0.215\tV1:100\tV2:0\tV3:0\t"
    "H0:1,128\tM0:1,-40\tD1:0,0\tD2:0,0\tD3:0,0\tTT:1200";

std::string record(float lt, int tt) {
    return "LT:" + std::to_string(lt) +
           "\tLP:7\tLC:1\tLE:0.1\tV1:10\tV2:20\tV3:30\t"
           "H0:0,0\tM0:0,0\tD1:0,0\tD2:0,0\tD3:0,0\tTT:" +
           std::to_string(tt);
}

// A controller without a station: records go straight into decodePacket.
class DecodeTest : public ::testing::Test {
protected:
    void SetUp() override { Make(""); }
    void Make(const std::string& extra) {
        fm.reset();
        config.Write("", extra);
        fm = std::make_unique<TfmMain>(view, config.Path(), &sink);
    }

    tMemoryLog log;
    tTempConfig config;
    tTestView view;
    tChartCallLog sink;
    std::unique_ptr<TfmMain> fm;
};

TEST_F(DecodeTest, ExampleRecordBecomesReadingsActuatorsAndOneBatch) {
    fm->decodePacket(kExample + "\r\n");

    ASSERT_EQ(sink.sets.size(), 1u);
    const auto& set = sink.sets[0];
    EXPECT_FLOAT_EQ(set.t, 1.2f);
    EXPECT_FLOAT_EQ(set.readings[0], 25.5f);
    EXPECT_FLOAT_EQ(set.readings[1], 7.02f);
    EXPECT_FLOAT_EQ(set.readings[2], 1.25f);
    EXPECT_FLOAT_EQ(set.readings[3], 0.215f);
    EXPECT_NEAR(set.readings[4], 9.34f, 1e-5);
    EXPECT_FLOAT_EQ(set.readings[5], 0.f);
    EXPECT_FLOAT_EQ(set.readings[6], 0.f);
    EXPECT_EQ(sink.batchEnds, std::vector<float>{1.2f});

    EXPECT_EQ(view.frames[0].stateText, "Вкл");
    EXPECT_EQ(view.frames[0].speedText, "128");
    EXPECT_FALSE(view.frames[0].forwardVisible || view.frames[0].backVisible);
    EXPECT_EQ(view.frames[1].stateText, "Вкл");
    EXPECT_EQ(view.frames[1].speedText, "40");
    EXPECT_TRUE(view.frames[1].backVisible);
    EXPECT_FALSE(view.frames[1].forwardVisible);
    EXPECT_EQ(view.frames[2].stateText, "Выкл");
    EXPECT_EQ(view.frames[2].speedText, "0");
}

TEST_F(DecodeTest, RecordWithBlanksOrWithoutSeparatorsIsAccepted) {
    std::string blanks = kExample;
    std::string none;
    for (char& c : blanks) {
        if (c == '\t') {
            c = ' ';
        } else {
            none += c;
        }
    }
    fm->decodePacket(blanks + "\r\n" + none + "\r\n");
    ASSERT_EQ(sink.sets.size(), 2u);
    EXPECT_FLOAT_EQ(sink.sets[1].readings[0], 25.5f);
    EXPECT_FLOAT_EQ(sink.sets[1].t, 1.2f);
}

TEST_F(DecodeTest, MisspeltIdRejectsLineButKeepsHeaterValues) {
    std::string line = kExample;
    line.replace(line.find("M0"), 2, "m0");
    const auto framesBefore = view.frameUpdates;

    fm->decodePacket(line + "\r\n");

    EXPECT_EQ(log.Count("9: STRANGE ANSWER. IGNORED."), 1);
    EXPECT_EQ(fm->Actuators()[0].state, 1);
    EXPECT_EQ(fm->Actuators()[0].speed, 128);
    EXPECT_EQ(fm->Actuators()[1].speed, 0);
    EXPECT_TRUE(sink.sets.empty());
    EXPECT_TRUE(sink.batchEnds.empty());
    EXPECT_EQ(view.frameUpdates, framesBefore);
    EXPECT_EQ(view.frames[0].speedText, "???");
}

TEST_F(DecodeTest, BatchEndsOnceWithTheNewestAcceptedTime) {
    // A record at TT = 0 is plotted but moves nothing.
    fm->decodePacket(record(20, 0) + "\r\n");
    EXPECT_EQ(sink.sets.size(), 1u);
    EXPECT_FLOAT_EQ(sink.sets[0].t, 0.f);
    EXPECT_TRUE(sink.batchEnds.empty());

    sink = {};
    fm->decodePacket(record(20, 1000) + "\r\n" + record(21, 1200) + "\r\n" + "junk\r\n");
    EXPECT_EQ(sink.sets.size(), 2u);
    EXPECT_EQ(sink.batchEnds, std::vector<float>{1.2f});
    EXPECT_EQ(log.Count("0: STRANGE ANSWER. IGNORED."), 1);

    // Empty lines are rejected with -1; bytes after the last line end are not a line.
    sink = {};
    log.Clear();
    fm->decodePacket("\r\n" + record(20, 1300) + "\r\n" + record(21, 1500));
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"-1: STRANGE ANSWER. IGNORED."});
    EXPECT_EQ(sink.sets.size(), 1u);
    EXPECT_EQ(sink.batchEnds, std::vector<float>{1.3f});
}

TEST_F(DecodeTest, StationRestartContinuesTheTimeAxisAfterTheNewestPoint) {
    // 200 ms period: a record 0.1 s late is put in order, a jump back of
    // more than a period is a restart of the station's clock.
    fm->decodePacket(record(20, 10000) + "\r\n" + record(20, 9900) + "\r\n" + record(20, 200) +
                     "\r\n" + record(20, 400) + "\r\n");
    ASSERT_EQ(sink.sets.size(), 4u);
    EXPECT_FLOAT_EQ(sink.sets[1].t, 9.9f);
    EXPECT_FLOAT_EQ(sink.sets[2].t, 10.2f);
    EXPECT_FLOAT_EQ(sink.sets[3].t, 10.4f);
    EXPECT_EQ(sink.batchEnds, std::vector<float>{10.4f});
    EXPECT_EQ(log.Count("STATION CLOCK WENT BACK: times continue after 10.000 s, offset 10.000 s"),
              1);
}

TEST_F(DecodeTest, LogMeasureWritesEveryLineBeforeItsRejection) {
    log.Clear();
    setCommandLine(std::vector<std::string>{"/log_measure"});
    fm->decodePacket(record(20, 100) + "\r\nLT:x\r\n");
    setCommandLine(std::vector<std::string>{});

    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], record(20, 100));
    EXPECT_EQ(lines[1], "LT:x");
    EXPECT_EQ(lines[2], "0: STRANGE ANSWER. IGNORED.");
}

TEST_F(DecodeTest, VolumeCoefficientAcceptsBothSeparatorsWhateverTheLocale) {
    struct tCase {
        const char* text;
        double expected;
        const char* logged;
    };
    const tCase cases[] = {
        {"VolCoeff=0,1\n", 0.1, "Using volume coefficient: 0.10000"},
        {"VolCoeff=0.1\n", 0.1, "Using volume coefficient: 0.10000"},
        {"", static_cast<double>(0.0934f), "Using volume coefficient: 0.09340"},
        {"VolCoeff=\n", static_cast<double>(0.0934f), "Using volume coefficient: 0.09340"},
        {"VolCoeff=abc\n", static_cast<double>(0.0934f), "Using volume coefficient: 0.09340"},
        // Numbers that would export negative or endless volumes are refused.
        {"VolCoeff=-1\n", static_cast<double>(0.0934f), "Using volume coefficient: 0.09340"},
        {"VolCoeff=0\n", static_cast<double>(0.0934f), "Using volume coefficient: 0.09340"},
        {"VolCoeff=1e39\n", static_cast<double>(0.0934f), "Using volume coefficient: 0.09340"},
        {"VolCoeff=nan\n", static_cast<double>(0.0934f), "Using volume coefficient: 0.09340"},
    };
    for (char separator : {'.', ','}) {
        for (const tCase& c : cases) {
            tLocaleFacts facts;
            facts.decimalSeparator = separator;
            setLocaleFacts(facts);
            log.Clear();
            Make(c.text);
            EXPECT_DOUBLE_EQ(fm->VolumeCoefficient(), c.expected) << c.text << separator;
            std::string logged = c.logged;
            if (separator == ',') {
                logged[logged.find('.')] = ',';
            }
            EXPECT_EQ(log.Count(logged), 1) << c.text << separator;
            const std::string value = std::string(c.text).substr(std::string(c.text).find('=') + 1);
            if (value == "-1\n" || value == "0\n" || value == "1e39\n") {
                EXPECT_EQ(log.Count("VolCoeff=" + value.substr(0, value.size() - 1) +
                                    " does not read (a number above 0, up to 1000000), using "
                                    "0.0934"),
                          1)
                    << c.text;
            }
        }
    }
    setLocaleFacts(tLocaleFacts{});

    Make("VolCoeff=0.5\n");
    fm->decodePacket(record(20, 100) + "\r\n");
    ASSERT_EQ(sink.sets.size(), 1u);
    EXPECT_FLOAT_EQ(sink.sets[0].readings[4], 5.f);
    EXPECT_FLOAT_EQ(sink.sets[0].readings[6], 15.f);
}

TEST_F(DecodeTest, OneLanguageHidesTheLanguageMenuOnlyForANonZeroInteger) {
    EXPECT_TRUE(view.languageMenuVisible);
    Make("OneLanguage=abc\n");
    EXPECT_TRUE(view.languageMenuVisible);
    Make("OneLanguage=1\n");
    EXPECT_FALSE(view.languageMenuVisible);
}

TEST_F(DecodeTest, MissingConfigurationFailsConstruction) {
    tTestView other;
    EXPECT_THROW(TfmMain(other, config.Dir() + "/absent.cfg"), tError);
}

TEST_F(DecodeTest, RunningScenarioGetsFourteenValuesInOrder) {
    auto calls = std::make_shared<tFakeProgram::tLog>();
    fm->Experiment().Load(makeScenario("S", 0, {9}, {{"A", {}}}),
                          std::make_unique<tFakeProgram>([](auto&) { return 0; }, calls), "");
    fm->decodePacket(record(20, 100) + "\r\n");
    EXPECT_TRUE(calls->calls.empty());  // loaded, not running: plotted only
    EXPECT_EQ(sink.sets.size(), 1u);

    fm->Experiment().Start();
    fm->decodePacket(record(20, 200) + "\r\n");
    ASSERT_EQ(calls->calls.size(), 1u);
    const auto& args = calls->calls[0];
    ASSERT_EQ(args.size(), 17u);
    EXPECT_EQ(args[0].kind, tScriptArg::tKind::Integer);
    EXPECT_EQ(args[0].value, 0);
    const float expected[7] = {20, 7, 1, 0.1f, 10 * 0.0934f, 20 * 0.0934f, 30 * 0.0934f};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(args[1 + i].kind, tScriptArg::tKind::Real);
        EXPECT_NEAR(args[1 + i].value, expected[i], 1e-5) << i;
        EXPECT_EQ(args[8 + i].value, 0) << "rate " << i;  // nothing a second back yet
    }
    EXPECT_EQ(args[15].kind, tScriptArg::tKind::Empty);
    EXPECT_EQ(args[16].kind, tScriptArg::tKind::Empty);

    // 5 °C in the 1.1 s since the second record, taken per minute.
    fm->decodePacket(record(25, 1300) + "\r\n");
    ASSERT_EQ(calls->calls.size(), 2u);
    EXPECT_NEAR(calls->calls[1][8].value, 300, 1e-3);
    EXPECT_EQ(calls->calls[1][9].value, 0);
}

TEST_F(DecodeTest, ScenarioErrorDoesNotCostTheRestOfThePacket) {
    fm->Experiment().Load(
        makeScenario("S", 0, {9}, {{"A", {}}}),
        std::make_unique<tFakeProgram>([](auto&) -> int { throw tError("script broke"); }), "");
    fm->Experiment().Start();

    try {
        fm->decodePacket(record(20, 100) + "\r\n" + record(21, 200) + "\r\n" + record(22, 300) +
                         "\r\n");
        FAIL() << "the script's error must reach the caller";
    } catch (const tError& e) {
        EXPECT_STREQ(e.what(), "script broke");
    }
    ASSERT_EQ(sink.sets.size(), 3u);
    EXPECT_FLOAT_EQ(sink.sets[2].readings[0], 22.f);
    EXPECT_EQ(sink.batchEnds, std::vector<float>{0.3f});
    EXPECT_EQ(log.Count("script broke"), 1);
    EXPECT_TRUE(fm->Experiment().Failed());

    // The run is dead but readings keep coming without further errors.
    EXPECT_NO_THROW(fm->decodePacket(record(23, 400) + "\r\n"));
    EXPECT_EQ(sink.sets.size(), 4u);
}

}  // namespace
}  // namespace vantrel::test
