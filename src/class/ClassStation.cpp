#include "class/ClassStation.h"

#include "base/Settings.h"
#include "base/Texts.h"
#include "base/VersionInfo.h"
#include "class/MqttLink.h"
#include "experiment/Experiment.h"
#include "experiment/State.h"
#include "station/StationSession.h"

namespace vantrel {

namespace {

constexpr std::chrono::seconds kFlushInterval{1};
// The offline status gets this long to reach the broker at the end.
constexpr std::chrono::milliseconds kGoodbyeWait{1000};

// A journal's name without its folder and extension; the start time in the
// journals' own form when the run has no journal.
std::string runNameOf(const std::string& journalFile, const tRunStart& start) {
    std::string name = journalFile.substr(journalFile.find_last_of("/\\") + 1);
    name = name.substr(0, name.rfind('.'));
    if (!name.empty() && classlink::isContractName(name)) {
        return name;
    }
    name.clear();
    for (const char c : start.started) {
        if (c == ' ') {
            name += '_';
        } else if (c != ':') {
            name += c;
        }
    }
    return classlink::isContractName(name) ? name : "run";
}

}  // namespace

tClassSettings tClassSettings::Read(const tSettings& settings, const tClassOptions& options) {
    auto value = [&settings](const std::optional<std::string>& option, const char* key) {
        return option ? *option : settings.GetSettingByName(key);
    };
    return {value(options.broker, "ClassBroker"), value(options.className, "ClassName"),
            value(options.stationName, "StationName"), settings.GetSettingByName("ClassUser"),
            settings.GetSettingByName("ClassPassword")};
}

std::string tClassSettings::Problem() const {
    std::string host;
    int port = 0;
    if (!parseBrokerAddress(broker, host, port)) {
        return "the broker \"" + broker + "\" is not HOST or HOST:PORT";
    }
    if (!classlink::isContractName(className)) {
        return className.empty() ? "no class name (ClassName=)"
                                 : "the class name \"" + className +
                                       "\" may not hold / + # or control characters";
    }
    if (!classlink::isContractName(stationName)) {
        return stationName.empty() ? "no station name (StationName=)"
                                   : "the station name \"" + stationName +
                                         "\" may not hold / + # or control characters";
    }
    return {};
}

std::unique_ptr<tClassStation> startClassStation(tStationSession& session, tClassSettings settings,
                                                 std::function<void(const std::string&)> told) {
    if (settings.broker.empty()) {
        return nullptr;
    }
    if (const std::string problem = settings.Problem(); !problem.empty()) {
        classlink::logLine("off: " + problem);
        if (told) {
            told("class: off: " + problem);
        }
        return nullptr;
    }
    return std::make_unique<tClassStation>(session, std::move(settings), std::move(told));
}

tClassStation::tClassStation(tStationSession& session, tClassSettings settings,
                             std::function<void(const std::string&)> told)
    : session_(session),
      settings_(std::move(settings)),
      told_(std::move(told)),
      topics_(settings_.className, settings_.stationName) {
    tMqttSettings mqtt;
    parseBrokerAddress(settings_.broker, mqtt.host, mqtt.port);
    mqtt.user = settings_.user;
    mqtt.password = settings_.password;
    // The station's name is its client id: a broker's rules can then keep
    // each station to its own topics.
    mqtt.clientId = settings_.stationName;
    mqtt.willTopic = topics_.Status();
    mqtt.willPayload = classlink::offlineMessage();
    mqtt.subscriptions = {topics_.CommandAll(), topics_.CommandOwn(settings_.stationName),
                          topics_.Replay()};
    link_ = std::make_unique<tMqttLink>(std::move(mqtt));
    publisher_ = std::make_unique<tClassPublisher>(
        *link_, topics_,
        [this](const tRunStart& start) { return runNameOf(session_.Run().JournalFile(), start); },
        [this] { return session_.PeriodMs(); });
    session_.AddRunListener(*publisher_);
    classlink::logLine("station \"" + settings_.stationName + "\" of class \"" +
                       settings_.className + "\" on " + settings_.broker);
    tell("class: not connected");
}

tClassStation::~tClassStation() {
    session_.RemoveRunListener(*publisher_);
    Close();
}

void tClassStation::Tick(std::chrono::steady_clock::time_point now) {
    tMqttLink::tNews news = link_->Take();
    for (const tMqttMessage& message : news.messages) {
        handle(message.topic, message.payload, message.retained);
    }
    if (news.connected) {
        if (news.connections != connections_) {
            // Connected again, perhaps to a broker that restarted and forgot
            // what it kept: the status and the open run's meta again.
            if (connections_ > 0) {
                publisher_->Republish();
                if (!result_.empty()) {
                    link_->Publish(topics_.Result(), result_, 1, true);
                }
            }
            connections_ = news.connections;
            published_.clear();
            classlink::logLine("connected to " + settings_.broker);
        }
        tell("class: " + settings_.className + "/" + settings_.stationName + " on " +
             settings_.broker);
    } else {
        tell("class: not connected" + (news.why.empty() ? "" : " (" + news.why + ")"));
    }
    if (now >= nextFlush_) {
        nextFlush_ =
            now - nextFlush_ > kFlushInterval ? now + kFlushInterval : nextFlush_ + kFlushInterval;
        publisher_->Flush();
    }
    publishStatus();
}

void tClassStation::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    publisher_->Flush();
    // What the station switched off on its way out, before it says goodbye:
    // the teacher's card must not keep a pump running that is off.
    publishStatus();
    link_->Close(topics_.Status(), classlink::offlineMessage(), kGoodbyeWait);
}

