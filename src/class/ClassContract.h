#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/Readings.h"
#include "run/RunEvent.h"

// What a station and its readers say to each other on the school's broker:
// the topics under vantrel/1/CLASS/ and their JSON messages. The README's
// class section is the reader's side of the same contract.
namespace vantrel::classlink {

inline constexpr std::string_view kRoot = "vantrel/1/";
// A command older than this is no longer carried out (the broker drops it).
inline constexpr int kCommandExpirySeconds = 60;
// The units the messages carry, per quantity code.
inline constexpr std::array<std::string_view, kQuantityCount> kUnits = {"°C", "",   "mS/cm", "V",
                                                                        "ml", "ml", "ml"};

// A class, station or run name: not empty, at most 64 bytes of valid UTF-8,
// without '/', '+', '#' or control characters, so that it is one topic level.
bool isContractName(std::string_view name);

// Topics of one class and one station in it.
struct tTopics {
    std::string classRoot;  // "vantrel/1/CLASS/"
    std::string station;    // "vantrel/1/CLASS/st/STATION/"

    tTopics(std::string_view className, std::string_view stationName);
    std::string Status() const { return station + "status"; }
    std::string Last() const { return station + "last"; }
    std::string Ack() const { return station + "ack"; }
    std::string Replay() const { return station + "replay"; }
    std::string Result() const { return station + "result"; }
    std::string Run(std::string_view run, std::string_view leaf) const;
    std::string CommandAll() const { return classRoot + "cmd/all"; }
    std::string CommandOwn(std::string_view stationName) const;
};

// ---- what a station publishes
struct tStatus {
    bool online = true;
    std::string run;  // empty: none (null)
    std::string state;
    std::string scenario;
    std::string experiment;
    std::string app;
    std::string broker;  // empty unless not connected: why
    double period = 0;   // s between records; 0: not known
    // Heater, stirrer, pumps 1 to 3: the set value while on, 0 while off.
    std::array<int, 5> outputs{};
    std::string safety;  // the run's last safety intervention; empty: none
};
std::string statusMessage(const tStatus& status);
std::string offlineMessage();

struct tRunMeta {
    std::string run;
    tRunStart start;
    int periodMs = 0;
};
std::string metaMessage(const tRunMeta& meta);

// One second's records: `seq0` is the run index of the first.
std::string recordsMessage(long seq0, const std::vector<tReadingSet>& records);
std::string lastMessage(const std::string& run, long seq, const tReadingSet& record);
std::string transitionMessage(const tRunTransition& transition);
std::string interventionMessage(const tRunIntervention& intervention);
std::string endMessage(const tRunEnded& ended);
std::string ackMessage(const std::string& id, bool done, const std::string& why = {});

// What a group found in its run, for the class's results table: kept on
// the broker (retained) and sent again whenever the station finds more.
struct tFitResult {
    std::string model;     // "linear", "quadratic", "exponential"
    std::string quantity;  // "LP", ...
    std::string abscissa;  // "t" or a volume's code
    std::array<double, 3> parameters{};
    double origin = 0;
    double rSquared = 0;
};
struct tResult {
    std::string run;
    std::string experiment;
    double duration = 0;  // s
    long records = 0;
    std::optional<double> volume;  // the equivalence point, ml
    std::optional<double> pH;
    std::optional<tFitResult> fit;  // the last fit made
};
std::string resultMessage(const tResult& result);

// ---- what a station reads
struct tClassCommand {
    std::string id;
    std::string cmd;  // "stop" is the only one known
};
// A command message, or why it is refused; `id` is filled whenever the
// message had one, so that the refusal can be acknowledged.
struct tParsedCommand {
    std::optional<tClassCommand> command;
    std::string id;
    std::string why;
};
tParsedCommand parseCommand(std::string_view payload);

struct tReplayRequest {
    std::string run;
    long from = 0;
};
struct tParsedReplay {
    std::optional<tReplayRequest> request;
    std::string why;
};
tParsedReplay parseReplay(std::string_view payload);

// ---- what a reader takes apart (the tests and the teacher's view)
struct tRecordsMessage {
    long seq0 = 0;
    std::vector<tReadingSet> records;
};
std::optional<tRecordsMessage> parseRecords(std::string_view payload);
// A status; nullopt for anything that is not one. Offline statuses carry
// only online = false.
std::optional<tStatus> parseStatus(std::string_view payload);
std::optional<tResult> parseResult(std::string_view payload);
struct tLastMessage {
    std::string run;
    long seq = 0;
    tReadingSet record;
};
std::optional<tLastMessage> parseLast(std::string_view payload);
struct tMetaMessage {
    std::string run;
    double period = 0;
    double volumeCoefficient = 0;
    std::string experiment;
    std::string started;
    std::array<std::string, kQuantityCount> names;
    std::array<bool, kQuantityCount> relative{};
};
std::optional<tMetaMessage> parseMeta(std::string_view payload);
// A run's event as a reader needs it: its type, time and text (the
// intervention's text or the state's name), the end's record count.
struct tEventMessage {
    std::string type;
    double t = 0;
    std::string text;
    long records = -1;
};
std::optional<tEventMessage> parseEvent(std::string_view payload);
struct tAckMessage {
    std::string id;
    bool done = false;
    std::string why;
};
std::optional<tAckMessage> parseAck(std::string_view payload);
// A line of the class link in the program's log.
void logLine(const std::string& text);

// The stop command the teacher sends.
std::string commandMessage(const std::string& id, const std::string& cmd);

}  // namespace vantrel::classlink
