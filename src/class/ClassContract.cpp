#include "class/ClassContract.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "base/Encoding.h"
#include "run/Quantities.h"

namespace vantrel::classlink {

using nlohmann::json;

namespace {

constexpr std::size_t kNameBytes = 64;

// A reading as the station sent it: the float's shortest text, so that a
// reader sees 7.02 and not 7.0199999809.
double shortest(float value) {
    if (!std::isfinite(value)) {
        return 0;  // JSON has no NaN; the decoder lets none through anyway
    }
    char text[32];
    const auto done = std::to_chars(text, text + sizeof text - 1, value);
    *done.ptr = '\0';
    return std::strtod(text, nullptr);
}

// The run's time in s as the export writes it: to the millisecond.
double seconds(float t) {
    return std::round(static_cast<double>(t) * 1000.0) / 1000.0;
}

json readings(const tReadingValues& values) {
    json v = json::array();
    for (const float value : values) {
        v.push_back(shortest(value));
    }
    return v;
}

std::optional<json> parseObject(std::string_view payload) {
    json message = json::parse(payload, nullptr, false);
    if (message.is_discarded() || !message.is_object()) {
        return std::nullopt;
    }
    return message;
}

}  // namespace

bool isContractName(std::string_view name) {
    if (name.empty() || name.size() > kNameBytes || !isValidUtf8(name)) {
        return false;
    }
    for (const char c : name) {
        if (c == '/' || c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

tTopics::tTopics(std::string_view className, std::string_view stationName)
    : classRoot(std::string(kRoot) + std::string(className) + "/"),
      station(classRoot + "st/" + std::string(stationName) + "/") {}

std::string tTopics::Run(std::string_view run, std::string_view leaf) const {
    return station + "run/" + std::string(run) + "/" + std::string(leaf);
}

std::string tTopics::CommandOwn(std::string_view stationName) const {
    return classRoot + "cmd/st/" + std::string(stationName);
}

std::string statusMessage(const tStatus& status) {
    json message = {{"online", status.online},
                    {"run", status.run.empty() ? json(nullptr) : json(status.run)},
                    {"state", status.state},
                    {"scenario", status.scenario},
                    {"experiment", status.experiment},
                    {"app", status.app}};
    if (!status.broker.empty()) {
        message["broker"] = status.broker;
    }
    return message.dump();
}

std::string offlineMessage() {
    return json{{"online", false}}.dump();
}

std::string metaMessage(const tRunMeta& meta) {
    json quantities = json::array();
    for (std::size_t i = 0; i < kQuantityCount; ++i) {
        quantities.push_back({{"code", kQuantityCodes[i]},
                              {"name", meta.start.names[i]},
                              {"unit", kUnits[i]},
                              {"relative", meta.start.relative[i]}});
    }
    return json{{"run", meta.run},
                {"started", meta.start.started},
                {"experiment", meta.start.experiment},
                {"scenario", meta.start.scenario},
                {"period", meta.periodMs / 1000.0},
                {"volumeCoefficient", shortest(static_cast<float>(meta.start.volumeCoefficient))},
                {"quantities", quantities}}
        .dump();
}

std::string recordsMessage(long seq0, const std::vector<tReadingSet>& records) {
    json t = json::array();
    json v = json::array();
    for (const tReadingSet& record : records) {
        t.push_back(seconds(record.time));
        v.push_back(readings(record.readings));
    }
    return json{{"seq0", seq0}, {"t", t}, {"v", v}}.dump();
}

std::string lastMessage(const std::string& run, long seq, const tReadingSet& record) {
    return json{
        {"run", run}, {"seq", seq}, {"t", seconds(record.time)}, {"v", readings(record.readings)}}
        .dump();
}

std::string transitionMessage(const tRunTransition& transition) {
    json message = {{"type", "transition"},
                    {"t", seconds(transition.time)},
                    {"state", transition.trace.to.number},
                    {"name", transition.trace.to.name}};
    if (!transition.trace.from.name.empty()) {
        message["from"] = transition.trace.from.name;
    }
    return message.dump();
}

std::string interventionMessage(const tRunIntervention& intervention) {
    return json{
        {"type", "intervention"}, {"t", seconds(intervention.time)}, {"text", intervention.text}}
        .dump();
}

std::string endMessage(const tRunEnded& ended) {
    static constexpr const char* kHow[] = {"stop",     "disconnect", "link lost",
                                           "not back", "closed",     "unknown"};
    return json{{"type", "end"},
                {"t", seconds(ended.time)},
                {"how", kHow[static_cast<int>(ended.how)]},
                {"records", ended.records}}
        .dump();
}

std::string ackMessage(const std::string& id, bool done, const std::string& why) {
    json message = {{"id", id}, {"done", done}};
    if (!done) {
        message["why"] = why;
    }
    return message.dump();
}

tParsedCommand parseCommand(std::string_view payload) {
    tParsedCommand parsed;
    const std::optional<json> message = parseObject(payload);
    if (!message) {
        parsed.why = "not a JSON object";
        return parsed;
    }
    const auto id = message->find("id");
    if (id == message->end() || !id->is_string() || id->get<std::string>().empty()) {
        parsed.why = "no \"id\"";
        return parsed;
    }
    parsed.id = id->get<std::string>();
    const auto cmd = message->find("cmd");
    if (cmd == message->end() || !cmd->is_string()) {
        parsed.why = "no \"cmd\"";
    } else if (cmd->get<std::string>() != "stop") {
        parsed.why = "unknown command \"" + cmd->get<std::string>() + "\"";
    } else {
        parsed.command = tClassCommand{parsed.id, "stop"};
    }
    return parsed;
}

tParsedReplay parseReplay(std::string_view payload) {
    tParsedReplay parsed;
    const std::optional<json> message = parseObject(payload);
    if (!message) {
        parsed.why = "not a JSON object";
        return parsed;
    }
    const auto run = message->find("run");
    if (run == message->end() || !run->is_string() || !isContractName(run->get<std::string>())) {
        parsed.why = "no valid \"run\"";
        return parsed;
    }
    tReplayRequest request{run->get<std::string>(), 0};
    const auto from = message->find("from");
    if (from != message->end()) {
        if (!from->is_number_integer() || from->get<long>() < 0) {
            parsed.why = "\"from\" is not a record index";
            return parsed;
        }
        request.from = from->get<long>();
    }
    parsed.request = request;
    return parsed;
}

std::optional<tRecordsMessage> parseRecords(std::string_view payload) {
    const std::optional<json> message = parseObject(payload);
    if (!message) {
        return std::nullopt;
    }
    try {
        tRecordsMessage parsed;
        parsed.seq0 = message->at("seq0").get<long>();
        const json& t = message->at("t");
        const json& v = message->at("v");
        if (!t.is_array() || !v.is_array() || t.size() != v.size() || parsed.seq0 < 0) {
            return std::nullopt;
        }
        for (std::size_t k = 0; k < t.size(); ++k) {
            tReadingSet set;
            set.time = t[k].get<float>();
            if (!v[k].is_array() || v[k].size() != kQuantityCount) {
                return std::nullopt;
            }
            for (std::size_t i = 0; i < kQuantityCount; ++i) {
                set.readings[i] = v[k][i].get<float>();
            }
            parsed.records.push_back(set);
        }
        return parsed;
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

}  // namespace vantrel::classlink
