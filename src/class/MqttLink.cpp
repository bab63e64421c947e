#include "class/MqttLink.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace vantrel {

namespace {

constexpr int kKeepAliveSeconds = 10;
// A station's session outlives a short cut, so that a command sent meanwhile
// still reaches it (commands expire sooner, after a minute).
constexpr std::uint32_t kSessionExpirySeconds = 300;
constexpr std::chrono::milliseconds kFirstRetry{500};
constexpr std::chrono::milliseconds kLongestRetry{5000};
// How long the program waits for the network thread at its end before it
// leaves it behind (a connect stuck on an unreachable host).
constexpr std::chrono::milliseconds kThreadEndWait{2000};

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string errorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO) {
        return std::strerror(errno);
    }
    return mosquitto_strerror(rc);
}

}  // namespace

struct tMqttLink::tShared {
    tMqttSettings settings;
    mosquitto* mosq = nullptr;  // the network thread destroys it at its end
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable changed;
    tNews news;  // collected for Take; `connected` and `why` are current
    bool finished = false;
    int closeMid = -1;
    bool closeAcked = false;

    bool refused = false;  // `why` is the broker's answer to the connect

    void run();
    void connected(int rc);
    void lost(const std::string& why);
    void unreachable(const std::string& why);
};

void tMqttLink::tShared::connected(int rc) {
    std::lock_guard<std::mutex> lock(mutex);
    if (rc != 0) {
        news.connected = false;
        news.why = mosquitto_reason_string(rc);
        refused = true;
        return;
    }
    news.connected = true;
    ++news.connections;
    news.why.clear();
    refused = false;
    for (const std::string& topic : settings.subscriptions) {
        mosquitto_subscribe_v5(mosq, nullptr, topic.c_str(), 1, 0, nullptr);
    }
}

void tMqttLink::tShared::lost(const std::string& why) {
    std::lock_guard<std::mutex> lock(mutex);
    news.connected = false;
    // The broker's refusal (of the account) tells more than the closed
    // connection that follows it.
    if (!refused) {
        news.why = why;
    }
}

void tMqttLink::tShared::unreachable(const std::string& why) {
    std::lock_guard<std::mutex> lock(mutex);
    news.connected = false;
    news.why = why;
    refused = false;
}

void tMqttLink::tShared::run() {
    using tClock = std::chrono::steady_clock;
    std::chrono::milliseconds retry = kFirstRetry;
    auto nextTry = tClock::now();
    bool up = false;  // a socket is open
    while (!stop) {
        if (!up) {
            if (tClock::now() < nextTry) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                continue;
            }
            mosquitto_property* properties = nullptr;
            mosquitto_property_add_int32(&properties, MQTT_PROP_SESSION_EXPIRY_INTERVAL,
                                         kSessionExpirySeconds);
            const int rc = mosquitto_connect_bind_v5(mosq, settings.host.c_str(), settings.port,
                                                     kKeepAliveSeconds, nullptr, properties);
            mosquitto_property_free_all(&properties);
            if (rc != MOSQ_ERR_SUCCESS) {
                unreachable(errorText(rc));
                nextTry = tClock::now() + retry;
                retry = std::min(retry * 2, kLongestRetry);
                continue;
            }
            up = true;
        }
        const int rc = mosquitto_loop(mosq, 100, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            up = false;
            lost(rc == MOSQ_ERR_CONN_LOST ? "connection lost" : errorText(rc));
            nextTry = tClock::now() + retry;
            retry = std::min(retry * 2, kLongestRetry);
        } else {
            std::lock_guard<std::mutex> lock(mutex);
            if (news.connected) {
                retry = kFirstRetry;
            }
        }
    }
    if (up) {
        mosquitto_disconnect_v5(mosq, MQTT_RC_NORMAL_DISCONNECTION, nullptr);
        mosquitto_loop(mosq, 100, 1);  // lets the disconnect out
    }
    mosquitto_destroy(mosq);
    mosq = nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    finished = true;
    changed.notify_all();
}

