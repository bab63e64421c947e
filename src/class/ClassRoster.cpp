#include "class/ClassRoster.h"

#include <algorithm>
#include <cctype>

#include "class/MqttLink.h"

namespace vantrel {

namespace {

// A gap is asked for again after this long without the replay.
constexpr std::chrono::seconds kReplayAgain{3};

std::vector<std::string> levels(const std::string& topic) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = topic.find('/', from);
        parts.push_back(topic.substr(from, slash - from));
        if (slash == std::string::npos) {
            return parts;
        }
        from = slash + 1;
    }
}

}  // namespace

bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && digit(a[ei])) {
                ++ei;
            }
            while (ej < b.size() && digit(b[ej])) {
                ++ej;
            }
            std::string na = a.substr(i, ei - i);
            std::string nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size()) {
                return na.size() < nb.size();
            }
            if (na != nb) {
                return na < nb;
            }
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) {
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            }
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

double tStationCard::Period() const {
    return meta.period > 0 ? meta.period : status.period;
}

tClassRoster::tClassRoster(std::string className)
    : root_(std::string(classlink::kRoot) + className + "/st/") {}

const tStationCard* tClassRoster::Find(const std::string& name) const {
    for (const tStationCard& card : cards_) {
        if (card.name == name) {
            return &card;
        }
    }
    return nullptr;
}

tStationCard& tClassRoster::card(const std::string& name) {
    for (tStationCard& card : cards_) {
        if (card.name == name) {
            return card;
        }
    }
    const auto at = std::upper_bound(
        cards_.begin(), cards_.end(), name,
        [](const std::string& n, const tStationCard& c) { return naturalLess(n, c.name); });
    tStationCard added;
    added.name = name;
    added.status.online = false;
    return *cards_.insert(at, std::move(added));
}

std::vector<tClassRoster::tReply> tClassRoster::Take(const tMqttMessage& message, tTime now) {
    std::vector<tReply> replies;
    if (message.topic.compare(0, root_.size(), root_) != 0) {
        return replies;
    }
    const std::vector<std::string> parts = levels(message.topic.substr(root_.size()));
    if (parts.size() < 2 || !classlink::isContractName(parts[0])) {
        return replies;
    }
    const std::string& name = parts[0];
    const std::string& leaf = parts.back();
    const bool cleared = message.payload.empty();
    if (message.retained || leaf == "status" || leaf == "last" || leaf == "result" ||
        leaf == "meta") {
        if (cleared) {
            retained_.erase(message.topic);
        } else {
            retained_.insert(message.topic);
        }
    }
    if (cleared) {
        // A lesson's end took it away: a station without a status is gone.
        if (parts.size() == 2 && leaf == "status") {
            std::erase_if(cards_, [&name](const tStationCard& c) { return c.name == name; });
        }
        return replies;
    }
    tStationCard& station = card(name);
    if (parts.size() == 2) {
        if (leaf == "status") {
            if (auto status = classlink::parseStatus(message.payload)) {
                if (status->online || !station.statusKnown) {
                    station.status = std::move(*status);
                } else {
                    // The last will says only that it is gone: what it said
                    // last of its outputs stays known (a pump may still run).
                    station.status.online = false;
                }
                station.statusKnown = true;
                if (!station.status.safety.empty()) {
                    station.safety = station.status.safety;
                }
            } else {
                classlink::logLine("status of " + name +
                                   " is not the contract's: " + message.payload);
            }
        } else if (leaf == "last") {
            if (auto last = classlink::parseLast(message.payload)) {
                station.last = std::move(*last);
            }
        } else if (leaf == "result") {
            if (auto result = classlink::parseResult(message.payload)) {
                station.result = std::move(*result);
            }
        } else if (leaf == "ack") {
            const auto ack = classlink::parseAck(message.payload);
            if (ack && !stopId_.empty() && ack->id == stopId_) {
                station.stop = ack->done ? tStationCard::tStop::Done : tStationCard::tStop::Refused;
                station.stopWhy = ack->why;
                classlink::logLine(name + (ack->done ? " stopped" : " did not stop: " + ack->why));
            }
        }
        if (leaf != "replay") {
            station.heard = now;
        }
        return replies;
    }
    if (parts.size() != 4 || parts[1] != "run" || !classlink::isContractName(parts[2])) {
        return replies;
    }
    station.heard = now;
    const std::string& run = parts[2];
    if (leaf == "meta") {
        auto meta = classlink::parseMeta(message.payload);
        if (meta && run != station.run) {
            station.run = run;
            station.records.clear();
            station.newestRecord.reset();
            station.endRecords = -1;
            station.safety.clear();
        }
        if (meta) {
            station.meta = std::move(*meta);
        }
    } else if (leaf == "rec") {
        if (auto reply = records(station, run, message.payload, now)) {
            replies.push_back(std::move(*reply));
        }
    } else if (leaf == "ev" && run == station.run) {
        if (const auto event = classlink::parseEvent(message.payload)) {
            if (event->type == "intervention") {
                station.safety = event->text;
            } else if (event->type == "end") {
                station.endRecords = event->records;
                if (static_cast<long>(station.records.size()) < event->records) {
                    if (auto reply = askReplay(station, now)) {
                        replies.push_back(std::move(*reply));
                    }
                }
            }
        }
    }
    return replies;
}

