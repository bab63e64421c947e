#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "class/ClassContract.h"

namespace vantrel {

struct tMqttMessage;

// One station of the class as the teacher sees it: what its retained
// topics say, the newest values, and its current run as far as it arrived.
struct tStationCard {
    using tTime = std::chrono::steady_clock::time_point;

    std::string name;
    classlink::tStatus status;  // online false until a status arrives
    bool statusKnown = false;
    tTime heard{};  // its newest message of any kind
    std::optional<classlink::tLastMessage> last;
    std::optional<classlink::tResult> result;
    std::string safety;  // the newest safety intervention of its run

    // The run the station measures or measured last, records in order from
    // the first without a gap (a gap is asked for again).
    std::string run;
    classlink::tMetaMessage meta;
    std::vector<tReadingSet> records;
    std::optional<tTime> newestRecord;  // when the newest of them arrived
    long endRecords = -1;               // the run's end said so many; -1: not ended
    tTime replayAsked{};

    // The teacher's stop: none, sent and waiting, or answered.
    enum class tStop { None, Waiting, Done, Refused, NoAnswer };
    tStop stop = tStop::None;
    std::string stopWhy;

    double Period() const;  // s; from the run's meta, else the status
    bool Measuring() const { return status.online && status.state == "measuring"; }
};

// The class from the messages of its broker: a card per station, each run
// gathered without gaps (asking the station to send what was missed), the
// acknowledgements of a stop. Knows nothing of the network: Take hears a
// message and answers with what should be sent back.
class tClassRoster {
public:
    using tTime = tStationCard::tTime;

    explicit tClassRoster(std::string className);

    struct tReply {
        std::string topic;
        std::string payload;
    };
    // Hears one message of the class; what should go back (a replay
    // request for a gap) is returned. Messages of other classes, malformed
    // ones and names that are no contract names are left out.
    std::vector<tReply> Take(const tMqttMessage& message, tTime now);
    // Asks again for what is still missing after a while (a lost replay).
    std::vector<tReply> Tick(tTime now);

    // Sorted by name as people count ("Стол 2" before "Стол 10").
    const std::vector<tStationCard>& Cards() const { return cards_; }
    const tStationCard* Find(const std::string& name) const;

    // Grey: offline, or measuring with its newest record older than three
    // periods.
    static bool IsGrey(const tStationCard& card, tTime now);
    // The stations that were heard and then went silent: grey without
    // having ended their run.
    std::vector<std::string> Silent(tTime now) const;
    // No station has ever said a word.
    bool NoneEver() const { return cards_.empty(); }

    // Every retained topic of the class seen so far (the lesson's end
    // clears them).
    const std::set<std::string>& RetainedTopics() const { return retained_; }

    // A stop went out: every card waits for its answer.
    void StopSent(const std::string& id, tTime now);
    // Cards still waiting `timeout` after the stop did not answer.
    void StopTimeout(tTime now, std::chrono::milliseconds timeout);
    const std::string& StopId() const { return stopId_; }

private:
    tStationCard& card(const std::string& name);
    std::optional<tReply> records(tStationCard& card, const std::string& run,
                                  const std::string& payload, tTime now);
    std::optional<tReply> askReplay(tStationCard& card, tTime now);

    std::string root_;  // "vantrel/1/CLASS/st/"
    std::vector<tStationCard> cards_;
    std::set<std::string> retained_;
    std::string stopId_;
    tTime stopSent_{};
};

// Compares names as people count: digits as numbers.
bool naturalLess(const std::string& a, const std::string& b);

}  // namespace vantrel
