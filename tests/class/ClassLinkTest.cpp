// Three stations publish through a broker of the test's own while the
// teacher's session is cut, one station's network is cut and the broker
// restarts: every record of every run still reaches the teacher (after a
// replay where needed), in order and each once; the teacher's stop reaches
// the stations' wires and is acknowledged.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Files.h"
#include "class/ClassContract.h"
#include "class/MqttLink.h"
#include "class/TestBroker.h"
#include "class/TestProxy.h"
#include "cli/CliTestSupport.h"
#include "sim/Simulator.h"
#include "support/CliProcess.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using test::readFile;

constexpr const char* kClass = "lesson";

// What one station's run looked like to the teacher.
struct tSeen {
    std::string station;
    std::string run;
    std::map<long, tReadingSet> records;
    long conflicts = 0;  // a record index that came twice with other values
    long ended = -1;     // the records its end event counted
    std::vector<std::string> events;
};

// The teacher: a session the broker keeps while it is away, on every topic
// of the class.
class tTeacher {
public:
    explicit tTeacher(int port) : port_(port) { Connect(); }
    void Connect() {
        tMqttSettings settings;
        settings.host = "127.0.0.1";
        settings.port = port_;
        settings.clientId = "teacher";
        settings.subscriptions = {std::string(classlink::kRoot) + kClass + "/#"};
        link_ = std::make_unique<tMqttLink>(settings);
    }
    void Cut() { link_.reset(); }
    tMqttLink& Link() { return *link_; }

    // Takes what arrived for `duration`.
    void Collect(std::chrono::milliseconds duration) {
        const auto until = std::chrono::steady_clock::now() + duration;
        do {
            std::this_thread::sleep_for(20ms);
            if (link_ == nullptr) {
                continue;
            }
            tMqttLink::tNews news = link_->Take();
            connected = news.connected;
            for (const tMqttMessage& message : news.messages) {
                take(message);
            }
        } while (std::chrono::steady_clock::now() < until);
    }
    // Collects until `done` holds, for at most `limit`.
    template <class tDone>
    bool CollectUntil(tDone done, std::chrono::seconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) {
                return false;
            }
            Collect(50ms);
        }
        return true;
    }

    std::map<std::string, tSeen> runs;  // by "STATION/RUN"
    std::map<std::string, std::vector<json>> acks;
    std::map<std::string, bool> online;
    bool connected = false;

private:
    void take(const tMqttMessage& message) {
        // vantrel/1/lesson/st/NAME/...
        const std::string prefix = std::string(classlink::kRoot) + kClass + "/st/";
        if (message.topic.rfind(prefix, 0) != 0) {
            return;
        }
        const std::string rest = message.topic.substr(prefix.size());
        const std::string name = rest.substr(0, rest.find('/'));
        const std::string leaf = rest.substr(rest.rfind('/') + 1);
        if (leaf == "ack") {
            acks[name].push_back(json::parse(message.payload));
            return;
        }
        if (leaf == "status") {
            online[name] = json::parse(message.payload)["online"];
            return;
        }
        const std::string runPrefix = name + "/run/";
        if (rest.rfind(runPrefix, 0) != 0) {
            return;
        }
        const std::string run = rest.substr(runPrefix.size(), rest.rfind('/') - runPrefix.size());
        tSeen& seen = runs[name + "/" + run];
        seen.station = name;
        seen.run = run;
        if (leaf == "rec") {
            const auto parsed = classlink::parseRecords(message.payload);
            ASSERT_TRUE(parsed) << message.payload;
            for (std::size_t k = 0; k < parsed->records.size(); ++k) {
                const auto [at, fresh] =
                    seen.records.emplace(parsed->seq0 + static_cast<long>(k), parsed->records[k]);
                if (!fresh && (at->second.time != parsed->records[k].time ||
                               at->second.readings != parsed->records[k].readings)) {
                    ++seen.conflicts;
                }
            }
        } else if (leaf == "ev") {
            const json event = json::parse(message.payload);
            seen.events.push_back(event["type"]);
            if (event["type"] == "end") {
                seen.ended = event["records"];
            }
        }
    }

    int port_;
    std::unique_ptr<tMqttLink> link_;
};

