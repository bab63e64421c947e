#pragma once

#include <array>
#include <string>
#include <variant>

#include "device/Readings.h"
#include "run/StepTrace.h"

namespace vantrel {

// How a run ends.
enum class tRunEnd {
    Stop,        // the user or a finished scenario
    Disconnect,  // the user left the station while measuring
    LinkLost,    // the port went and the run is not kept open
    NotBack,     // kept open after a lost link, the station did not come back in time
    Closed,      // the program closed while the run waited for its station
    Unknown,     // a journal that does not say (older ones, runs closed on recovery)
};

// A run begins: what its journal's header and its charts need.
struct tRunStart {
    std::string started;     // "2026-12-09 10:15:00", local time
    std::string experiment;  // the scenario's experiment name; empty: no scenario
    std::string scenario;    // the scenario file's name
    std::array<bool, kQuantityCount> relative{};
    std::array<std::string, kQuantityCount> names;
    double volumeCoefficient = 0;
};

// One accepted record: time on the run's clock in s, readings in physical
// units as measured (V in ml).
struct tReadingSet {
    float time = 0;
    tReadingValues readings{};
};

// The running scenario entered `trace.to` at the reading of `time`.
struct tRunTransition {
    float time = 0;
    tStepTrace trace;
};

// The program switched something off or refused a command.
struct tRunIntervention {
    float time = 0;
    std::string text;
};

// A mark was toggled on the run's record `index`.
struct tRunMark {
    int index = 0;
};

// The run's one ending, at its newest reading's time.
struct tRunEnded {
    float time = 0;
    tRunEnd how = tRunEnd::Unknown;
    long records = 0;  // reading sets the run accepted
};

// Everything that happens in a run, in the order it happened: what the
// journal writes, the charts draw and any other consumer of a run hears.
struct tRunEvent {
    std::variant<tRunStart, tReadingSet, tRunTransition, tRunIntervention, tRunMark, tRunEnded>
        what;

    template <class T>
    const T* As() const {
        return std::get_if<T>(&what);
    }
};

// Hears a run's events. A live run and a run read back from its journal
// speak through the same calls.
class iRunListener {
public:
    virtual ~iRunListener() = default;
    virtual void OnEvent(const tRunEvent& event) = 0;
    // After all records that arrived together; t = the newest one's time.
    virtual void OnBatchEnd(float /*t*/) {}
};

}  // namespace vantrel