std::optional<tClassRoster::tReply> tClassRoster::records(tStationCard& station,
                                                          const std::string& run,
                                                          const std::string& payload, tTime now) {
    if (station.run.empty()) {
        station.run = run;  // its meta was lost with a broker's restart
    } else if (run != station.run) {
        return std::nullopt;  // an older run, sent again for someone else
    }
    const auto parsed = classlink::parseRecords(payload);
    if (!parsed) {
        classlink::logLine("records of " + station.name + " are not the contract's");
        return std::nullopt;
    }
    const long have = static_cast<long>(station.records.size());
    const long count = static_cast<long>(parsed->records.size());
    if (parsed->seq0 > have) {
        // Records before these did not come: they are asked for, and
        // these come again with them.
        return askReplay(station, now);
    }
    if (parsed->seq0 + count > have) {
        station.records.insert(station.records.end(),
                               parsed->records.begin() + static_cast<long>(have - parsed->seq0),
                               parsed->records.end());
        station.newestRecord = now;
    }
    return std::nullopt;
}

std::optional<tClassRoster::tReply> tClassRoster::askReplay(tStationCard& station, tTime now) {
    if (station.replayAsked != tTime{} && now - station.replayAsked < kReplayAgain) {
        return std::nullopt;
    }
    station.replayAsked = now;
    classlink::logLine("asked " + station.name + " for run " + station.run + " from record " +
                       std::to_string(station.records.size()));
    return tReply{root_ + station.name + "/replay",
                  "{\"run\":\"" + station.run +
                      "\",\"from\":" + std::to_string(station.records.size()) + "}"};
}

std::vector<tClassRoster::tReply> tClassRoster::Tick(tTime now) {
    std::vector<tReply> replies;
    for (tStationCard& station : cards_) {
        const bool missing = station.endRecords > static_cast<long>(station.records.size()) ||
                             (station.Measuring() && station.replayAsked != tTime{} &&
                              station.newestRecord.value_or(tTime{}) < station.replayAsked);
        if (missing && station.status.online) {
            if (auto reply = askReplay(station, now)) {
                replies.push_back(std::move(*reply));
            }
        }
    }
    return replies;
}

bool tClassRoster::IsGrey(const tStationCard& card, tTime now) {
    if (!card.status.online) {
        return true;
    }
    if (!card.Measuring() || !card.newestRecord) {
        return false;
    }
    const double period = std::max(card.Period(), 0.1);
    return now - *card.newestRecord >
           std::chrono::duration<double>(3 * period + 1.0);  // a second's batching on top
}

std::vector<std::string> tClassRoster::Silent(tTime now) const {
    std::vector<std::string> silent;
    for (const tStationCard& card : cards_) {
        // A station that ended its run and then left is done, not silent.
        const bool finished =
            card.endRecords >= 0 && static_cast<long>(card.records.size()) >= card.endRecords;
        if (card.statusKnown && IsGrey(card, now) && !finished) {
            silent.push_back(card.name);
        }
    }
    return silent;
}

void tClassRoster::StopSent(const std::string& id, tTime now) {
    stopId_ = id;
    stopSent_ = now;
    for (tStationCard& card : cards_) {
        card.stop = tStationCard::tStop::Waiting;
        card.stopWhy.clear();
    }
}

void tClassRoster::StopTimeout(tTime now, std::chrono::milliseconds timeout) {
    if (stopId_.empty() || now - stopSent_ < timeout) {
        return;
    }
    for (tStationCard& card : cards_) {
        if (card.stop == tStationCard::tStop::Waiting) {
            card.stop = tStationCard::tStop::NoAnswer;
            classlink::logLine(card.name + " did not answer the stop within " +
                               std::to_string(timeout.count() / 1000) + " s");
        }
    }
}

}  // namespace vantrel
