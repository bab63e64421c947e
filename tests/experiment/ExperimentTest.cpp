#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Error.h"
#include "experiment/Experiment.h"
#include "experiment/FakeProgram.h"
#include "support/CaptureLog.h"

namespace vantrel::test {
namespace {

const std::vector<float> kValues(14, 1.5f);

class ExperimentTest : public ::testing::Test {
protected:
    // States 0 "Start", 1 "Middle", 2 "End"; "NewState" answers `next`.
    void LoadWith(int startState, std::set<int> finals) {
        calls = std::make_shared<tFakeProgram::tLog>();
        experiment.Load(makeScenario("Titration", startState, std::move(finals),
                                     {{"Start", {"H0,1,100"}}, {"Middle", {}}, {"End", {"H0,0"}}}),
                        std::make_unique<tFakeProgram>([this](auto&) { return next; }, calls),
                        "unit Titration;");
    }

    tCaptureLog log;
    tExperiment experiment;
    std::shared_ptr<tFakeProgram::tLog> calls;
    int next = 0;
};

TEST_F(ExperimentTest, RunsFromStartStateToFinishedAndBackToLoaded) {
    EXPECT_EQ(experiment.Start(), nullptr);  // nothing loaded: nothing happens
    EXPECT_EQ(experiment.GetStatus(), esEmpty);

    LoadWith(0, {2});
    EXPECT_EQ(experiment.GetStatus(), esLoaded);
    EXPECT_EQ(calls->source, "unit Titration;");
    EXPECT_EQ(calls->compiles, 1);

    tState* start = experiment.Start();
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->Name(), "Start");
    EXPECT_EQ(experiment.GetStatus(), esRunning);

    next = 0;
    EXPECT_FALSE(experiment.Update(kValues));  // same number: no change
    next = 2;
    EXPECT_TRUE(experiment.Update(kValues));
    EXPECT_EQ(experiment.GetCurrentState()->Name(), "End");
    const auto callsBefore = calls->calls.size();
    EXPECT_FALSE(experiment.Update(kValues));  // in a final state: finished, script not asked
    EXPECT_EQ(experiment.GetStatus(), esFinished);
    EXPECT_EQ(calls->calls.size(), callsBefore);

    experiment.Stop();
    EXPECT_EQ(experiment.GetStatus(), esLoaded);
    EXPECT_EQ(experiment.GetCurrentState(), nullptr);
    EXPECT_EQ(experiment.Start()->Number(), 0);  // a new run starts over
}

TEST_F(ExperimentTest, ScriptGetsStateNumberValuesAndTwoEmptyPlaces) {
    LoadWith(1, {2});
    experiment.Start();
    next = 1;
    experiment.Update(kValues);
    ASSERT_EQ(calls->calls.size(), 1u);
    const auto& args = calls->calls[0];
    ASSERT_EQ(args.size(), 17u);
    EXPECT_EQ(args[0].kind, tScriptArg::tKind::Integer);
    EXPECT_EQ(args[0].value, 1);
    EXPECT_EQ(args[14].kind, tScriptArg::tKind::Real);
    EXPECT_EQ(args[14].value, 1.5);
    EXPECT_EQ(args[15].kind, tScriptArg::tKind::Empty);
    EXPECT_EQ(args[16].kind, tScriptArg::tKind::Empty);

    EXPECT_NO_THROW(experiment.Update(std::vector<float>(125, 0.f)));
    EXPECT_EQ(calls->calls.back().size(), 128u);
    EXPECT_THROW(experiment.Update(std::vector<float>(126, 0.f)), tError);
    EXPECT_EQ(log.Count("Too many arguments"), 1);
}

TEST_F(ExperimentTest, FailuresAreLoggedOnceAndEndTheRun) {
    struct tCase {
        int startState;
        int next;
        std::string message;
    };
    const tCase cases[] = {
        {7, 0, "Can not update state machine"},  // the start state names no state
        {0, 9, "Error while transition from state #0 to state #9."},
    };
    for (const tCase& c : cases) {
        log.Clear();
        LoadWith(c.startState, {2});
        experiment.Start();
        EXPECT_EQ(experiment.GetStatus(), esRunning);
        next = c.next;
        try {
            experiment.Update(kValues);
            FAIL() << c.message;
        } catch (const tError& e) {
            EXPECT_EQ(e.what(), c.message);
        }
        EXPECT_EQ(log.Lines(), std::vector<std::string>{c.message});
        EXPECT_TRUE(experiment.Failed());
        EXPECT_EQ(experiment.GetCurrentState(), nullptr);

        // Dead run: later steps do nothing and Stop cannot reset it.
        EXPECT_FALSE(experiment.Update(kValues));
        experiment.Stop();
        EXPECT_EQ(experiment.GetStatus(), esRunning);
        EXPECT_EQ(experiment.Start(), nullptr);
        EXPECT_EQ(log.Lines().size(), 1u);

        experiment.Close();
        EXPECT_FALSE(experiment.Failed());
        EXPECT_EQ(experiment.GetStatus(), esEmpty);
    }
}

// The script's error reaches the user in its own words, logged once here.
TEST_F(ExperimentTest, InterpreterErrorKeepsItsTextAndIsLoggedOnce) {
    experiment.Load(makeScenario("S", 0, {1}, {{"A", {}}, {"B", {}}}),
                    std::make_unique<tFakeProgram>(
                        [](auto&) -> int { throw EListError("division by zero in NewState"); }),
                    "");
    experiment.Start();
    try {
        experiment.Update(kValues);
        ADD_FAILURE() << "no error";
    } catch (const tLoggedError& e) {
        EXPECT_STREQ(e.what(), "division by zero in NewState");
    }
    EXPECT_EQ(log.Count("division by zero in NewState"), 1);
    EXPECT_TRUE(experiment.Failed());
    EXPECT_EQ(experiment.GetCurrentState()->Name(), "A");
}

TEST_F(ExperimentTest, StartStateThatIsFinalFinishesOnTheFirstReading) {
    LoadWith(0, {0});
    ASSERT_NE(experiment.Start(), nullptr);
    EXPECT_FALSE(experiment.Update(kValues));
    EXPECT_EQ(experiment.GetStatus(), esFinished);
    EXPECT_TRUE(calls->calls.empty());
}

TEST_F(ExperimentTest, FailedCompileLeavesNothingLoaded) {
    LoadWith(0, {2});
    EXPECT_THROW(experiment.Load(makeScenario("Other", 0, {0}, {{"Only", {}}}),
                                 std::make_unique<tFakeProgram>([](auto&) { return 0; }, nullptr,
                                                                "line 3: ';' expected"),
                                 "unit Other"),
                 tError);
    EXPECT_EQ(log.Count("line 3: ';' expected"), 1);
    EXPECT_EQ(experiment.GetStatus(), esEmpty);
    EXPECT_TRUE(experiment.Failed());
    EXPECT_EQ(experiment.Start(), nullptr);
    EXPECT_EQ(experiment.FindState(2), nullptr);  // the first scenario is gone

    LoadWith(0, {2});
    EXPECT_FALSE(experiment.Failed());
    EXPECT_EQ(experiment.FindState(2)->Actions(), std::vector<std::string>{"H0,0"});
}

}  // namespace
}  // namespace vantrel::test