// The record indexes below `count` the teacher lacks.
std::vector<long> missing(const tSeen& seen, long count) {
    std::vector<long> lacking;
    for (long k = 0; k < count; ++k) {
        if (seen.records.count(k) == 0) {
            lacking.push_back(k);
        }
    }
    return lacking;
}

TEST(ClassLinkTest, EveryRecordReachesTheTeacherThroughCutsARestartAndAStop) {
    if (test::brokerProgram().empty()) {
        GTEST_SKIP() << "no broker installed (apt-get install mosquitto)";
    }
    test::tCliDir dir;
    test::tTestBroker broker;
    test::tTestProxy proxy(broker.Port());
    // s1 runs a scenario that keeps the stirrer on: the stop must switch it off.
    test::writeBytes(dir.File("stir.exp"),
                     "[General]\nName=Stir\nStartState=0\nFinalState=1\nStateCount=2\n"
                     "[State0]\nName=Stirring\nActionCount=1\nAction0=M0,1,10\n"
                     "[State1]\nName=End\nActionCount=1\nAction0=M0,0\n");
    test::writeBytes(dir.File("stir.tra"),
                     "unit stir;\nfunction NewState(State: Integer; LT, LP: Real): Integer;\n"
                     "begin\n  Result := State;\nend;\nend.\n");
    std::vector<std::unique_ptr<sim::tSimulator>> sims;
    std::vector<std::unique_ptr<test::tCliProcess>> stations;
    tTeacher teacher(broker.Port());
    ASSERT_TRUE(teacher.CollectUntil([&] { return teacher.connected; }, 10s));
    for (int n = 1; n <= 3; ++n) {
        sims.push_back(std::make_unique<sim::tSimulator>());
        sims.back()->Start();
        // s2 reaches the broker through the relay the test cuts.
        const int port = n == 2 ? proxy.Port() : broker.Port();
        std::vector<std::string> args = {"--config",       dir.Config(),
                                         "--port",         sims.back()->PortPath(),
                                         "--class-broker", "127.0.0.1:" + std::to_string(port),
                                         "--class",        kClass,
                                         "--station",      "s" + std::to_string(n)};
        if (n == 1) {
            args.insert(args.end(), {"--scenario", dir.File("stir.exp")});
        }
        stations.push_back(
            std::make_unique<test::tCliProcess>(args, dir.File("s" + std::to_string(n) + ".txt")));
        ASSERT_TRUE(stations.back()->Started());
    }
    auto messages = [&dir] {
        std::string all;
        for (int n = 1; n <= 3; ++n) {
            all += readFile(dir.File("s" + std::to_string(n) + ".txt"));
        }
        return all;
    };
    ASSERT_TRUE(teacher.CollectUntil([&] { return teacher.runs.size() == 3; }, 20s)) << messages();

    teacher.Collect(2s);
    teacher.Cut();
    proxy.Cut(true);
    teacher.Collect(10s);
    proxy.Cut(false);
    teacher.Connect();
    teacher.Collect(2s);
    broker.Stop();
    teacher.Collect(1s);
    broker.Start();
    teacher.Collect(5s);

    // The gaps so far are asked for again from the stations' runs.
    for (auto& [key, seen] : teacher.runs) {
        const long newest = seen.records.empty() ? 0 : seen.records.rbegin()->first;
        const std::vector<long> lacking = missing(seen, newest);
        if (!lacking.empty()) {
            std::printf("%s: %zu records missing, asked again from record %ld\n",
                        seen.station.c_str(), lacking.size(), lacking.front());
            teacher.Link().Publish(classlink::tTopics(kClass, seen.station).Replay(),
                                   json{{"run", seen.run}, {"from", lacking.front()}}.dump(), 1,
                                   false);
        }
    }
    teacher.Collect(2s);

    // Refused: an unknown command; then everyone stops.
    const classlink::tTopics topics(kClass, "s1");
    teacher.Link().PublishExpiring(topics.CommandOwn("s1"), R"({"id":"c1","cmd":"heat"})", 60);
    teacher.Link().PublishExpiring(topics.CommandAll(), R"({"id":"c2","cmd":"stop"})", 60);
    ASSERT_TRUE(teacher.CollectUntil(
        [&] {
            for (const auto& [key, seen] : teacher.runs) {
                if (seen.ended < 0 || teacher.acks[seen.station].empty() ||
                    teacher.acks[seen.station].back()["id"] != "c2") {
                    return false;
                }
            }
            return true;
        },
        20s))
        << messages();
    for (auto& station : stations) {
        EXPECT_EQ(station->Wait(20s), 0) << messages();
    }
    teacher.Collect(500ms);
    // Stations that ended leave no ghost behind.
    EXPECT_EQ(teacher.online,
              (std::map<std::string, bool>{{"s1", false}, {"s2", false}, {"s3", false}}));

    EXPECT_EQ(teacher.acks["s1"].front(),
              json({{"id", "c1"}, {"done", false}, {"why", "unknown command \"heat\""}}));
    ASSERT_EQ(teacher.runs.size(), 3u);
    for (const auto& [key, seen] : teacher.runs) {
        EXPECT_EQ(teacher.acks.at(seen.station).back(), json({{"id", "c2"}, {"done", true}}))
            << key;
        // About 5 records a second for over 20 s, each once and in order.
        EXPECT_GT(seen.ended, 90) << key;
        EXPECT_EQ(missing(seen, seen.ended), std::vector<long>{}) << key << "\n" << messages();
        EXPECT_EQ(seen.records.size(), static_cast<std::size_t>(seen.ended)) << key;
        EXPECT_EQ(seen.conflicts, 0) << key;
        float previous = -1;
        for (const auto& [seq, record] : seen.records) {
            EXPECT_GT(record.time, previous) << key << " record " << seq;
            previous = record.time;
        }
        // The stop is in the run, where its journal has it too.
        EXPECT_NE(std::find(seen.events.begin(), seen.events.end(), "intervention"),
                  seen.events.end())
            << key;
    }
    // On s1's wire: the stirrer went on with the scenario and off with the stop.
    const std::vector<std::string> wire = sims[0]->ReceivedLines();
    std::vector<std::string> stirrer;
    for (const std::string& line : wire) {
        if (line.rfind("M0", 0) == 0) {
            stirrer.push_back(line);
        }
    }
    ASSERT_GE(stirrer.size(), 2u);
    EXPECT_EQ(stirrer.front().substr(0, 4), "M0,1");
    EXPECT_EQ(stirrer.back().substr(0, 4), "M0,0");

    // A run of s2 that ended is published again from its journal by a new
    // program under the same name.
    tSeen before;
    for (const auto& [key, seen] : teacher.runs) {
        if (seen.station == "s2") {
            before = seen;
        }
    }
    teacher.runs.clear();
    test::tCliProcess again(
        {"--config", dir.Config(), "--simulate", "--duration", "8", "--class-broker",
         broker.Address(), "--class", kClass, "--station", "s2"},
        dir.File("again.txt"));
    ASSERT_TRUE(teacher.CollectUntil([&] { return !teacher.runs.empty(); }, 15s))
        << readFile(dir.File("again.txt"));
    const std::string replay = classlink::tTopics(kClass, "s2").Replay();
    teacher.Link().Publish(replay, json{{"run", before.run}, {"from", 10}}.dump(), 1, false);
    teacher.Link().Publish(replay, R"({"run":"no-such-run"})", 1, false);
    const std::string key = "s2/" + before.run;
    ASSERT_TRUE(teacher.CollectUntil([&] { return teacher.runs[key].ended >= 0; }, 10s));
    const tSeen& replayed = teacher.runs[key];
    EXPECT_EQ(replayed.ended, before.ended);
    EXPECT_EQ(replayed.records.begin()->first, 10);
    EXPECT_EQ(replayed.records.size(), static_cast<std::size_t>(before.ended - 10));
    EXPECT_EQ(replayed.records.rbegin()->second.readings, before.records.rbegin()->second.readings);
    EXPECT_EQ(teacher.runs.count("s2/no-such-run"), 0u);  // refused, with a line in the log
    EXPECT_EQ(again.Wait(20s), 0) << readFile(dir.File("again.txt"));
}

}  // namespace
}  // namespace vantrel
