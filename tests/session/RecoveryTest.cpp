// Runs kept in journals: written as they happen, offered back after a run
// died, opened into the charts as after a Stop.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "charts/ChartModel.h"
#include "journal/Journal.h"
#include "journal/JournalWriter.h"
#include "session/StationFixture.h"
#include "support/TempDir.h"

namespace vantrel::test {
namespace {

using RecoveryTest = StationFixture;

TEST_F(RecoveryTest, ARunIsJournaledAsItIsPlottedWithItsMarksAndItsEnd) {
    Make("", true);
    tTempDir runs;
    fm->SetJournalFolder(runs.path());
    Connect();
    fm->RelativeItemToggled(0, true);
    Start();
    ASSERT_TRUE(tickUntil(*fm, [&] { return fm->Charts().PointCount() >= 6; }));
    ASSERT_TRUE(fm->ExecuteAction("acDeviceStop"));
    fm->chAccGyroClick(fm->Charts().TimeSeries(0).X(3));
    ASSERT_TRUE(fm->ExecuteAction("acFileMarkPoint"));
    const std::size_t plotted = fm->Charts().PointCount();
    fm.reset();  // closes the journal

    const auto journals = listJournals(runs.path());
    ASSERT_EQ(journals.size(), 1u);
    const tJournalRun run = readJournal(journals[0].fileName);
    EXPECT_TRUE(run.finished);
    EXPECT_TRUE(run.header.relative[0]);
    ASSERT_EQ(run.readings.size(), plotted);
    const auto sent = sim->SentRecords();
    for (std::size_t k = 0; k < plotted; ++k) {
        EXPECT_EQ(run.readings[k].readings[0], sent[k].lt) << "as decoded, before relative";
        EXPECT_NEAR(run.readings[k].time, sent[k].tt * 0.001f, 1e-4);
    }
    EXPECT_EQ(run.marks, std::vector<int>{3});
}

// Leaving the program during a run ends the run as Stop does: what the
// station still had queued is kept, and no recovery is offered next time.
TEST_F(RecoveryTest, ExitDuringARunEndsItAsStopDoes) {
    Make("", true);
    tTempDir runs;
    fm->SetJournalFolder(runs.path());
    Connect();
    Start();
    ASSERT_TRUE(tickUntil(*fm, [&] { return fm->Charts().PointCount() >= 3; }));
    const std::size_t shown = fm->Charts().PointCount();
    std::this_thread::sleep_for(300ms);  // records wait for the next tick
    view.yesNoAnswers = {true};
    ASSERT_TRUE(fm->FormCloseQuery());
    fm->FormClose();
    EXPECT_GT(fm->Charts().PointCount(), shown) << "the queued records were decoded";
    const auto journals = listJournals(runs.path());
    ASSERT_EQ(journals.size(), 1u);
    EXPECT_TRUE(journals[0].finished);
    EXPECT_EQ(journals[0].records, fm->Charts().PointCount());

    Make("", true);
    fm->SetJournalFolder(runs.path());
    fm->OfferRecovery();
    EXPECT_EQ(view.questions.size(), 1u) << "only the exit question";
}

TEST_F(RecoveryTest, ARunThatDiedIsOfferedAndOpensAsAfterItsStop) {
    Make("", true);
    tTempDir runs;
    std::string journal;
    {
        tJournalHeader header;
        header.names = {"a", "b", "c", "d", "e", "f", "g"};
        header.experiment = "Титрование";
        tJournalWriter writer(runs.path(), header);
        journal = writer.FileName();
        for (int k = 1; k <= 20; ++k) {
            writer.Reading(0.2f * k, {20.f + k, 7.f, 1.f, 0.1f, 0.f, 0.f, 0.f});
        }
        writer.Transition(1.0f, 1, "Нагрев");
        writer.Mark(4);
    }  // no end entry: the program died
    fm->SetJournalFolder(runs.path());
    view.yesNoAnswers = {true};
    fm->OfferRecovery();
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_NE(view.questions[0].text.find("20"), std::string::npos) << view.questions[0].text;
    const tChartModel& charts = fm->Charts();
    EXPECT_EQ(charts.Mode(), tChartMode::Analysis);
    ASSERT_EQ(charts.PointCount(), 20u);
    EXPECT_EQ(charts.Data().Measured(qLT, 19), 40.0);
    EXPECT_TRUE(charts.Selection().Marked(4));
    ASSERT_EQ(charts.Data().Transitions().size(), 1u);
    EXPECT_EQ(view.scenarioLabel, "Запись опыта: Титрование - Нагрев");
    fm->UpdateActions();
    EXPECT_TRUE(fm->FindAction("acFileExport")->Enabled()) << "no station needed";

    // Answered either way, it is closed off and not offered again.
    EXPECT_TRUE(readJournal(journal).finished);
    Make("", true);
    fm->SetJournalFolder(runs.path());
    fm->OfferRecovery();
    EXPECT_EQ(view.questions.size(), 1u);
}

}  // namespace
}  // namespace vantrel::test
