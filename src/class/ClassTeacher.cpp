#include "class/ClassTeacher.h"

#include <iterator>
#include <random>

#include "class/MqttLink.h"

namespace vantrel {

namespace {

constexpr std::chrono::milliseconds kGoodbyeWait{1000};
// A lesson's retained topics get this long to be cleared at its end.
constexpr std::chrono::milliseconds kClearWait{3000};

std::string randomHex(int digits) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::random_device random;
    std::uniform_int_distribution<int> pick(0, 15);
    std::string text;
    for (int i = 0; i < digits; ++i) {
        text += kHex[pick(random)];
    }
    return text;
}

}  // namespace

tClassTeacher::tClassTeacher(tTeacherSettings settings,
                             std::function<void(const std::string&)> told)
    : settings_(std::move(settings)), told_(std::move(told)), roster_(settings_.className) {
    tMqttSettings mqtt;
    parseBrokerAddress(settings_.broker, mqtt.host, mqtt.port);
    mqtt.user = settings_.user;
    mqtt.password = settings_.password;
    // Two teachers' programs on one class must not throw each other out.
    mqtt.clientId = "teacher-" + randomHex(8);
    mqtt.subscriptions = {std::string(classlink::kRoot) + settings_.className + "/st/#"};
    link_ = std::make_unique<tMqttLink>(std::move(mqtt));
    classlink::logLine("teacher of class \"" + settings_.className + "\" on " + settings_.broker);
    tell("class: not connected");
}

tClassTeacher::~tClassTeacher() {
    Close();
}

void tClassTeacher::Tick(tTime now) {
    tMqttLink::tNews news = link_->Take();
    for (const tMqttMessage& message : news.messages) {
        for (const tClassRoster::tReply& reply : roster_.Take(message, now)) {
            link_->Publish(reply.topic, reply.payload, 1, false);
        }
    }
    for (const tClassRoster::tReply& reply : roster_.Tick(now)) {
        link_->Publish(reply.topic, reply.payload, 1, false);
    }
    roster_.StopTimeout(now, kStopAnswerTime);
    connected_ = news.connected;
    if (closed_) {
        tell("class: closed");
    } else if (news.connected) {
        tell("class: " + settings_.className + " on " + settings_.broker);
    } else {
        tell("class: not connected" + (news.why.empty() ? "" : " (" + news.why + ")"));
    }
}

std::string tClassTeacher::StopAll(tTime now) {
    const std::string id = "stop-" + std::to_string(++stops_) + "-" + randomHex(6);
    link_->PublishExpiring(std::string(classlink::kRoot) + settings_.className + "/cmd/all",
                           classlink::commandMessage(id, "stop"), classlink::kCommandExpirySeconds);
    roster_.StopSent(id, now);
    classlink::logLine("stop " + id + " sent to every station of the class (" +
                       std::to_string(roster_.Cards().size()) + " known)");
    return id;
}

bool tClassTeacher::EndLesson() {
    Tick(std::chrono::steady_clock::now());  // what arrived last is cleared too
    const bool reached = connected_;
    const std::set<std::string>& topics = roster_.RetainedTopics();
    classlink::logLine("lesson ended: " + std::to_string(topics.size()) +
                       " retained topics cleared" +
                       (reached ? "" : " (the broker was not reachable)"));
    if (closed_) {
        return false;
    }
    closed_ = true;
    if (topics.empty()) {
        link_->Close({}, {}, kGoodbyeWait);
        return reached;
    }
    // The broker answers in order: once the last is acknowledged, all are.
    for (auto topic = topics.begin(); topic != std::prev(topics.end()); ++topic) {
        link_->Publish(*topic, "", 1, true);
    }
    link_->Close(*topics.rbegin(), "", kClearWait);
    return reached;
}

void tClassTeacher::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    link_->Close({}, {}, kGoodbyeWait);
}

void tClassTeacher::tell(const std::string& text) {
    if (text != statusText_) {
        statusText_ = text;
        if (told_) {
            told_(text);
        }
    }
}

}  // namespace vantrel
