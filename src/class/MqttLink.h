#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

// What the class's publisher needs of its broker: a link, or a test's fake.
class iClassOutlet {
public:
    virtual ~iClassOutlet() = default;
    // Hands a message to the link and returns at once. QoS 1 messages are
    // kept until the broker has them, across a lost connection; QoS 0 ones
    // go only while connected. False when the message itself is refused.
    virtual bool Publish(const std::string& topic, const std::string& payload, int qos,
                         bool retain) = 0;
};

// Where and as whom a link connects, and what it listens to.
struct tMqttSettings {
    std::string host;
    int port = 1883;
    std::string user;  // empty: anonymous
    std::string password;
    std::string clientId;
    std::string willTopic;  // retained, QoS 1, told by the broker if the link dies
    std::string willPayload;
    std::vector<std::string> subscriptions;  // QoS 1, again on every connection
};

struct tMqttMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

// An MQTT 5 client on libmosquitto with a network thread of its own: it
// connects, keeps the connection and reconnects, so that no call from the
// program's thread ever waits for the network. The program collects what
// happened with Take.
class tMqttLink : public iClassOutlet {
public:
    explicit tMqttLink(tMqttSettings settings);
    // Leaves without a word (the broker tells the last will); Close first
    // for a polite end.
    ~tMqttLink() override;
    tMqttLink(const tMqttLink&) = delete;
    tMqttLink& operator=(const tMqttLink&) = delete;

    bool Publish(const std::string& topic, const std::string& payload, int qos,
                 bool retain) override;
    // A QoS 1 message the broker drops when it could not deliver it within
    // `expirySeconds` (a command: stale orders are no orders).
    bool PublishExpiring(const std::string& topic, const std::string& payload, int expirySeconds);

    // What the network thread saw since the last call.
    struct tNews {
        std::vector<tMqttMessage> messages;  // in the order they arrived
        bool connected = false;              // now
        long connections = 0;                // connections made so far
        std::string why;                     // why not connected (the broker's reason)
    };
    tNews Take();

    // The polite end: `payload` retained on `topic` (the station going
    // offline), waited for at most `wait`, then the disconnect.
    void Close(const std::string& topic, const std::string& payload,
               std::chrono::milliseconds wait);

    struct tShared;

private:
    std::shared_ptr<tShared> shared_;
};

// "host", "host:port" or "[v6]:port"; false for anything else.
bool parseBrokerAddress(const std::string& text, std::string& host, int& port);

}  // namespace vantrel
