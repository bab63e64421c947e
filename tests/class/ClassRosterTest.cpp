#include <gtest/gtest.h>

#include <cmath>

#include "class/ClassResults.h"
#include "class/ClassRoster.h"
#include "class/MqttLink.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using tTime = tClassRoster::tTime;

const std::string kStation = "vantrel/1/8B/st/Стол 3/";

std::string recs(long seq0, int count) {
    std::string t;
    std::string v;
    for (int k = 0; k < count; ++k) {
        t += (k ? "," : "") + std::to_string(0.5 * (seq0 + k));
        v += std::string(k ? "," : "") + "[" + std::to_string(seq0 + k) + ",7,1,0.3,0,0,0]";
    }
    return R"({"seq0":)" + std::to_string(seq0) + R"(,"t":[)" + t + R"(],"v":[)" + v + "]}";
}

// A run arrives out of order, twice, with a gap and a lost end: the roster
// keeps each record once and in order, and asks the station for what is
// missing, not more often than every few seconds.
TEST(ClassRosterTest, ARunIsGatheredWithoutGapsOrDuplicates) {
    struct tStep {
        std::string leaf;
        std::string payload;
        int secondsLater;
        std::size_t records;  // the card's records afterwards
        std::string replay;   // the request sent back; empty: none
    };
    const std::string run = "run/2026-12-10_0900/";
    const std::vector<tStep> steps = {
        {"status", R"({"online":true,"run":"2026-12-10_0900","state":"measuring","period":0.5})", 0,
         0, ""},
        {run + "meta", R"({"run":"2026-12-10_0900","period":0.5})", 0, 0, ""},
        {run + "rec", recs(0, 2), 1, 2, ""},
        {run + "rec", recs(0, 2), 0, 2, ""},  // sent again for someone else
        {run + "rec", recs(1, 3), 1, 4, ""},  // overlaps: only the new two kept
        {run + "rec", recs(6, 2), 1, 4, R"({"run":"2026-12-10_0900","from":4})"},
        {run + "rec", recs(8, 2), 1, 4, ""},  // the request is out: not again yet
        {run + "rec", recs(10, 1), 3, 4, R"({"run":"2026-12-10_0900","from":4})"},
        {run + "rec", recs(4, 7), 0, 11, ""},  // the replay fills the gap
        {run + "ev", R"({"type":"end","records":12})", 5, 11,
         R"({"run":"2026-12-10_0900","from":11})"},
        {run + "rec", recs(11, 1), 0, 12, ""},
        {"run/older/rec", recs(12, 3), 0, 12, ""},  // an older run sent again
    };
    tClassRoster roster("8B");
    tTime now{};
    for (const tStep& step : steps) {
        now += std::chrono::seconds(step.secondsLater);
        const auto replies = roster.Take({kStation + step.leaf, step.payload}, now);
        const tStationCard* card = roster.Find("Стол 3");
        ASSERT_NE(card, nullptr) << step.leaf;
        ASSERT_EQ(card->records.size(), step.records) << step.leaf << " " << step.payload;
        for (std::size_t k = 0; k < card->records.size(); ++k) {
            ASSERT_EQ(card->records[k].readings[0], static_cast<float>(k)) << "record " << k;
        }
        if (step.replay.empty()) {
            EXPECT_TRUE(replies.empty()) << step.payload;
        } else {
            ASSERT_EQ(replies.size(), 1u) << step.payload;
            EXPECT_EQ(replies[0].topic, kStation + "replay");
            EXPECT_EQ(replies[0].payload, step.replay);
        }
    }
    EXPECT_TRUE(roster.Tick(now + 10s).empty()) << "complete: nothing to ask";
}

