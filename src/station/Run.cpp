#include "station/Run.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "base/CommandLine.h"
#include "base/LogFile.h"
#include "base/Texts.h"
#include "experiment/Experiment.h"
#include "station/FirstError.h"
#include "station/StationLink.h"

namespace vantrel {

tRun::tRun(iRunListener& listener, tExperiment& experiment, tSafety& safety,
           tActuatorTable& actuators, double volumeCoefficient)
    : listener_(listener),
      experiment_(experiment),
      safety_(safety),
      actuators_(actuators),
      decoder_(actuators, volumeCoefficient),
      stepper_(experiment, safety.Rules()) {}

tRun::~tRun() {
    if (suspended_) {
        // Ended while waiting for the station. Only the journal is told: the
        // program is closing, and what listens may be gone already.
        journal_.OnEvent({tRunEnded{newest_, tRunEnd::Closed, lines_.records}});
    }
}

const tState* tRun::Start(const std::string& journalFolder, tJournalHeader header) {
    clock_.Reset();
    rates_.Reset();
    bases_.Start(header.relative);
    lines_ = {};
    suspended_ = false;
    open_ = true;
    marksGo_ = true;
    held_.clear();
    traces_.clear();
    safety_.StartRun();
    newest_ = 0;
    journal_.Open(journalFolder);
    tell({tRunStart{std::move(header.started), std::move(header.experiment),
                    std::move(header.scenario), header.relative, std::move(header.names),
                    decoder_.VolumeCoefficient()}});
    if (std::optional<tStepTrace> trace = stepper_.Start(0)) {
        deliver(*trace);
        traces_.push_back(std::move(*trace));
    }
    return experiment_.GetCurrentState();
}

void tRun::deliver(const tStepTrace& trace) {
    for (const tCommand& command : trace.sent) {
        safety_.Send(command);
    }
    for (const tRefusedCommand& refused : trace.refused) {
        Record(refused.why);
    }
    // The gate decides as the stepper did; whatever it refused is told too.
    for (const tIntervention& refusal : safety_.TakeRefusals()) {
        Record(refusal);
    }
}

void tRun::tell(tRunEvent event) {
    journal_.OnEvent(event);
    if (held_.empty()) {
        listener_.OnEvent(event);
    } else {
        held_.push_back(std::move(event));  // behind what the listener has yet to hear
    }
}

void tRun::Record(const tIntervention& intervention) {
    if (open_) {
        tell({tRunIntervention{newest_, intervention.text}});
    }
    interventions_.push_back(intervention);
}

std::vector<tIntervention> tRun::TakeInterventions() {
    return std::exchange(interventions_, {});
}

template <typename tEach>
void tRun::lines(std::string_view text, tEach&& each) {
    const bool logMeasure = logMeasureEnabled();
    std::size_t pos = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string_view::npos) {
            break;  // the measurement thread delivers whole lines only
        }
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 2;
        if (logMeasure) {
            logFile->WriteLine(std::string(line));
        }
        each(line);
    }
}

std::optional<tRun::tAccepted> tRun::accept(std::string_view line) {
    const std::optional<tRecord> record = decoder_.Decode(line);
    if (!record) {
        ++lines_.rejected;
        return std::nullopt;
    }
    ++lines_.records;
    const float t = clock_.RunTime(record->time, safety_.PeriodMs() * 0.001);
    newest_ = std::max(newest_, t);
    return tAccepted{t, *record};
}

// The limits before the scenario: a step on this reading cannot switch on
// what the reading has just switched off.
void tRun::check(const tRecord& record) {
    for (const tIntervention& cut : safety_.Check(record.readings, actuators_)) {
        Record(cut);
    }
}

void tRun::present(const tReadingSet& set, bool step, tFirstError& errors, tStep& done) {
    ++done.records;
    const float t = set.time;
    const tReadingValues shown = bases_.Shown(set.readings);
    const tExperimentValues values = experimentValues(shown, rates_.Add(t, shown));
    if (!step || experiment_.GetStatus() != esRunning) {
        return;
    }
    // A failing script must not cost the readings after it: they are still
    // decoded and plotted, and the first error is raised once all are in.
    errors.Run([&] {
        try {
            if (std::optional<tStepTrace> trace = stepper_.Step(t, values)) {
                tell({tRunTransition{t, *trace}});
                deliver(*trace);
                traces_.push_back(std::move(*trace));
                done.entered = experiment_.GetCurrentState();
            }
        } catch (...) {
            // The scenario does nothing more: nothing it switched on is left
            // running unwatched.
            if (const auto off =
                    safety_.AllOff(constantText("DK_SAFE_STEP_FAILED"), "SCENARIO STEP FAILED")) {
                Record(*off);
            }
            throw;
        }
    });
}

