// The experiment's state machine driven by the real interpreter: the values
// it hands over, the transitions it takes, and how script faults reach it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Error.h"
#include "experiment/Experiment.h"
#include "script/ScriptProgramInterface.h"
#include "support/CaptureLog.h"

namespace vantrel {
namespace {

constexpr const char* kTitration = R"(unit Titration;
var Calls: Integer;
function NewState(State: Integer; LT, LP, LC, LE, V1, V2, V3, dLT, dLP, dLC, dLE, dV1, dV2,
  dV3: Real; Spare1, Spare2: Variant): Integer;
begin
  Inc(Calls);
  Result := State;
  case State of
    0: if LT > 40 then Result := 1;
    1: if (LP >= 7) and (dV3 = 0) and (Spare1 = 0) then Result := 2;
    2: Result := Round(LC / (LT - 50));
  end;
end;
end.)";

tScenarioModel threeStates() {
    tScenarioModel model;
    model.name = "Titration";
    model.startState = 0;
    model.finalStates = {3};
    for (int k = 0; k < 4; ++k) {
        model.states.push_back(
            std::make_unique<tState>(k, "S" + std::to_string(k), std::vector<std::string>{}));
    }
    return model;
}

std::vector<float> readings(float lt, float lp, float lc = 0) {
    std::vector<float> values(14, 0.0f);
    values[0] = lt;
    values[1] = lp;
    values[2] = lc;
    return values;
}

TEST(ExperimentScriptTest, TheInterpreterDrivesTheStates) {
    test::tCaptureLog log;
    tExperiment experiment;
    experiment.Load(threeStates(), makeScriptProgram(), kTitration);
    ASSERT_EQ(experiment.Start()->Number(), 0);
    EXPECT_FALSE(experiment.Update(readings(25.5f, 3)));
    EXPECT_TRUE(experiment.Update(readings(40.5f, 3)));
    EXPECT_EQ(experiment.GetCurrentState()->Number(), 1);
    EXPECT_FALSE(experiment.Update(readings(41, 6.9f)));
    EXPECT_TRUE(experiment.Update(readings(41, 7.2f)));
    EXPECT_EQ(experiment.GetCurrentState()->Number(), 2);
    // 1.5 / 0.5 rounds to 3, the final state.
    EXPECT_TRUE(experiment.Update(readings(50.5f, 7, 1.5f)));
    EXPECT_FALSE(experiment.Update(readings(50.5f, 7, 1.5f)));
    EXPECT_EQ(experiment.GetStatus(), esFinished);
    EXPECT_FALSE(experiment.Failed());
}

TEST(ExperimentScriptTest, ScriptFaultsAreLoggedAndStopTheRun) {
    test::tCaptureLog log;
    tExperiment experiment;
    EXPECT_THROW(experiment.Load(threeStates(), makeScriptProgram(), "unit Broken; begin"), tError);
    EXPECT_TRUE(log.Contains("Broken(1:19): 'end' expected but end of file found"));
    EXPECT_EQ(experiment.GetStatus(), esEmpty);

    experiment.Load(threeStates(), makeScriptProgram(), kTitration);
    experiment.Start();
    experiment.Update(readings(45, 7));
    experiment.Update(readings(45, 7));
    ASSERT_EQ(experiment.GetCurrentState()->Number(), 2);
    // LT = 50: the state function divides by zero.
    EXPECT_THROW(experiment.Update(readings(50, 7, 1)), tError);
    EXPECT_TRUE(log.Contains("Titration.NewState(11:27): division by zero"));
    EXPECT_TRUE(experiment.Failed());
    EXPECT_FALSE(experiment.Update(readings(45, 7)));
}

}  // namespace
}  // namespace vantrel
