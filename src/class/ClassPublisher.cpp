#include "class/ClassPublisher.h"

#include <exception>

#include "base/Files.h"
#include "class/MqttLink.h"
#include "journal/Journal.h"

namespace vantrel {

namespace {

// A replay goes out in messages of this many records.
constexpr std::size_t kReplayChunk = 500;

// A journaled run's reading sets and its end.
class tJournalCollector : public iRunListener {
public:
    void OnEvent(const tRunEvent& event) override {
        if (const auto* set = event.As<tReadingSet>()) {
            records.push_back(*set);
        } else if (const auto* end = event.As<tRunEnded>()) {
            ended = *end;
        }
    }
    std::vector<tReadingSet> records;
    std::optional<tRunEnded> ended;
};

}  // namespace

tClassPublisher::tClassPublisher(iClassOutlet& outlet, classlink::tTopics topics,
                                 std::function<std::string(const tRunStart&)> runName,
                                 std::function<int()> periodMs)
    : outlet_(outlet),
      topics_(std::move(topics)),
      runName_(std::move(runName)),
      periodMs_(std::move(periodMs)) {}

void tClassPublisher::OnEvent(const tRunEvent& event) {
    if (const auto* start = event.As<tRunStart>()) {
        run_ = runName_(*start);
        open_ = true;
        records_.clear();
        sent_ = 0;
        ended_.reset();
        intervention_.clear();
        meta_ = classlink::metaMessage({run_, *start, periodMs_()});
        Republish();
        return;
    }
    if (!open_) {
        return;  // marks on a run opened from its journal
    }
    if (const auto* set = event.As<tReadingSet>()) {
        records_.push_back(*set);
    } else if (const auto* transition = event.As<tRunTransition>()) {
        publishEvent(classlink::transitionMessage(*transition));
    } else if (const auto* intervention = event.As<tRunIntervention>()) {
        intervention_ = intervention->text;
        publishEvent(classlink::interventionMessage(*intervention));
    } else if (const auto* end = event.As<tRunEnded>()) {
        ended_ = *end;
        publishEvent(classlink::endMessage(*end));
        open_ = false;
    }
}

void tClassPublisher::Republish() {
    if (open_) {
        outlet_.Publish(topics_.Run(run_, "meta"), meta_, 1, true);
    }
}

void tClassPublisher::Flush() {
    if (sent_ >= records_.size()) {
        return;
    }
    const std::vector<tReadingSet> batch(records_.begin() + static_cast<long>(sent_),
                                         records_.end());
    publishRecords(static_cast<long>(sent_), batch);
    sent_ = records_.size();
    outlet_.Publish(topics_.Last(),
                    classlink::lastMessage(run_, static_cast<long>(sent_) - 1, records_.back()), 0,
                    true);
}

void tClassPublisher::publishEvent(const std::string& message) {
    Flush();  // the records before an event go first
    outlet_.Publish(topics_.Run(run_, "ev"), message, 1, false);
}

void tClassPublisher::publishRecords(long seq0, const std::vector<tReadingSet>& records) {
    outlet_.Publish(topics_.Run(run_, "rec"), classlink::recordsMessage(seq0, records), 1, false);
}

std::optional<std::string> tClassPublisher::Replay(const classlink::tReplayRequest& request,
                                                   const std::string& journalFolder) {
    tJournalCollector journaled;
    const std::vector<tReadingSet>* records = &records_;
    std::optional<tRunEnded> ended = ended_;
    std::size_t available = sent_;  // what was not published yet goes at the next flush
    if (request.run != run_) {
        const std::string file = journalFolder + "/" + request.run + std::string(kJournalExtension);
        if (journalFolder.empty() || !fileExists(file)) {
            return "no run \"" + request.run + "\" in the journal folder";
        }
        try {
            journalEvents(readJournal(file), journaled);
        } catch (const std::exception& e) {
            return "the journal of \"" + request.run + "\" cannot be read: " + e.what();
        }
        records = &journaled.records;
        ended = journaled.ended;
        available = journaled.records.size();
    }
    const classlink::tTopics& topics = topics_;
    for (std::size_t from = static_cast<std::size_t>(request.from); from < available;
         from += kReplayChunk) {
        const std::size_t to = std::min(available, from + kReplayChunk);
        outlet_.Publish(topics.Run(request.run, "rec"),
                        classlink::recordsMessage(
                            static_cast<long>(from),
                            std::vector<tReadingSet>(records->begin() + static_cast<long>(from),
                                                     records->begin() + static_cast<long>(to))),
                        1, false);
    }
    if (ended) {
        outlet_.Publish(topics.Run(request.run, "ev"), classlink::endMessage(*ended), 1, false);
    }
    return std::nullopt;
}

}  // namespace vantrel
