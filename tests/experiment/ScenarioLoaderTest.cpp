// Scenario files as teachers write them: the loader's rules, its messages,
// and files written on Windows in either encoding.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/Encoding.h"
#include "base/Error.h"
#include "experiment/Experiment.h"
#include "support/CaptureLog.h"
#include "support/TempDir.h"

namespace vantrel::test {
namespace {

const std::string kScript =
    "unit Stay;\nfunction NewState(State: Integer): Integer;\nbegin\n  Result := State;\nend;\n"
    "end.\n";

class ScenarioLoaderTest : public ::testing::Test {
protected:
    // Writes name.exp (and name.tra unless `script` is null); returns the .exp path.
    std::string Write(const std::string& exp, const char* script = kScript.c_str(),
                      const std::string& name = "lesson") {
        writeBytes(dir.file(name + ".exp"), exp);
        if (script != nullptr) {
            writeBytes(dir.file(name + ".tra"), script);
        }
        return dir.file(name + ".exp");
    }
    // The load's error message, "" when it loaded.
    std::string Load(const std::string& path) {
        try {
            experiment.Load(path);
            return "";
        } catch (const tError& e) {
            return e.what();
        }
    }

    tCaptureLog log;
    tTempDir dir;
    tExperiment experiment;
};

TEST_F(ScenarioLoaderTest, GeneralSectionRulesAndTheirMessages) {
    struct tCase {
        std::string general;  // lines of [General]
        std::string error;
        std::set<int> finals{};
        int start = 0;
    };
    const std::string name = "Name=Опыт\n";
    const tCase cases[] = {
        {name + "StartState=0\nFinalState=3,4\n", "", {3, 4}, 0},
        {name + "StartState=0\nFinalState=3, 4\n", "", {3, 4}, 0},  // blank before digits
        {name + "StartState=0\nFinalState=4,3,4\n", "", {3, 4}, 0},
        {name + "StartState=0\nFinalState=3,4,\n", "", {3, 4}, 0},  // trailing comma
        {name + "StartState=$A\nFinalState=0x1F\n", "", {31}, 10},
        {name + "StartState=0\nFinalState=3 ,4\n",
         "Invalid final state: \"3 \" in FinalState=\"3 ,4\" is not a number"},
        {name + "StartState=0\nFinalState=3,,4\n",
         "Invalid final state: \"\" in FinalState=\"3,,4\" is not a number"},
        {name + "StartState=0\nFinalState=x\n",
         "Invalid final state: FinalState=\"x\" is not a number"},
        {name + "StartState=0\nFinalState=2,-1\n",
         "Invalid final state: \"-1\" in FinalState=\"2,-1\" names no state"},
        {name + "StartState=0\nFinalState=\n", "Final states can not be empty"},
        {name + "StartState=0\n", "Final states can not be empty"},
        {name + "StartState=-1\nFinalState=1\n",
         "Invalid start state: StartState=\"-1\" names no state"},
        {name + "StartState=1.5\nFinalState=1\n",
         "Invalid start state: StartState=\"1.5\" is not a number"},
        {name + "StartState=0 ;first\nFinalState=1\n",
         "Invalid start state: StartState=\"0 ;first\" is not a number (a comment must stand on a "
         "line of its own)"},
        {name + "FinalState=1\n", "Invalid start state: no StartState in [General]"},
        {"Name=\nStartState=0\nFinalState=1\n", "Invalid experiment name"},
        {"StartState=0\nFinalState=1\n", "Invalid experiment name"},
    };
    for (const tCase& c : cases) {
        EXPECT_EQ(Load(Write("[General]\n" + c.general)), c.error) << c.general;
        if (c.error.empty()) {
            EXPECT_EQ(experiment.GetStatus(), esLoaded);
            EXPECT_EQ(experiment.FinalStates(), c.finals) << c.general;
            EXPECT_EQ(experiment.StartState(), c.start) << c.general;
            EXPECT_TRUE(experiment.States().empty()) << "no StateCount: no states";
        } else {
            EXPECT_EQ(experiment.GetStatus(), esEmpty) << c.general;
        }
    }
    EXPECT_EQ(Load(dir.file("none.exp")), "Invalid experiment name");  // missing reads as empty
}

TEST_F(ScenarioLoaderTest, StatesActionsAndASecondLoadReplacingTheFirst) {
    const std::string general = "[general]\nname=Титрование\nStartState=0\nFinalState=2\n";
    ASSERT_EQ(Load(Write(general + "StateCount=3\n"
                                   "[State0]\nName=Налить\nActionCount=3\nAction0=D1,1,300\n"
                                   "Action2=D1,0\n"
                                   "[STATE1]\nNAME=Ждать\nActionCount=-2\n"
                                   "[State2]\nName=\"Конец\"\nAction0=never read\n")),
              "");
    ASSERT_EQ(experiment.States().size(), 3u);
    EXPECT_EQ(experiment.GetName(), "Титрование");
    EXPECT_EQ(experiment.States()[0]->Actions(),
              (std::vector<std::string>{"D1,1,300", "", "D1,0"}));
    EXPECT_EQ(experiment.States()[1]->Name(), "Ждать");
    EXPECT_TRUE(experiment.States()[1]->Actions().empty());
    EXPECT_EQ(experiment.States()[2]->Name(), "Конец");
    EXPECT_TRUE(experiment.States()[2]->Actions().empty());

    // A state section missing: the load fails and nothing of the first stays.
    EXPECT_EQ(Load(Write(general + "StateCount=3\n[State0]\nName=A\n[State2]\nName=C\n")),
              "Name of state #1 can not be empty");
    // A switch the station would misread is refused at once, named.
    EXPECT_EQ(Load(Write(general + "StateCount=1\n[State0]\nName=Греть\nActionCount=2\n"
                                   "Action0=M0,1,80\nAction1=H0,1\n")),
              "Invalid action of state #0 \"Греть\": [State0] Action1=\"H0,1\": switching on "
              "needs a value (H0,1,100 or H0,0)");
    EXPECT_EQ(experiment.GetStatus(), esEmpty);
    EXPECT_EQ(experiment.Start(), nullptr);
}

TEST_F(ScenarioLoaderTest, ScriptFaultsMissingFileAndCompileError) {
    const std::string exp = "[General]\nName=S\nStartState=0\nFinalState=1\n";
    const std::string missing = Load(Write(exp, nullptr, "alone"));
    EXPECT_NE(missing.find("alone.tra"), std::string::npos) << missing;
    EXPECT_FALSE(experiment.Failed());

    const std::string broken = Load(Write(exp, "unit Broken;\nfunction NewState: Integer;\n"));
    EXPECT_FALSE(broken.empty());
    EXPECT_TRUE(experiment.Failed());
    EXPECT_EQ(experiment.GetStatus(), esEmpty);
    EXPECT_EQ(log.Count(broken), 1) << "the compiler's message is logged as it is";

    EXPECT_EQ(Load(Write(exp)), "");  // a new load clears Failed
    EXPECT_FALSE(experiment.Failed());
}

// Copied from Windows, a scenario keeps the capitals it was saved with; its
// script is found whatever the case of its extension.
TEST_F(ScenarioLoaderTest, ScriptBesideAScenarioNamedInCapitals) {
    writeBytes(dir.file("LESSON.EXP"), "[General]\nName=S\nStartState=0\nFinalState=1\n");
    writeBytes(dir.file("LESSON.TRA"), kScript);
    EXPECT_EQ(Load(dir.file("LESSON.EXP")), "");
    EXPECT_EQ(experiment.GetStatus(), esLoaded);
}

// The same scenario saved by a Windows editor as Windows-1251, as UTF-8 and
// as UTF-8 with a byte-order mark gives the same states, and Cyrillic text
// in the script arrives intact.
TEST_F(ScenarioLoaderTest, Windows1251AndUtf8FilesGiveTheSameScenario) {
    const std::string exp =
        "[General]\nName=Нагрев воды\nStartState=0\nFinalState=1\nStateCount=2\n"
        "[State0]\nName=Нагреть до 40 °C\n[State1]\nName=Готово\n";
    const std::string script =
        "unit Heat;\nfunction NewState(State: Integer): Integer;\nbegin\n"
        "  if Length('Ёж') = 2 then Result := 1 else Result := 0;\nend;\nend.\n";
    std::string expCp1251;
    std::string scriptCp1251;
    ASSERT_TRUE(utf8ToCp1251(exp, expCp1251));
    ASSERT_TRUE(utf8ToCp1251(script, scriptCp1251));
    const std::vector<std::pair<std::string, std::string>> files = {
        {expCp1251, scriptCp1251}, {exp, script}, {"\xEF\xBB\xBF" + exp, "\xEF\xBB\xBF" + script}};
    for (const auto& [expBytes, scriptBytes] : files) {
        ASSERT_EQ(Load(Write(expBytes, scriptBytes.c_str())), "");
        EXPECT_EQ(experiment.GetName(), "Нагрев воды");
        ASSERT_EQ(experiment.States().size(), 2u);
        EXPECT_EQ(experiment.States()[0]->Name(), "Нагреть до 40 °C");
        experiment.Start();
        EXPECT_TRUE(experiment.Update(std::vector<float>(14, 0.f)));
        EXPECT_EQ(experiment.GetCurrentState()->Name(), "Готово");
    }
}

}  // namespace
}  // namespace vantrel::test
