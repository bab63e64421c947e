#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/Actuators.h"
#include "device/Readings.h"
#include "run/RunData.h"
#include "run/RunEvent.h"
#include "run/RunListeners.h"
#include "station/Run.h"
#include "station/Safety.h"

namespace vantrel {

class tSettings;
class tExperiment;
class tState;
class tStationLink;
class tSwitchOffCountdown;

// Which of the station's texts changed: the front end shows each in its place.
enum class tStationText {
    Hint,        // progress, what safety did, the watch, reconnection
    Connection,  // the port, or that there is none
    SwitchOff,   // the idle switch-off countdown
};

// What one station tells whoever drives it: the window's controller, the
// recorder, a class view. Every call comes from inside a call of the
// session, on the caller's thread.
class iStationEvents {
public:
    virtual ~iStationEvents() = default;
    virtual void StationText(tStationText which, const std::string& text) = 0;
    // The scenario's name and the state a run entered (empty: none).
    virtual void ScenarioShown(const std::string& experiment, const std::string& state) = 0;
    // Something the user must see at once: the link lost, an off command
    // that could not be written.
    virtual void StationError(const std::string& text) = 0;
    // The actuators' states changed (a record or a state query reported them).
    virtual void ActuatorsChanged() {}
    // The session measures (a run or a watch) and wants Tick called often;
    // off: the acquisition part of Tick has nothing to do.
    virtual void PollingChanged(bool /*on*/) {}
    // Connected, measuring or reconnecting changed outside a call the
    // driver made itself (a lost link, the station back, a finished run).
    virtual void StationChanged() {}
    // The search for the station waits on another thread: keep the front
    // end alive for up to `milliseconds`; false asks to cancel the search.
    virtual bool KeepResponsive(int milliseconds) = 0;
};

// One station, without a window: the link to it, the safety rules (the only
// way to its wire), the run, the scenario and the actuators' states, the
// watch over a stopped station with something on, reconnection after a lost
// link and the idle switch-off countdown. A front end calls Tick with the
// steady clock's time every tick interval; it asks no question and names no
// action. The charts (or whoever draws the run) get the readings.
class tStationSession {
public:
    // Nothing is owned: `settings` are the configuration the keys are read
    // from (and the period and port memory written to).
    tStationSession(tSettings& settings, iStationEvents& events, iRunListener& charts);
    tStationSession(const tStationSession&) = delete;
    tStationSession& operator=(const tStationSession&) = delete;
    // Closes as Close does, unless that was done.
    ~tStationSession();

    // ---- what a driver sets before the first connect
    void SetPorts(std::vector<std::string> ports);
    std::vector<std::string> PortsToTry() const;
    void SetPortMemory(std::string fileName);
    void SetJournalFolder(std::string folder) { journalFolder_ = std::move(folder); }
    const std::string& JournalFolder() const { return journalFolder_; }
    // After a lost link the port is tried again in the background until the
    // station answers. With `resume` the run stays open meanwhile, for at
    // most `limit`, and measuring goes on in it once the station is back;
    // without, the run ends and only the link comes back.
    void SetReconnect(bool resume, std::chrono::seconds limit = std::chrono::seconds::max());

    // Another listener of the runs, told after the charts (the class link).
    void AddRunListener(iRunListener& listener) { listeners_.Add(listener); }
    void RemoveRunListener(iRunListener& listener) { listeners_.Remove(listener); }

    // ---- the link
    // Searches for the station (the progress told as hints); once found the
    // actuators are queried, the period set to the default and the idle
    // countdown armed. True when connected.
    bool Connect();
    // The search ends at the current port.
    void CancelSearch();
    // The user takes over from the background retries.
    void StopReconnecting();
    // Leaves the station: what may be on is switched off (unless the
    // configuration keeps it on), a run ends.
    void Disconnect();
    void SetPeriod(int milliseconds);
    int PeriodMs() const;

