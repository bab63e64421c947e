#include "station/StationSession.h"

#include <chrono>
#include <string>

#include "base/Files.h"
#include "base/Functions.h"
#include "base/Locale.h"
#include "base/LogFile.h"
#include "base/Paths.h"
#include "base/Texts.h"
#include "device/Command.h"
#include "device/Packet.h"
#include "device/RecordDecoder.h"
#include "experiment/Experiment.h"
#include "journal/Journal.h"
#include "run/Quantities.h"
#include "station/FirstError.h"
#include "station/StationLink.h"
#include "station/SwitchOffCountdown.h"

namespace vantrel {

namespace {

constexpr auto kClockInterval = std::chrono::milliseconds(300);

bool isFrame(int frameIndex) {
    if (frameIndex < 0 || frameIndex >= kActuatorCount) {
        logFile->WriteLine("SET: Strange component!");
        return false;
    }
    return true;
}

}  // namespace

tStationSession::tStationSession(tSettings& settings, iStationEvents& events, iRunListener& charts)
    : settings_(settings),
      events_(events),
      experiment_(std::make_unique<tExperiment>()),
      actuators_(initialActuators()) {
    link_ = std::make_unique<tStationLink>(settings_);
    safety_ = std::make_unique<tSafety>(*link_, tSafetyLimits::FromSettings(settings_));
    countdown_ = std::make_unique<tSwitchOffCountdown>(settings_, [this](const std::string& text) {
        events_.StationText(tStationText::SwitchOff, text);
    });
    listeners_.Add(charts);
    run_ = std::make_unique<tRun>(listeners_, *experiment_, *safety_, actuators_,
                                  readVolumeCoefficient(settings_));
}

tStationSession::~tStationSession() {
    if (!closed_) {
        // Ended without Close (the recorder interrupted twice): the station
        // is still not left running unwatched.
        leaveStation(constantText("DK_SAFE_EXIT"), "EXIT");
    }
    // The run before the link: a run waiting for its station ends its journal.
    run_.reset();
    safety_.reset();
    link_.reset();
}

// ---------------------------------------------------------------- settings

void tStationSession::SetPorts(std::vector<std::string> ports) {
    link_->SetPorts(std::move(ports));
}

std::vector<std::string> tStationSession::PortsToTry() const {
    return link_->PortsToTry();
}

void tStationSession::SetPortMemory(std::string fileName) {
    link_->SetPortMemory(std::move(fileName));
}

void tStationSession::SetReconnect(bool resume, std::chrono::seconds limit) {
    link_->EnableReconnect(true);
    resumeRun_ = resume;
    reconnectLimit_ = limit;
}

// ---------------------------------------------------------------- state

bool tStationSession::IsConnected() const {
    return link_->Connected();
}

bool tStationSession::IsConnecting() const {
    return link_->Searching();
}

bool tStationSession::IsReconnecting() const {
    return link_->Reconnecting();
}

bool tStationSession::SearchCancelled() const {
    return link_->SearchCancelled();
}

bool tStationSession::IsMeasuring() const {
    return link_->Measuring() && !watching_;
}

std::string tStationSession::PortName() const {
    return link_->PortName();
}

int tStationSession::PeriodMs() const {
    return link_->PeriodMs();
}

int tStationSession::SwitchOffArmed() const {
    return countdown_->Armed();
}

int tStationSession::SwitchOffElapsed() const {
    return countdown_->Elapsed();
}

void tStationSession::setPolling(bool on) {
    polling_ = on;
    events_.PollingChanged(polling_ || watching_);
}

void tStationSession::hint(const std::string& text) {
    events_.StationText(tStationText::Hint, text);
}

// ---------------------------------------------------------------- the link

bool tStationSession::Connect() {
    if (IsConnected()) {
        Disconnect();
    }
    link_->Connect(
        [this](const std::string& port, int remaining) {
            hint(formatText(constantText("DK_CONN_SEARCH"), {port, std::to_string(remaining)}));
        },
        [this](int ms) { return events_.KeepResponsive(ms); });
    hint(link_->SearchCancelled() ? constantText("DK_CONN_CANCELLED") : std::string());
    if (!IsConnected()) {
        events_.StationText(tStationText::Connection, constantText("DK_CONN_NONE"));
        return false;
    }
    events_.StationText(tStationText::Connection, link_->PortName());
    QueryActuators();
    SetPeriod(tStationLink::kDefaultPeriod);
    countdown_->Arm();
    return true;
}

void tStationSession::CancelSearch() {
    link_->CancelSearch();
}

void tStationSession::StopReconnecting() {
    link_->StopReconnecting();
    hint("");
}

void tStationSession::Disconnect() {
    leaveStation(constantText("DK_SAFE_DISCONNECT"), "DISCONNECT");
    if (IsMeasuring()) {
        endRun(tRunEnd::Disconnect);
    }
    stopWatching();
    takeWriteFailures();
    link_->Disconnect();
    countdown_->Disarm();
    events_.StationText(tStationText::Connection, constantText("DK_CONN_NONE"));
}

void tStationSession::SetPeriod(int milliseconds) {
    link_->SetPeriod(milliseconds);
}

// ---------------------------------------------------------------- the run

tRunInfo tStationSession::Start(const std::array<bool, kQuantityCount>& relative) {
    // The run's own measurement takes over from the watch.
    stopWatching();
    tJournalHeader header;
    for (int i = 0; i < kQuantityCount; ++i) {
        header.relative[i] = relative[static_cast<std::size_t>(i)];
        header.names[i] = quantityNames[i];
    }
    header.started = localTimeStamp("%Y-%m-%d %H:%M:%S");
    if (experiment_->GetStatus() != esEmpty) {
        header.experiment = experiment_->GetName();
        header.scenario = scenarioFile_;
    }
    showState(run_->Start(journalFolder_, header));
    tellInterventions();
    countdown_->Disarm();
    link_->StartMeasure();
    setPolling(true);
    return {header.started, header.experiment, header.scenario};
}

void tStationSession::Stop() {
    if (IsMeasuring()) {
        endRun(tRunEnd::Stop);
    }
}

// The thread ends and the stop command goes out first; what the station had
// still queued (a paused stretch too) belongs to the run and is decoded
// after that, but with the scenario no longer stepping: a state change among
// those records would otherwise send its actions after the stop command.
void tStationSession::endRun(tRunEnd how, bool goOn) {
    setPolling(false);
    tPacketQueue leftover;
    link_->StopMeasure(&leftover);
    decoded(run_->End(how, &leftover));
    takeWriteFailures();
    if (how == tRunEnd::Stop && goOn) {
        QueryActuators();
        countdown_->Arm();
    }
}

void tStationSession::Tick(std::chrono::steady_clock::time_point now) {
    if (polling_ || watching_) {
        TickAcquisition(now);
    }
    if (now >= nextClock_) {
        // After a stall (a suspended machine) the clock goes on from now
        // instead of catching up in a burst.
        nextClock_ = now - nextClock_ > std::chrono::seconds(1) ? now + kClockInterval
                                                                : nextClock_ + kClockInterval;
        TickClock();
    }
}

// The limits are watched whatever the run does: paused, the records are
// journaled and checked, and wait only to be drawn and stepped; stopped with
// something on, they are checked and recorded nowhere.
void tStationSession::TickAcquisition(std::chrono::steady_clock::time_point now) {
    if (!IsConnected()) {
        return;
    }
    if (link_->TakeLinkLost()) {
        handleLinkLost();
        return;
    }
    tPacketQueue queue;
    link_->TakePackets(queue);
    takeWriteFailures();
    tFirstError errors;
    if (watching_) {
        run_->Watch(queue);
        events_.ActuatorsChanged();
        tellInterventions();
    } else if (paused_) {
        run_->Hold(queue);
        tellInterventions();
    } else {
        decoded(run_->Decode(queue, true, errors));
    }
    if (link_->Measuring()) {
        intervene(safety_->CheckSilence(now));
    }
    if (watching_ && !safety_->AnythingMayBeOn()) {
        stopWatching();
        QueryActuators();
    }
    if (!watching_ && IsMeasuring() && experiment_->GetStatus() == esFinished) {
        errors.Run([this] {
            Stop();
            events_.StationChanged();
        });
    }
    errors.Raise();
}

void tStationSession::TickClock() {
    reconnectStep();
    if (countdown_->Tick(kClockInterval.count())) {
        Stop();
        idleSwitchOff_ = true;
        try {
            Disconnect();
        } catch (...) {
            idleSwitchOff_ = false;
            throw;
        }
        idleSwitchOff_ = false;
        events_.StationChanged();
    }
}

void tStationSession::Decode(std::string_view bytes) {
    tFirstError errors;
    decoded(run_->Decode(bytes, true, errors));
    errors.Raise();
}

void tStationSession::Mark(int index) {
    run_->Mark(index);
}

void tStationSession::ForgetJournal() {
    run_->ForgetJournal();
}

// A line that is no state record may have matched some actuator values
// before it failed: the frames show only what accepted records reported.
void tStationSession::decoded(const tRun::tStep& step) {
    if (step.records > 0) {
        events_.ActuatorsChanged();
    }
    showState(step.entered);
    tellInterventions();
}

void tStationSession::showState(const tState* state) {
    if (state != nullptr) {
        events_.ScenarioShown(experiment_->GetName(), state->Name());
    }
}

// ---------------------------------------------------------------- reconnection

void tStationSession::handleLinkLost() {
    const std::string port = link_->PortName();
    if (watching_) {
        // No run to keep: only the watch ends with the link.
        tPacketQueue leftover;
        link_->StopMeasure(&leftover);
        run_->Watch(leftover);
        watching_ = false;
    }
    setPolling(false);
    paused_ = false;
    if (resumeRun_ && run_->Open()) {
        // The run stays open: what arrived is kept, the dead link closed,
        // and the same port tried until the station is back.
        logFile->WriteLine("COM: LINK LOST. WAITING FOR THE STATION ON " + port);
        tPacketQueue leftover;
        link_->StopMeasure(&leftover);
        decoded(run_->Suspend(leftover));
        link_->StartReconnecting(port);
        events_.StationText(tStationText::Connection, constantText("DK_CONN_NONE"));
        hint(formatText(constantText("DK_RECONNECTING"), {port}));
        events_.StationChanged();
        return;
    }
    logFile->WriteLine(run_->Open() ? "COM: LINK LOST. RUN STOPPED." : "COM: LINK LOST.");
    // Keep everything that arrived, then close the dead link so that
    // connecting again starts from scratch.
    if (run_->Open()) {
        endRun(tRunEnd::LinkLost);
    }
    link_->StartReconnecting(port);
    if (link_->ReconnectEnabled()) {
        hint(formatText(constantText("DK_RECONNECTING"), {port}));
    }
    countdown_->Disarm();
    events_.StationText(tStationText::Connection, constantText("DK_CONN_NONE"));
    events_.StationChanged();
    events_.StationError(constantText("DK_LINK_LOST"));
}

void tStationSession::reconnectStep() {
    if (!IsReconnecting()) {
        return;
    }
    if (run_->Suspended() && std::chrono::duration_cast<std::chrono::seconds>(
                                 link_->ReconnectElapsed()) > reconnectLimit_) {
        // Not back in time: the run ends as after any lost link.
        link_->StopReconnecting();
        run_->End(tRunEnd::NotBack);
        hint("");
        events_.StationChanged();
        return;
    }
    if (link_->PollReconnect()) {
        adoptDevice();
    }
}

void tStationSession::adoptDevice() {
    events_.StationText(tStationText::Connection, link_->PortName());
    hint("");
    queryStation();
    SetPeriod(link_->PeriodMs());
    if (run_->Suspended()) {
        showState(run_->Resume());
        tellInterventions();
        link_->StartMeasure();
        setPolling(true);
    } else {
        // The station may have run on its own while the link was away.
        intervene(safety_->AllOff(constantText("DK_SAFE_RECONNECTED"), "RECONNECTED"));
        countdown_->Arm();
        watchIfNeeded(false);  // the status bar keeps what was switched off
    }
    events_.StationChanged();
}

// ---------------------------------------------------------------- scenario

void tStationSession::OpenScenario(const std::string& path) {
    scenarioFile_.clear();
    experiment_->Load(path);
    scenarioFile_ = utf8FromPath(pathFromUtf8(path).filename());
}

void tStationSession::CloseScenario() {
    experiment_->Close();
    scenarioFile_.clear();
}

// ---------------------------------------------------------------- actuators

void tStationSession::SetActuator(int frameIndex, const std::string& text) {
    if (!isFrame(frameIndex) || !IsConnected()) {
        return;
    }
    safety_->Send(setCommand(frameIndex, text));
    for (const tIntervention& refusal : safety_->TakeRefusals()) {
        run_->Record(refusal);
    }
    tellInterventions();
    if (!link_->Measuring()) {
        QueryActuators();
    }
}

void tStationSession::ClearActuator(int frameIndex) {
    if (!isFrame(frameIndex) || !IsConnected()) {
        return;
    }
    safety_->Send(tCommand::Off(frameIndex));
    if (!link_->Measuring()) {
        QueryActuators();
    }
}

void tStationSession::QueryActuators() {
    queryStation();
    watchIfNeeded();
}

void tStationSession::queryStation() {
    if (link_->QueryState(actuators_)) {
        safety_->Observe(actuators_);
        events_.ActuatorsChanged();
    }
}

// ---------------------------------------------------------------- the watch

// While connected and stopped with something that may be on, the station
// measures for the safety rules alone; it stops once all is off.
void tStationSession::watchIfNeeded(bool tell) {
    if (watching_ || !IsConnected() || link_->Measuring() || !safety_->AnythingMayBeOn()) {
        return;
    }
    logFile->WriteLine("SAFETY: WATCHING THE STOPPED STATION");
    if (tell) {
        hint(constantText("DK_SAFE_WATCHING"));
        watchHint_ = true;
    }
    link_->StartMeasure();
    watching_ = true;
    safety_->RestartSilenceClock();
    setPolling(polling_);
}

void tStationSession::stopWatching() {
    if (!watching_) {
        return;
    }
    tPacketQueue leftover;
    link_->StopMeasure(&leftover);
    run_->Watch(leftover);
    watching_ = false;
    setPolling(polling_);
    logFile->WriteLine("SAFETY: WATCH ENDED");
    if (watchHint_) {
        watchHint_ = false;
        hint("");
    }
    takeWriteFailures();
}

// ---------------------------------------------------------------- interventions

// Commands the measurement thread could not write reach the safety rules.
void tStationSession::takeWriteFailures() {
    intervene(safety_->WriteFailed(link_->TakeFailedCommands()));
}

void tStationSession::intervene(const std::optional<tIntervention>& intervention) {
    if (intervention) {
        run_->Record(*intervention);
    }
    tellInterventions();
}

void tStationSession::tellInterventions() {
    for (const tIntervention& done : run_->TakeInterventions()) {
        logFile->WriteLine(done.log);
        hint(done.text);
        watchHint_ = false;
        if (done.offFailed) {
            events_.StationError(constantText("DK_SAFE_OFF_FAILED"));
        }
    }
}

// Disconnect and Exit: nothing stays on behind the user's back, unless the
// configuration keeps today's station as it is.
void tStationSession::leaveStation(const std::string& text, const std::string& logReason) {
    if (!IsConnected()) {
        return;
    }
    if (idleSwitchOff_) {
        // Left alone, nothing stays on, whatever a deliberate disconnect keeps.
        intervene(safety_->AllOff(
            formatText(constantText("DK_SAFE_IDLE"), {std::to_string(countdown_->Minutes())}),
            "IDLE SWITCH-OFF"));
    } else if (!safety_->Limits().keepActuatorsOn) {
        intervene(safety_->AllOff(text, logReason));
    }
}

std::string tStationSession::StopAll(const std::string& text, const std::string& logReason) {
    if (!IsConnected()) {
        if (!run_->Suspended()) {
            return "the station is not connected";
        }
        // The run waits for its station: it ends now, so that the station
        // coming back is not brought back to the scenario's state but gets
        // its off commands, as after any lost link.
        intervene(tIntervention{text, "SAFETY: " + logReason + ", STATION AWAY", false});
        run_->End(tRunEnd::Stop);
        events_.StationChanged();
        return "the station is not connected: the run ended, and what may be on is switched off "
               "when it is back";
    }
    const bool measuring = IsMeasuring();
    std::optional<tIntervention> off = safety_->AllOff(text, logReason);
    const bool offFailed = off && off->offFailed;
    if (!off && measuring) {
        // Nothing was on: the run still says who stopped it.
        off = tIntervention{text, "SAFETY: " + logReason + ", NOTHING ON", false};
    }
    intervene(off);
    if (measuring) {
        endRun(tRunEnd::Stop);
    } else {
        QueryActuators();
    }
    paused_ = false;
    events_.StationChanged();
    return offFailed ? "an off command could not be written to the station" : std::string();
}

void tStationSession::Close() {
    leaveStation(constantText("DK_SAFE_EXIT"), "EXIT");
    closed_ = true;
    // A run ends as Stop ends it: what the station still had queued is
    // decoded and the journal gets its end, so no recovery is offered.
    if (IsMeasuring()) {
        endRun(tRunEnd::Stop, false);
    }
    stopWatching();
    setPolling(false);
    link_->StopMeasure();
    takeWriteFailures();
}

}  // namespace vantrel