tRun::tStep tRun::Decode(std::string_view text, bool step, tFirstError& errors) {
    tStep done;
    float newest = -1;
    // What the journal heard while paused, in its order. Whatever the
    // scenario's steps add meanwhile queues behind it.
    for (std::size_t k = 0; k < held_.size(); ++k) {
        const tRunEvent event = held_[k];
        listener_.OnEvent(event);
        if (const tReadingSet* set = event.As<tReadingSet>()) {
            present(*set, step, errors, done);
            newest = std::max(newest, set->time);
        }
    }
    held_.clear();
    lines(text, [&](std::string_view line) {
        if (const std::optional<tAccepted> accepted = accept(line)) {
            const tReadingSet set{accepted->t, accepted->record.readings};
            tell({set});
            check(accepted->record);
            present(set, step, errors, done);
            newest = std::max(newest, accepted->t);
        }
    });
    if (newest > 0) {
        journal_.OnBatchEnd(newest);
        listener_.OnBatchEnd(newest);
    }
    return done;
}

tRun::tStep tRun::Decode(tPacketQueue& queue, bool step, tFirstError& errors) {
    tStep done;
    if (queue.empty() && !held_.empty()) {
        done = Decode(std::string_view(), step, errors);
    }
    for (const tPacket& packet : queue) {
        if (packet.buffer != nullptr && packet.size > 0) {
            const tStep one =
                Decode(std::string_view(reinterpret_cast<const char*>(packet.buffer.get()),
                                        static_cast<std::size_t>(packet.size)),
                       step, errors);
            done.records += one.records;
            done.entered = one.entered != nullptr ? one.entered : done.entered;
        }
    }
    queue.clear();
    return done;
}

template <typename tEach>
void tRun::packetLines(tPacketQueue& queue, tEach&& each) {
    for (const tPacket& packet : queue) {
        if (packet.buffer != nullptr && packet.size > 0) {
            lines(std::string_view(reinterpret_cast<const char*>(packet.buffer.get()),
                                   static_cast<std::size_t>(packet.size)),
                  each);
        }
    }
    queue.clear();
}

void tRun::Hold(tPacketQueue& queue) {
    packetLines(queue, [&](std::string_view line) {
        if (const std::optional<tAccepted> accepted = accept(line)) {
            tRunEvent event{tReadingSet{accepted->t, accepted->record.readings}};
            journal_.OnEvent(event);
            held_.push_back(std::move(event));
            check(accepted->record);
        }
    });
}

void tRun::Watch(tPacketQueue& queue) {
    packetLines(queue, [&](std::string_view line) {
        if (const std::optional<tRecord> record = decoder_.Decode(line)) {
            check(*record);
        }
    });
}

tRun::tStep tRun::Suspend(tPacketQueue& leftover) {
    tFirstError none;  // nothing steps the scenario here
    const tStep done = Decode(leftover, false, none);
    suspended_ = true;
    return done;
}

const tState* tRun::Resume() {
    suspended_ = false;
    // The gap is over: silence counts from now, not from the record before it.
    safety_.RestartSilenceClock();
    if (const std::optional<tStepTrace> again = stepper_.Again(newest_)) {
        deliver(*again);
    }
    return experiment_.GetCurrentState();
}

tRun::tStep tRun::End(tRunEnd how, tPacketQueue* leftover) {
    // What was held while paused belongs to the run as well.
    tPacketQueue none;
    tFirstError noErrors;
    const tStep done = Decode(leftover != nullptr ? *leftover : none, false, noErrors);
    if (how == tRunEnd::NotBack) {
        logFile->WriteLine("COM: THE STATION DID NOT COME BACK. RUN STOPPED.");
    }
    suspended_ = false;
    open_ = false;
    experiment_.Stop();
    tell({tRunEnded{newest_, how, lines_.records}});
    return done;
}

void tRun::Mark(int index) {
    if (marksGo_) {
        tell({tRunMark{index}});
    }
}

void tRun::ForgetJournal() {
    journal_.Close();
    marksGo_ = false;
}

}  // namespace vantrel
