// A run is one stream of events: what its listener hears live is what its
// journal gives back, and the charts built from either agree.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "charts/ChartModel.h"
#include "experiment/Experiment.h"
#include "experiment/FakeProgram.h"
#include "journal/Journal.h"
#include "session/RunCharts.h"
#include "session/StationFixture.h"
#include "support/TempDir.h"

namespace vantrel::test {
namespace {

using RunEventsTest = StationFixture;

// Exact: floats in hexadecimal, as the journal keeps them bit for bit. A
// transition as far as a journal holds it.
std::string described(const tRunEvent& event) {
    auto number = [](double value) {
        char text[40];
        std::snprintf(text, sizeof text, " %a", value);
        return std::string(text);
    };
    if (const auto* start = event.As<tRunStart>()) {
        std::string text = "start " + start->started + "|" + start->experiment + "|" +
                           start->scenario + number(start->volumeCoefficient);
        for (int i = 0; i < kQuantityCount; ++i) {
            text += (start->relative[i] ? " +" : " ") + start->names[i];
        }
        return text;
    }
    if (const auto* set = event.As<tReadingSet>()) {
        std::string text = "reading" + number(set->time);
        for (float value : set->readings) {
            text += number(value);
        }
        return text;
    }
    if (const auto* transition = event.As<tRunTransition>()) {
        return "transition" + number(transition->time) + " " +
               std::to_string(transition->trace.to.number) + " " + transition->trace.to.name;
    }
    if (const auto* intervention = event.As<tRunIntervention>()) {
        return "intervention" + number(intervention->time) + " " + intervention->text;
    }
    if (const auto* mark = event.As<tRunMark>()) {
        return "mark " + std::to_string(mark->index);
    }
    const auto& end = *event.As<tRunEnded>();
    return "end" + number(end.time) + " " + std::to_string(static_cast<int>(end.how)) + " " +
           std::to_string(end.records);
}

// Paused from its start, the run's first records wait for the listener while
// the journal has them; the scenario steps on them once resumed, reaching its
// final state, whose heater is refused above the limit. Marked after the end.
TEST_F(RunEventsTest, TheListenerHearsWhatTheJournalGivesBack) {
    Make("MaxTemperature=20\n");
    tTempDir runs;
    fm->SetJournalFolder(runs.path());
    sink.target = &fm->Charts();
    Connect();
    int readings = 0;
    fm->Experiment().Load(
        makeScenario("S", 0, {1}, {{"A", {}}, {"B", {"H0,1,100"}}}),
        std::make_unique<tFakeProgram>([&](auto&) { return ++readings >= 3 ? 1 : 0; }), "s.scn");
    fm->RelativeItemToggled(1, true);
    Start();
    ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));  // before any tick took a record
    const std::size_t sent = sim->SentRecords().size();
    ASSERT_TRUE(tickUntil(*fm, [&] { return sim->SentRecords().size() >= sent + 5; }));
    std::this_thread::sleep_for(100ms);
    fm->tmStartTimer();  // more held than the scenario needs to step
    EXPECT_TRUE(sink.sets.empty()) << "nothing heard past the journal while paused";
    ASSERT_TRUE(fm->ExecuteAction("acDevicePause"));
    ASSERT_TRUE(tickUntil(*fm, [&] { return !fm->IsMeasuring(); }));
    fm->chAccGyroClick(fm->Charts().TimeSeries(0).X(2));
    ASSERT_TRUE(fm->ExecuteAction("acFileMarkPoint"));
    fm.reset();  // closes the journal

    const auto journals = listJournals(runs.path());
    ASSERT_EQ(journals.size(), 1u);
    const tJournalRun run = readJournal(journals[0].fileName);
    tChartCallLog back;
    journalEvents(run, back);

    std::vector<std::string> live;
    std::vector<std::string> journaled;
    for (const tRunEvent& event : sink.heard) {
        live.push_back(described(event));
    }
    for (const tRunEvent& event : back.heard) {
        journaled.push_back(described(event));
    }
    EXPECT_EQ(live, journaled);
    auto count = [&](const std::string& kind) {
        return std::count_if(live.begin(), live.end(),
                             [&](const std::string& line) { return line.starts_with(kind); });
    };
    EXPECT_EQ(count("transition"), 1);
    EXPECT_EQ(count("intervention"), 1);
    EXPECT_EQ(count("mark"), 1);
    ASSERT_EQ(count("end"), 1);
    const auto* end = sink.heard[sink.heard.size() - 2].As<tRunEnded>();
    ASSERT_NE(end, nullptr) << "the mark came after the end";
    EXPECT_EQ(end->how, tRunEnd::Stop);
    EXPECT_EQ(end->records, static_cast<long>(sink.sets.size()));

    // Into the charts by the same way: the same points, steps and marks.
    tChartModel opened;
    loadRunIntoCharts(run, opened);
    tChartModel replayed;
    for (const tRunEvent& event : sink.heard) {
        replayed.OnEvent(event);
    }
    replayed.ToggleMark(2);
    const tRunData& a = replayed.Data();
    const tRunData& b = opened.Data();
    ASSERT_EQ(a.Count(), b.Count());
    for (std::size_t p = 0; p < a.Count(); ++p) {
        EXPECT_EQ(a.Shown(1, p), b.Shown(1, p)) << p;
    }
    ASSERT_EQ(a.Transitions().size(), b.Transitions().size());
    for (std::size_t k = 0; k < a.Transitions().size(); ++k) {
        EXPECT_EQ(a.Transitions()[k].state, b.Transitions()[k].state);
        EXPECT_EQ(a.Transitions()[k].intervention, b.Transitions()[k].intervention);
    }
    EXPECT_EQ(replayed.Selection().Marks(), opened.Selection().Marks());
    EXPECT_EQ(opened.Mode(), tChartMode::Analysis);
}

}  // namespace
}  // namespace vantrel::test