// Grey, silent and gone: what the teacher sees of stations that stop
// talking, and the answers to a stop.
TEST(ClassRosterTest, CardsGreyGoSilentLeaveAndAnswerTheStop) {
    tClassRoster roster("8B");
    const auto status = [](const char* name, const std::string& payload) {
        return tMqttMessage{std::string("vantrel/1/8B/st/") + name + "/status", payload, true};
    };
    const tTime start{};
    const std::string measuring = R"({"online":true,"state":"measuring","period":1})";
    roster.Take(status("Стол 10", measuring), start);
    roster.Take(status("Стол 2", measuring), start);
    roster.Take(status("Стол 3", R"({"online":true,"state":"connected"})"), start);
    roster.Take({"vantrel/1/8B/st/Стол 2/run/r1/rec", recs(0, 1)}, start);
    roster.Take({"vantrel/1/8B/st/Стол 10/run/r1/rec", recs(0, 1)}, start);
    roster.Take({"vantrel/1/9A/st/Стол 1/status", measuring}, start);  // another class
    roster.Take({"vantrel/1/8B/st/a+b/status", measuring}, start);     // no contract name
    std::vector<std::string> names;
    for (const tStationCard& card : roster.Cards()) {
        names.push_back(card.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Стол 2", "Стол 3", "Стол 10"}));
    EXPECT_EQ(roster.RetainedTopics().size(), 3u);

    // Three periods and the second's batching: grey after 4 s without a record.
    roster.Take({"vantrel/1/8B/st/Стол 2/run/r1/rec", recs(1, 1)}, start + 3s);
    EXPECT_EQ(roster.Silent(start + 4500ms), std::vector<std::string>{"Стол 10"});
    EXPECT_EQ(roster.Silent(start + 8s), (std::vector<std::string>{"Стол 2", "Стол 10"}));
    EXPECT_FALSE(tClassRoster::IsGrey(*roster.Find("Стол 3"), start + 1h)) << "not measuring";

    roster.StopSent("s1", start + 10s);
    roster.Take({"vantrel/1/8B/st/Стол 2/ack", R"({"id":"s1","done":true})"}, start + 11s);
    roster.Take({"vantrel/1/8B/st/Стол 3/ack", R"({"id":"s1","done":false,"why":"no link"})"},
                start + 11s);
    roster.Take({"vantrel/1/8B/st/Стол 10/ack", R"({"id":"old","done":true})"}, start + 11s);
    roster.StopTimeout(start + 14s, 5000ms);
    EXPECT_EQ(roster.Find("Стол 10")->stop, tStationCard::tStop::Waiting);
    roster.StopTimeout(start + 15s, 5000ms);
    EXPECT_EQ(roster.Find("Стол 2")->stop, tStationCard::tStop::Done);
    EXPECT_EQ(roster.Find("Стол 3")->stop, tStationCard::tStop::Refused);
    EXPECT_EQ(roster.Find("Стол 3")->stopWhy, "no link");
    EXPECT_EQ(roster.Find("Стол 10")->stop, tStationCard::tStop::NoAnswer);

    // The last will greys at once; a station that ended its run and left is
    // not silent; a cleared status takes the station away.
    roster.Take(status("Стол 2", R"({"online":true,"state":"measuring","period":1,)"
                                 R"("outputs":{"heater":0,"stirrer":0,"pumps":[60,0,0]}})"),
                start + 15s);
    roster.Take(status("Стол 2", R"({"online":false})"), start + 16s);
    EXPECT_TRUE(tClassRoster::IsGrey(*roster.Find("Стол 2"), start + 16s));
    EXPECT_EQ(roster.Find("Стол 2")->status.outputs[2], 60) << "gone with its pump on";
    roster.Take({"vantrel/1/8B/st/Стол 10/run/r1/ev", R"({"type":"end","records":1})"},
                start + 16s);
    EXPECT_EQ(roster.Silent(start + 16s), std::vector<std::string>{"Стол 2"});
    roster.Take(status("Стол 3", ""), start + 17s);
    EXPECT_EQ(roster.Find("Стол 3"), nullptr);
    EXPECT_EQ(roster.RetainedTopics().size(), 2u);
}

TEST(ClassRosterTest, NamesSortAsPeopleCount) {
    for (const auto& [a, b] :
         std::vector<std::pair<std::string, std::string>>{{"Стол 2", "Стол 10"},
                                                          {"a9", "a10"},
                                                          {"a", "a1"},
                                                          {"a1b", "a01c"},
                                                          {"A", "B"},
                                                          {"x2y3", "x2y10"}}) {
        EXPECT_TRUE(naturalLess(a, b)) << a << " < " << b;
        EXPECT_FALSE(naturalLess(b, a)) << b << " < " << a;
    }
    EXPECT_FALSE(naturalLess("a01", "a1"));
    EXPECT_FALSE(naturalLess("a1", "a01"));
}

// The class's numbers against a hand computation: the sample standard
// deviation, each group's deviation, and the one group beyond two of them.
TEST(ClassRosterTest, ResultsGiveMeanDeviationAndOutliers) {
    std::vector<tClassResults::tRow> rows;
    const double volumes[] = {10.0, 10.2, 9.9, 10.1, 10.0, 10.1, 13.0};
    for (double v : volumes) {
        tClassResults::tRow row;
        row.station = "S" + std::to_string(rows.size() + 1);
        row.values[tClassResults::Volume] = v;
        rows.push_back(row);
    }
    rows[1].values[tClassResults::PH] = 8.5;  // one group alone: no spread
    const tClassResults results = tClassResults::From(rows);

    const double mean = 73.3 / 7;
    double squares = 0;
    for (double v : volumes) {
        squares += (v - mean) * (v - mean);
    }
    const tClassResults::tSummary& volume = results.summary[tClassResults::Volume];
    EXPECT_EQ(volume.count, 7);
    EXPECT_NEAR(volume.mean, mean, 1e-12);
    EXPECT_NEAR(volume.sd, std::sqrt(squares / 6), 1e-12);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        EXPECT_NEAR(*results.rows[k].deviations[tClassResults::Volume], volumes[k] - mean, 1e-12);
        EXPECT_EQ(results.rows[k].outlier[tClassResults::Volume], k == 6) << k;
    }
    EXPECT_EQ(results.summary[tClassResults::PH].count, 1);
    EXPECT_EQ(results.summary[tClassResults::PH].sd, 0);
    EXPECT_FALSE(results.rows[1].outlier[tClassResults::PH]);
    EXPECT_EQ(results.summary[tClassResults::FitA].count, 0);

    std::vector<std::string> titles(tClassResults::kColumns + 3, "h");
    const std::string text = results.Text(titles, "mean", "SD", ',');
    EXPECT_NE(text.find("S7\t\t\t\t\t13\t"), std::string::npos) << text;
    EXPECT_NE(text.find("mean\t\t\t\t\t10,4714"), std::string::npos) << text;
}

}  // namespace
}  // namespace vantrel
