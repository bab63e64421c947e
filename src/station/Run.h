#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/Actuators.h"
#include "device/Packet.h"
#include "device/RecordDecoder.h"
#include "journal/Journal.h"
#include "journal/RunJournal.h"
#include "run/RelativeBases.h"
#include "run/RunEvent.h"
#include "station/RateMeter.h"
#include "station/RunClock.h"
#include "station/Safety.h"
#include "station/ScenarioStepper.h"

namespace vantrel {

class tExperiment;
class tFirstError;
class tState;

// One run from Start to its one ending: the readings decoded on the run's
// own clock, the safety rules applied to each before the scenario steps with
// them (as shown, from the run's own relative bases) and their rates, and
// the states' actions sent to the station through those rules. Everything
// that happens is one stream of events: the journal hears each first, then
// the listener (the charts), so that nothing after the journal sees what the
// journal has not. It never reaches back into the controller: each step
// returns the state a scenario entered, and the first error of a failing
// scenario goes to the caller's collector.
class tRun {
public:
    // Nothing is owned. The decoder reports the actuators' states into
    // `actuators` with every record; every command goes out through `safety`.
    tRun(iRunListener& listener, tExperiment& experiment, tSafety& safety,
         tActuatorTable& actuators, double volumeCoefficient);
    tRun(const tRun&) = delete;
    tRun& operator=(const tRun&) = delete;
    // A run still waiting for its station ends its journal here.
    ~tRun();

    // A new run: its start told, the journal opened in `journalFolder`
    // (none when empty; a journal that cannot be made is logged and the run
    // goes on), the scenario started and its first state's actions sent.
    // Returns that state (null without a scenario).
    const tState* Start(const std::string& journalFolder, tJournalHeader header);

    // What one batch of lines did.
    struct tStep {
        const tState* entered = nullptr;  // the state a scenario entered last
        long records = 0;                 // state records accepted
    };
    // Decodes whole lines ("...\r\n"); a partial line at the end is left.
    // Records held while paused come first. With `step` a running scenario
    // sees the readings. Errors of the scenario do not stop the decoding;
    // the first goes to `errors`.
    tStep Decode(std::string_view text, bool step, tFirstError& errors);
    tStep Decode(tPacketQueue& queue, bool step, tFirstError& errors);
    // Paused: every record is journaled and checked by the safety rules at
    // once; the listener and the scenario get it, and whatever the journal
    // heard after it, at the next Decode, in the journal's order.
    void Hold(tPacketQueue& queue);
    // Stopped with something on: the station's records are checked by the
    // safety rules and recorded nowhere.
    void Watch(tPacketQueue& queue);

    // The link went while the run stays open: what arrived is kept.
    tStep Suspend(tPacketQueue& leftover);
    bool Suspended() const { return suspended_; }
    // The station is back: measuring goes on in the same run, the station
    // brought back to the scenario's state (returned), and the clock,
    // restarted by the station, continued after the newest point.
    const tState* Resume();

    // The one ending. What the station still had queued (`leftover`) is
    // decoded first, with the scenario no longer stepping: a state change
    // among those records would otherwise send its actions after the stop.
    tStep End(tRunEnd how, tPacketQueue* leftover = nullptr);

    // An intervention of the safety rules: journaled and drawn on the time
    // chart at the newest reading while the run is open, and kept for
    // TakeInterventions either way.
    void Record(const tIntervention& intervention);
    // Everything recorded since the last call, the run's own included (a
    // limit crossed, a command refused, all off after a failed step).
    std::vector<tIntervention> TakeInterventions();
    // Why the run went to each state it entered, in order: the start state
    // first, then one per transition (the charts' and the journal's). Kept
    // until the next Start.
    const std::vector<tStepTrace>& Traces() const { return traces_; }
    // The run's journal file, empty when it has none.
    std::string JournalFile() const { return journal_.FileName(); }
    // Between Start and End (suspended included).
    bool Open() const { return open_; }

    // A mark toggled on the run's point `index` (told until ForgetJournal).
    void Mark(int index);
    // The charts now show another run (one opened from its journal): marks
    // are no longer this run's.
    void ForgetJournal();

    // Lines the run received that were state records and that were not.
    struct tLineCounts {
        long records = 0;
        long rejected = 0;
    };
    const tLineCounts& Lines() const { return lines_; }
    double VolumeCoefficient() const { return decoder_.VolumeCoefficient(); }

private:
    // A record taken into the run, on the run's clock.
    struct tAccepted {
        float t = 0;
        tRecord record;
    };
    // Every whole line of `text` through `each`.
    template <typename tEach>
    void lines(std::string_view text, tEach&& each);
    // Every whole line of every packet of `queue`, which is emptied.
    template <typename tEach>
    void packetLines(tPacketQueue& queue, tEach&& each);
    std::optional<tAccepted> accept(std::string_view line);
    void check(const tRecord& record);
    // To the journal, then to the listener unless events wait for it.
    void tell(tRunEvent event);
    // A reading the listener has: to the rates and, with `step`, the scenario.
    void present(const tReadingSet& set, bool step, tFirstError& errors, tStep& done);
    // A state's actions the stepper let through go to the station, its
    // refusals are recorded.
    void deliver(const tStepTrace& trace);

    iRunListener& listener_;
    tExperiment& experiment_;
    tSafety& safety_;
    tActuatorTable& actuators_;
    tRecordDecoder decoder_;
    tRunClock clock_;
    tRateMeter rates_;
    tScenarioStepper stepper_;
    std::vector<tStepTrace> traces_;
    tRunJournal journal_;
    tRelativeBases bases_;
    float newest_ = 0;
    tLineCounts lines_;
    bool suspended_ = false;
    bool open_ = false;
    bool marksGo_ = false;  // the run's points are the ones shown
    std::vector<tIntervention> interventions_;
    // Heard by the journal while paused, not yet by the listener.
    std::vector<tRunEvent> held_;
};

}  // namespace vantrel
