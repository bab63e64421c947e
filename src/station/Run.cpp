#include "station/Run.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "base/CommandLine.h"
#include "base/LogFile.h"
#include "base/Texts.h"
#include "base/VersionInfo.h"
#include "experiment/Experiment.h"
#include "journal/JournalWriter.h"
#include "station/FirstError.h"
#include "station/StationLink.h"

namespace vantrel {

tRun::tRun(iChartSink& charts, tExperiment& experiment, tSafety& safety, tActuatorTable& actuators,
           double volumeCoefficient)
    : charts_(charts),
      experiment_(experiment),
      safety_(safety),
      actuators_(actuators),
      decoder_(actuators, volumeCoefficient),
      stepper_(experiment, safety.Rules()) {}

tRun::~tRun() {
    if (suspended_ && journal_ != nullptr) {
        journal_->End(newest_);  // ended while waiting for the station
    }
}

const tState* tRun::Start(const std::string& journalFolder, tJournalHeader header) {
    charts_.EnterLiveMode();
    clock_.Reset();
    rates_.Reset();
    lines_ = {};
    suspended_ = false;
    open_ = true;
    held_.clear();
    traces_.clear();
    safety_.StartRun();
    journal_.reset();
    newest_ = 0;
    if (!journalFolder.empty()) {
        header.version = versionString("FileVersion");
        header.volumeCoefficient = decoder_.VolumeCoefficient();
        try {
            journal_ = std::make_unique<tJournalWriter>(journalFolder, header);
        } catch (const std::exception& e) {
            // The run goes on; only its safety copy is missing, and the log says why.
            logFile->WriteLine(std::string("JOURNAL: ") + e.what());
        }
    }
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

void tRun::Record(const tIntervention& intervention) {
    if (open_) {
        charts_.AddIntervention(newest_, intervention.text);
        if (journal_ != nullptr) {
            journal_->Intervention(newest_, intervention.text);
        }
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
    if (journal_ != nullptr) {
        journal_->Reading(t, record->readings);
    }
    return tAccepted{t, *record};
}

// The limits before the scenario: a step on this reading cannot switch on
// what the reading has just switched off.
void tRun::check(const tRecord& record) {
    for (const tIntervention& cut : safety_.Check(record.readings, actuators_)) {
        Record(cut);
    }
}

void tRun::present(const tAccepted& accepted, bool step, tFirstError& errors, tStep& done) {
    ++done.records;
    const float t = accepted.t;
    const tReadingValues shown = charts_.AddReadingSet(t, accepted.record.readings);
    const tExperimentValues values = experimentValues(shown, rates_.Add(t, shown));
    if (!step || experiment_.GetStatus() != esRunning) {
        return;
    }
    // A failing script must not cost the readings after it: they are still
    // decoded and plotted, and the first error is raised once all are in.
    errors.Run([&] {
        try {
            if (std::optional<tStepTrace> trace = stepper_.Step(t, values)) {
                charts_.AddTransition(t, trace->to.name);
                if (journal_ != nullptr) {
                    journal_->Transition(t, trace->to.number, trace->to.name);
                }
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
    for (const tAccepted& accepted : std::exchange(held_, {})) {
        present(accepted, step, errors, done);
        newest = std::max(newest, accepted.t);
    }
    lines(text, [&](std::string_view line) {
        if (const std::optional<tAccepted> accepted = accept(line)) {
            check(accepted->record);
            present(*accepted, step, errors, done);
            newest = std::max(newest, accepted->t);
        }
    });
    if (newest > 0) {
        charts_.EndBatch(newest);
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

void tRun::Hold(tPacketQueue& queue) {
    for (const tPacket& packet : queue) {
        if (packet.buffer == nullptr || packet.size <= 0) {
            continue;
        }
        lines(std::string_view(reinterpret_cast<const char*>(packet.buffer.get()),
                               static_cast<std::size_t>(packet.size)),
              [&](std::string_view line) {
                  if (const std::optional<tAccepted> accepted = accept(line)) {
                      check(accepted->record);
                      held_.push_back(*accepted);
                  }
              });
    }
    queue.clear();
}

void tRun::Watch(tPacketQueue& queue) {
    for (const tPacket& packet : queue) {
        if (packet.buffer == nullptr || packet.size <= 0) {
            continue;
        }
        lines(std::string_view(reinterpret_cast<const char*>(packet.buffer.get()),
                               static_cast<std::size_t>(packet.size)),
              [&](std::string_view line) {
                  if (const std::optional<tRecord> record = decoder_.Decode(line)) {
                      check(*record);
                  }
              });
    }
    queue.clear();
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
    if (journal_ != nullptr) {
        journal_->End(newest_);
    }
    open_ = false;
    experiment_.Stop();
    charts_.EnterAnalysisMode();
    return done;
}

void tRun::Mark(int index) {
    if (journal_ != nullptr) {
        journal_->Mark(index);
    }
}

void tRun::ForgetJournal() {
    journal_.reset();
}

}  // namespace vantrel