tMqttLink::tMqttLink(tMqttSettings settings) : shared_(std::make_shared<tShared>()) {
    initLibrary();
    shared_->settings = std::move(settings);
    tShared& s = *shared_;
    s.mosq = mosquitto_new(s.settings.clientId.c_str(), false, &s);
    if (s.mosq == nullptr) {
        throw std::runtime_error("the MQTT client cannot be made: " + errorText(MOSQ_ERR_ERRNO));
    }
    mosquitto_int_option(s.mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    mosquitto_threaded_set(s.mosq, true);
    if (!s.settings.user.empty()) {
        mosquitto_username_pw_set(s.mosq, s.settings.user.c_str(), s.settings.password.c_str());
    }
    if (!s.settings.willTopic.empty()) {
        mosquitto_will_set_v5(s.mosq, s.settings.willTopic.c_str(),
                              static_cast<int>(s.settings.willPayload.size()),
                              s.settings.willPayload.data(), 1, true, nullptr);
    }
    mosquitto_connect_v5_callback_set(
        s.mosq, [](mosquitto*, void* self, int rc, int, const mosquitto_property*) {
            static_cast<tShared*>(self)->connected(rc);
        });
    mosquitto_disconnect_v5_callback_set(
        s.mosq, [](mosquitto*, void* self, int rc, const mosquitto_property*) {
            auto& shared = *static_cast<tShared*>(self);
            shared.lost(rc == 0 ? "disconnected" : mosquitto_reason_string(rc));
        });
    mosquitto_message_v5_callback_set(s.mosq, [](mosquitto*, void* self,
                                                 const mosquitto_message* message,
                                                 const mosquitto_property*) {
        auto& shared = *static_cast<tShared*>(self);
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.news.messages.push_back({message->topic,
                                        std::string(static_cast<const char*>(message->payload),
                                                    static_cast<std::size_t>(message->payloadlen)),
                                        message->retain});
    });
    mosquitto_publish_v5_callback_set(
        s.mosq, [](mosquitto*, void* self, int mid, int, const mosquitto_property*) {
            auto& shared = *static_cast<tShared*>(self);
            std::lock_guard<std::mutex> lock(shared.mutex);
            if (mid == shared.closeMid) {
                shared.closeAcked = true;
                shared.changed.notify_all();
            }
        });
    std::thread([shared = shared_] { shared->run(); }).detach();
}

tMqttLink::~tMqttLink() {
    shared_->stop = true;
    std::unique_lock<std::mutex> lock(shared_->mutex);
    // A thread still stuck in a connect ends on its own later; it holds its
    // own share of what it needs.
    shared_->changed.wait_for(lock, kThreadEndWait, [this] { return shared_->finished; });
}

bool tMqttLink::Publish(const std::string& topic, const std::string& payload, int qos,
                        bool retain) {
    if (shared_->stop) {
        return false;
    }
    const int rc = mosquitto_publish_v5(shared_->mosq, nullptr, topic.c_str(),
                                        static_cast<int>(payload.size()), payload.data(), qos,
                                        retain, nullptr);
    return rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN;
}

bool tMqttLink::PublishExpiring(const std::string& topic, const std::string& payload,
                                int expirySeconds) {
    if (shared_->stop) {
        return false;
    }
    mosquitto_property* properties = nullptr;
    mosquitto_property_add_int32(&properties, MQTT_PROP_MESSAGE_EXPIRY_INTERVAL,
                                 static_cast<std::uint32_t>(expirySeconds));
    const int rc = mosquitto_publish_v5(shared_->mosq, nullptr, topic.c_str(),
                                        static_cast<int>(payload.size()), payload.data(), 1, false,
                                        properties);
    mosquitto_property_free_all(&properties);
    return rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN;
}

tMqttLink::tNews tMqttLink::Take() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    tNews news;
    news.messages.swap(shared_->news.messages);
    news.connected = shared_->news.connected;
    news.connections = shared_->news.connections;
    news.why = shared_->news.why;
    return news;
}

void tMqttLink::Close(const std::string& topic, const std::string& payload,
                      std::chrono::milliseconds wait) {
    tShared& s = *shared_;
    std::unique_lock<std::mutex> lock(s.mutex);
    if (!s.news.connected || s.stop) {
        return;  // the broker tells the last will
    }
    lock.unlock();
    int mid = -1;
    mosquitto_publish_v5(s.mosq, &mid, topic.c_str(), static_cast<int>(payload.size()),
                         payload.data(), 1, true, nullptr);
    lock.lock();
    s.closeMid = mid;
    s.changed.wait_for(lock, wait, [&s] { return s.closeAcked || !s.news.connected; });
}

bool parseBrokerAddress(const std::string& text, std::string& host, int& port) {
    std::string rest;  // after the host: empty or ":PORT"
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos) {
            return false;
        }
        host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
    } else {
        const std::size_t colon = text.find(':');
        if (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos) {
            return false;  // a bare IPv6 address needs its brackets
        }
        host = text.substr(0, colon);
        rest = colon == std::string::npos ? std::string() : text.substr(colon);
    }
    if (host.empty() || host.find_first_of(" \t/") != std::string::npos) {
        return false;
    }
    port = 1883;
    if (rest.empty()) {
        return true;
    }
    if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6) {
        return false;
    }
    int value = 0;
    for (const char c : rest.substr(1)) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) {
        return false;
    }
    port = value;
    return true;
}

}  // namespace vantrel