    // ---- the run
    // A new run, its quantities relative as given; the scenario's first
    // state's actions go out. Returns what the run is (its start, the
    // scenario's experiment and file).
    tRunInfo Start(const std::array<bool, kQuantityCount>& relative);
    // Ends the run: what the station still had queued is kept, the stop
    // command goes first, then the actuators are queried (a watch begins when
    // something may still be on) and the idle countdown armed.
    void Stop();
    void SetPaused(bool paused) { paused_ = paused; }
    bool IsPaused() const { return paused_; }
    // Records arrive, are checked and stepped, a watch ends, the silence is
    // timed; every kClockIntervalMs the reconnection and the countdown step.
    void Tick(std::chrono::steady_clock::time_point now);
    // The two halves of Tick, for a front end with two timers of its own.
    void TickAcquisition(std::chrono::steady_clock::time_point now);
    void TickClock();
    // Decodes one packet of whole lines as the acquisition does.
    void Decode(std::string_view bytes);
    // A marked point goes into the run's journal.
    void Mark(int index);
    // The charts show a run opened from its journal, not this one's.
    void ForgetJournal();

    // ---- the scenario
    // Loads a scenario file; its error is raised on, nothing loaded.
    void OpenScenario(const std::string& path);
    void CloseScenario();
    tExperiment& Experiment() const { return *experiment_; }

    // ---- the actuators, through the safety rules
    // A frame's Set with the text of its edit: refused switch-ons are told.
    void SetActuator(int frameIndex, const std::string& text);
    void ClearActuator(int frameIndex);
    // Asks the station for its actuators' states; a watch begins when
    // something may be on while stopped.
    void QueryActuators();
    tActuatorTable& Actuators() { return actuators_; }
    const tActuatorTable& Actuators() const { return actuators_; }

    // A stop from outside the station's own front end (the teacher's, over
    // the class link): a run ends as Stop ends it, and whatever may be on
    // gets its off command first, so that the intervention is journaled and
    // drawn in the run. The station stays connected. A run waiting for a
    // lost station ends too; the station gets its off commands once back.
    // Empty when done, else why not.
    std::string StopAll(const std::string& text, const std::string& logReason);

    // ---- ending
    // The program ends: what may be on is switched off (unless kept), a
    // run ends as Stop ends it but without the state query, the link closes.
    void Close();
    // The idle countdown disconnects, so nothing stays on whatever a
    // deliberate disconnect would keep.
    bool IdleSwitchOff() const { return idleSwitchOff_; }

    // ---- state
    bool IsConnected() const;
    bool IsConnecting() const;
    bool IsReconnecting() const;
    bool SearchCancelled() const;
    // A run is measuring (paused included); a watch is not.
    bool IsMeasuring() const;
    bool IsWatching() const { return watching_; }
    bool IsPolling() const { return polling_; }
    std::string PortName() const;
    const tRun& Run() const { return *run_; }
    int SwitchOffArmed() const;
    int SwitchOffElapsed() const;
    // The hint now shown is another's: the watch does not clear it.
    void HintReplaced() { watchHint_ = false; }

private:
    void setPolling(bool on);
    void endRun(tRunEnd how, bool goOn = true);
    void handleLinkLost();
    void reconnectStep();
    void adoptDevice();
    void showState(const tState* state);
    void decoded(const tRun::tStep& step);
    void watchIfNeeded(bool tell = true);
    void queryStation();
    void stopWatching();
    void intervene(const std::optional<tIntervention>& intervention);
    void tellInterventions();
    void takeWriteFailures();
    void leaveStation(const std::string& text, const std::string& logReason);
    void hint(const std::string& text);

    tSettings& settings_;
    iStationEvents& events_;
    std::unique_ptr<tExperiment> experiment_;
    tActuatorTable actuators_;
    std::unique_ptr<tSwitchOffCountdown> countdown_;
    std::unique_ptr<tStationLink> link_;
    std::unique_ptr<tSafety> safety_;  // every command passes it
    tRunListeners listeners_;          // the charts, then whoever else listens
    std::unique_ptr<tRun> run_;        // the current or last run
    std::string journalFolder_;
    std::string scenarioFile_;  // the loaded scenario's file name
    bool paused_ = false;
    bool polling_ = false;
    bool watching_ = false;
    bool idleSwitchOff_ = false;
    bool watchHint_ = false;  // the hint shown is the watch's
    bool resumeRun_ = false;
    bool closed_ = false;
    std::chrono::seconds reconnectLimit_{0};
    std::chrono::steady_clock::time_point nextClock_{};
};

}  // namespace vantrel
