#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "class/ClassContract.h"
#include "class/ClassPublisher.h"

namespace vantrel {

class tMqttLink;
class tSettings;
class tStationSession;

// A front end's options for the class link; each given one replaces its key.
struct tClassOptions {
    std::optional<std::string> broker;
    std::optional<std::string> className;
    std::optional<std::string> stationName;
};

// Where a station publishes and under which names: the configuration's
// keys, each replaced by a front end's option when given.
struct tClassSettings {
    std::string broker;  // HOST[:PORT]; empty: no class link
    std::string className;
    std::string stationName;
    std::string user;
    std::string password;

    static tClassSettings Read(const tSettings& settings, const tClassOptions& options = {});
    // Why these settings cannot make a link; empty when they can.
    std::string Problem() const;
};

// One station in its class: its runs published as the journal has them,
// its status kept on the broker (and the broker's last will saying when the
// program vanished), the teacher's stop carried out through the station's
// safety rules and acknowledged, and old runs published again on request.
// Nothing here waits for the network; a broker out of reach only shows in
// the status text, and what it missed goes out when it is back.
class tClassStation {
public:
    // `told` hears the status text ("class: ...") whenever it changes.
    tClassStation(tStationSession& session, tClassSettings settings,
                  std::function<void(const std::string&)> told);
    ~tClassStation();
    tClassStation(const tClassStation&) = delete;
    tClassStation& operator=(const tClassStation&) = delete;

    // Carries out what arrived and publishes what is due; call it from the
    // session's own thread with the steady clock's time, as often as Tick.
    void Tick(std::chrono::steady_clock::time_point now);
    // The program ends: the station says it is offline and leaves (the
    // destructor does it too, unless done).
    void Close();
    // What the group found in its run (the class's results table reads it),
    // kept on the broker until the next result.
    // The run named is the last one when `result.run` is empty.
    void PublishResult(classlink::tResult result);

    const std::string& StatusText() const { return statusText_; }

private:
    void handle(const std::string& topic, const std::string& payload, bool retained);
    void command(const std::string& payload);
    void acknowledge(const std::string& id, bool done, const std::string& why);
    classlink::tStatus status() const;
    void publishStatus();
    void tell(const std::string& text);

    tStationSession& session_;
    tClassSettings settings_;
    std::function<void(const std::string&)> told_;
    classlink::tTopics topics_;
    std::unique_ptr<tMqttLink> link_;
    std::unique_ptr<tClassPublisher> publisher_;
    std::string statusText_;
    std::string published_;  // the status message the broker has
    std::string result_;     // the newest result message, again after a reconnection
    long connections_ = 0;
    bool closed_ = false;
    std::chrono::steady_clock::time_point nextFlush_{};
};

// The class link a front end asked for: none when `settings` name no
// broker; none either, with "class: off: why" told, when they cannot be used.
// The station works the same without one.
std::unique_ptr<tClassStation> startClassStation(tStationSession& session, tClassSettings settings,
                                                 std::function<void(const std::string&)> told);

}  // namespace vantrel