void tClassStation::PublishResult(classlink::tResult result) {
    if (result.run.empty()) {
        result.run = publisher_->RunName();
    }
    result_ = classlink::resultMessage(result);
    link_->Publish(topics_.Result(), result_, 1, true);
}

void tClassStation::handle(const std::string& topic, const std::string& payload, bool retained) {
    if (topic == topics_.Replay()) {
        const classlink::tParsedReplay parsed = classlink::parseReplay(payload);
        if (!parsed.request) {
            classlink::logLine("replay request refused: " + parsed.why);
            return;
        }
        if (const auto why = publisher_->Replay(*parsed.request, session_.JournalFolder())) {
            classlink::logLine("replay refused: " + *why);
        } else {
            classlink::logLine("replayed run " + parsed.request->run + " from record " +
                               std::to_string(parsed.request->from));
        }
        return;
    }
    const classlink::tParsedCommand parsed = classlink::parseCommand(payload);
    if (retained) {
        // A command kept on the broker is no order given now.
        classlink::logLine("retained command on " + topic + " ignored");
        if (!parsed.id.empty()) {
            acknowledge(parsed.id, false, "a retained command is not carried out");
        }
        return;
    }
    if (!parsed.command) {
        classlink::logLine("command on " + topic + " refused: " + parsed.why);
        if (!parsed.id.empty()) {
            acknowledge(parsed.id, false, parsed.why);
        }
        return;
    }
    const std::string why = session_.StopAll(constantText("DK_SAFE_CLASS_STOP"), "CLASS STOP");
    classlink::logLine("stop " + parsed.id +
                       (why.empty() ? " carried out" : " not carried out: " + why));
    acknowledge(parsed.id, why.empty(), why);
}

void tClassStation::acknowledge(const std::string& id, bool done, const std::string& why) {
    link_->Publish(topics_.Ack(), classlink::ackMessage(id, done, why), 1, false);
}

classlink::tStatus tClassStation::status() const {
    classlink::tStatus status;
    status.app = versionString("FileVersion");
    status.experiment = session_.Experiment().GetName();
    status.period = session_.PeriodMs() / 1000.0;
    for (std::size_t k = 0; k < status.outputs.size(); ++k) {
        const tActuator& actuator = session_.Actuators()[k];
        status.outputs[k] = actuator.state != 0 ? (actuator.speed != 0 ? actuator.speed : 1) : 0;
    }
    status.safety = publisher_->LastIntervention();
    if (const tState* state = session_.Experiment().GetCurrentState();
        state != nullptr && session_.IsMeasuring()) {
        status.scenario = state->Name();
    }
    if (session_.IsMeasuring()) {
        status.run = publisher_->RunName();
        status.state = session_.IsPaused() ? "paused" : "measuring";
    } else if (session_.IsReconnecting()) {
        status.state = "reconnecting";
    } else if (!session_.IsConnected()) {
        status.state = "no station";
    } else {
        status.state = session_.IsWatching() ? "watching" : "connected";
    }
    return status;
}

void tClassStation::publishStatus() {
    const std::string message = classlink::statusMessage(status());
    if (message != published_ && connections_ > 0) {
        if (link_->Publish(topics_.Status(), message, 1, true)) {
            published_ = message;
        }
    }
}

void tClassStation::tell(const std::string& text) {
    if (text != statusText_) {
        statusText_ = text;
        if (told_) {
            told_(text);
        }
    }
}

}  // namespace vantrel
