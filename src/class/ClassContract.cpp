#include "class/ClassContract.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "base/Encoding.h"
#include "base/LogFile.h"
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
    if (status.period > 0) {
        message["period"] = status.period;
    }
    message["outputs"] = {{"heater", status.outputs[0]},
                          {"stirrer", status.outputs[1]},
                          {"pumps", {status.outputs[2], status.outputs[3], status.outputs[4]}}};
    if (!status.safety.empty()) {
        message["safety"] = status.safety;
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

std::string resultMessage(const tResult& result) {
    json message = {{"run", result.run},
                    {"experiment", result.experiment},
                    {"duration", std::round(result.duration * 1000.0) / 1000.0},
                    {"records", result.records}};
    if (result.volume && result.pH) {
        message["equivalence"] = {{"V", *result.volume}, {"pH", *result.pH}};
    }
    if (result.fit) {
        const tFitResult& fit = *result.fit;
        message["fit"] = {{"model", fit.model},       {"quantity", fit.quantity},
                          {"abscissa", fit.abscissa}, {"a", fit.parameters[0]},
                          {"b", fit.parameters[1]},   {"c", fit.parameters[2]},
                          {"x0", fit.origin},         {"r2", fit.rSquared}};
    }
    return message.dump();
}

std::string commandMessage(const std::string& id, const std::string& cmd) {
    return json{{"id", id}, {"cmd", cmd}}.dump();
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

namespace {

// A JSON number as T, or the fallback when it is none or T cannot hold it:
// a message from the network must not make 1e300 an int, nor a reading
// infinite.
template <class T>
T numberOr(const json& value, T fallback) {
    if (!value.is_number()) {
        return fallback;
    }
    if constexpr (std::is_integral_v<T>) {
        if (value.is_number_unsigned()) {
            const auto n = value.get<std::uint64_t>();
            return n <= static_cast<std::uint64_t>(std::numeric_limits<T>::max())
                       ? static_cast<T>(n)
                       : fallback;
        }
        if (value.is_number_integer()) {
            const auto n = value.get<std::int64_t>();
            return n >= std::numeric_limits<T>::min() && n <= std::numeric_limits<T>::max()
                       ? static_cast<T>(n)
                       : fallback;
        }
        return fallback;  // 1.5 is no count
    } else {
        const double n = value.get<double>();
        return std::isfinite(n) && std::abs(n) <= std::numeric_limits<T>::max() ? static_cast<T>(n)
                                                                                : fallback;
    }
}

// The value of `key` when it is there with the type asked for; the
// fallback otherwise, so that a reader of a newer station keeps working.
template <class T>
T field(const json& message, const char* key, T fallback) {
    const auto found = message.find(key);
    if (found == message.end()) {
        return fallback;
    }
    if constexpr (std::is_same_v<T, std::string>) {
        return found->is_string() ? found->get<std::string>() : fallback;
    } else if constexpr (std::is_same_v<T, bool>) {
        return found->is_boolean() ? found->get<bool>() : fallback;
    } else {
        return numberOr<T>(*found, fallback);
    }
}

std::optional<tReadingSet> readingSet(const json& t, const json& v) {
    if (!t.is_number() || !v.is_array() || v.size() != kQuantityCount) {
        return std::nullopt;
    }
    constexpr float kNone = std::numeric_limits<float>::infinity();
    tReadingSet set;
    set.time = numberOr(t, kNone);
    for (std::size_t i = 0; i < kQuantityCount; ++i) {
        set.readings[i] = numberOr(v[i], kNone);
        if (set.readings[i] == kNone) {
            return std::nullopt;
        }
    }
    if (set.time == kNone) {
        return std::nullopt;
    }
    return set;
}

}  // namespace

std::optional<tRecordsMessage> parseRecords(std::string_view payload) {
    const std::optional<json> message = parseObject(payload);
    if (!message) {
        return std::nullopt;
    }
    try {
        tRecordsMessage parsed;
        parsed.seq0 = numberOr<long>(message->at("seq0"), -1);
        const json& t = message->at("t");
        const json& v = message->at("v");
        if (!t.is_array() || !v.is_array() || t.size() != v.size() || parsed.seq0 < 0) {
            return std::nullopt;
        }
        for (std::size_t k = 0; k < t.size(); ++k) {
            const std::optional<tReadingSet> set = readingSet(t[k], v[k]);
            if (!set) {
                return std::nullopt;
            }
            parsed.records.push_back(*set);
        }
        return parsed;
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

std::optional<tStatus> parseStatus(std::string_view payload) {
    const std::optional<json> message = parseObject(payload);
    if (!message || !message->contains("online") || !(*message)["online"].is_boolean()) {
        return std::nullopt;
    }
    tStatus status;
    status.online = (*message)["online"].get<bool>();
    status.run = field<std::string>(*message, "run", "");
    status.state = field<std::string>(*message, "state", "");
    status.scenario = field<std::string>(*message, "scenario", "");
    status.experiment = field<std::string>(*message, "experiment", "");
    status.app = field<std::string>(*message, "app", "");
    status.broker = field<std::string>(*message, "broker", "");
    status.period = field<double>(*message, "period", 0.0);
    status.safety = field<std::string>(*message, "safety", "");
    if (const auto outputs = message->find("outputs");
        outputs != message->end() && outputs->is_object()) {
        status.outputs[0] = field<int>(*outputs, "heater", 0);
        status.outputs[1] = field<int>(*outputs, "stirrer", 0);
        if (const auto pumps = outputs->find("pumps");
            pumps != outputs->end() && pumps->is_array() && pumps->size() == 3) {
            for (std::size_t k = 0; k < 3; ++k) {
                status.outputs[2 + k] = numberOr((*pumps)[k], 0);
            }
        }
    }
    return status;
}

std::optional<tResult> parseResult(std::string_view payload) {
    const std::optional<json> message = parseObject(payload);
    if (!message) {
        return std::nullopt;
    }
    tResult result;
    result.run = field<std::string>(*message, "run", "");
    result.experiment = field<std::string>(*message, "experiment", "");
    result.duration = field<double>(*message, "duration", 0.0);
    result.records = field<long>(*message, "records", 0L);
    if (const auto eq = message->find("equivalence");
        eq != message->end() && eq->is_object() && eq->contains("V") && (*eq)["V"].is_number() &&
        eq->contains("pH") && (*eq)["pH"].is_number()) {
        result.volume = (*eq)["V"].get<double>();
        result.pH = (*eq)["pH"].get<double>();
    }
    if (const auto fit = message->find("fit"); fit != message->end() && fit->is_object()) {
        tFitResult parsed;
        parsed.model = field<std::string>(*fit, "model", "");
        parsed.quantity = field<std::string>(*fit, "quantity", "");
        parsed.abscissa = field<std::string>(*fit, "abscissa", "t");
        parsed.parameters = {field<double>(*fit, "a", 0.0), field<double>(*fit, "b", 0.0),
                             field<double>(*fit, "c", 0.0)};
        parsed.origin = field<double>(*fit, "x0", 0.0);
        parsed.rSquared = field<double>(*fit, "r2", 0.0);
        result.fit = parsed;
    }
    return result;
}

std::optional<tLastMessage> parseLast(std::string_view payload) {
    const std::optional<json> message = parseObject(payload);
    if (!message || !message->contains("t") || !message->contains("v")) {
        return std::nullopt;
    }
    const std::optional<tReadingSet> set = readingSet((*message)["t"], (*message)["v"]);
    if (!set) {
        return std::nullopt;
    }
    return tLastMessage{field<std::string>(*message, "run", ""), field<long>(*message, "seq", 0L),
                        *set};
}

std::optional<tMetaMessage> parseMeta(std::string_view payload) {
    const std::optional<json> message = parseObject(payload);
    if (!message || !message->contains("run")) {
        return std::nullopt;
    }
    tMetaMessage meta;
    meta.run = field<std::string>(*message, "run", "");
    meta.period = field<double>(*message, "period", 0.0);
    meta.volumeCoefficient = field<double>(*message, "volumeCoefficient", 0.0);
    meta.experiment = field<std::string>(*message, "experiment", "");
    meta.started = field<std::string>(*message, "started", "");
    if (const auto quantities = message->find("quantities");
        quantities != message->end() && quantities->is_array()) {
        for (std::size_t i = 0; i < std::min<std::size_t>(quantities->size(), kQuantityCount);
             ++i) {
            if ((*quantities)[i].is_object()) {
                meta.names[i] = field<std::string>((*quantities)[i], "name", "");
                meta.relative[i] = field<bool>((*quantities)[i], "relative", false);
            }
        }
    }
    return meta;
}

std::optional<tEventMessage> parseEvent(std::string_view payload) {
    const std::optional<json> message = parseObject(payload);
    if (!message) {
        return std::nullopt;
    }
    tEventMessage event;
    event.type = field<std::string>(*message, "type", "");
    if (event.type.empty()) {
        return std::nullopt;
    }
    event.t = field<double>(*message, "t", 0.0);
    event.text = field<std::string>(*message, event.type == "transition" ? "name" : "text", "");
    event.records = field<long>(*message, "records", -1L);
    return event;
}

std::optional<tAckMessage> parseAck(std::string_view payload) {
    const std::optional<json> message = parseObject(payload);
    if (!message || !message->contains("id") || !message->contains("done")) {
        return std::nullopt;
    }
    return tAckMessage{field<std::string>(*message, "id", ""), field<bool>(*message, "done", false),
                       field<std::string>(*message, "why", "")};
}

void logLine(const std::string& text) {
    logFile->WriteLine("CLASS: " + text);
}

}  // namespace vantrel::classlink
