#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device/Actuators.h"
#include "device/Packet.h"
#include "lang/LanguageList.h"
#include "run/RunEvent.h"
#include "session/ActionList.h"
#include "session/ActuatorPanel.h"
#include "session/Analysis.h"
#include "session/MainView.h"
#include "station/Run.h"
#include "station/Safety.h"
#include "station/StationLink.h"
#include "station/SwitchOffCountdown.h"

namespace vantrel {

class tSettings;
class tDevice;
class tExperiment;
class tState;
class tChartModel;
class tFirstError;
class tReports;
class tLanguageFile;
class tFileFolders;

// File-chooser filters ("text|mask|text|mask").
inline constexpr std::string_view kScenarioFilter =
    "Файлы экспериментов (*.exp)|*.exp|Все файлы (*.*)|*.*";
inline constexpr std::string_view kExportFilter = "CSV-файлы (*.csv)|*.csv|Все файлы (*.*)|*.*";
inline constexpr std::string_view kExportExtension = "csv";

// A language file's constants, numbered messages and quantity names: what
// every text the program writes (files, messages) is made of, beside the
// window's own texts.
void applyLanguageTexts(const tLanguageFile& file, int languageId);

// The main window's controller: the session and its rules. It owns the
// settings, the link to the station, the experiment, the actuator table and
// the chart model, decides for every action whether it is enabled, and runs
// the clock and the acquisition tick. The self-contained jobs have classes
// of their own (the action list, the station finder, the record decoder,
// the run clock, the actuator panel, the switch-off countdown); this class
// wires them. Free of any toolkit: the window forwards its events here and
// renders what it is told through the view interfaces. Everything runs on the
// user-interface thread.
class TfmMain {
public:
    // Loads the configuration from `configFileName` (the program's path with
    // ".cfg"); a missing file raises the settings store's error. With
    // `chartSink` the readings go there instead of the owned chart model.
    TfmMain(iMainView& window, const std::string& configFileName,
            iRunListener* chartSink = nullptr);
    // A front end without a window (the recorder): no question is asked,
    // every chooser is cancelled.
    TfmMain(iSessionView& view, const std::string& configFileName,
            iRunListener* chartSink = nullptr);
    TfmMain(const TfmMain&) = delete;
    TfmMain& operator=(const TfmMain&) = delete;
    ~TfmMain();

    // Once the window exists: the language list from the .lng files of
    // `languageFolders` (the program's folder first), the language menu, and
    // the language the configuration names (LanguageID), applied.
    void FormCreate(const std::vector<std::string>& languageFolders = {});
    // A language menu item was chosen: stored at once for the next start.
    void miChangeLanguage(int index);
    const tLanguageList& Languages() const { return languages_; }
    int LanguageIndex() const { return languageIndex_; }

    // ---- actions
    const std::vector<std::unique_ptr<tAction>>& Actions() const { return actions_.All(); }
    tAction* FindAction(std::string_view name) const { return actions_.Find(name); }
    // Runs every update rule, then tells the view.
    void UpdateActions();
    // Runs the rule, then executes when enabled. False when unknown or disabled.
    bool ExecuteAction(std::string_view name);

    // ---- timers
    void tmTimeTimer();   // 300 ms clock and switch-off countdown
    void tmStartTimer();  // 100 ms acquisition tick

    // ---- closing
    // Asks for confirmation unless closing is already refused or the system
    // is ending the session. True: the window may close.
    bool FormCloseQuery(bool canClose = true);
    void FormClose();
    // The system asks whether it may end the session: always yes, and the
    // next close asks no question.
    bool QueryEndSession();
    // The session ends (`ending`: close now) or the end was cancelled.
    void EndSession(bool ending);

    // ---- connection
    void connect();
    void disconnect();
    // After a lost link the port is tried again in the background until the
    // station answers. With `resume` (the recorder's --reconnect) the run
    // is kept open meanwhile and measuring goes on in it once the station is
    // back, for at most `limit`; without, the run ends as before and only
    // the link comes back.
    void SetReconnect(bool resume, std::chrono::seconds limit = std::chrono::seconds::max());
    bool IsReconnecting() const { return link_->Reconnecting(); }

    // What a front end sets before the user or the script takes over.
    struct tStart {
        // The built-in simulator's port or the recorder's --port; empty:
        // the configured or the system's ports.
        std::vector<std::string> ports;
        // Resume the run after a lost link (the recorder's --reconnect),
        // for at most `reconnectLimit`; else only the link comes back.
        bool resumeRun = false;
        std::chrono::seconds reconnectLimit = std::chrono::seconds::max();
        // The recorder without --reconnect ends with the link instead.
        bool reconnect = true;
    };
    // The same start for the window and the recorder: the ports, the
    // user's journal folder, the remembered port and reconnection.
    void Prepare(const tStart& start);

    // What the window keeps for its user between runs, in files of
    // `stateFolder` (none when empty): the abscissa, restored here as if
    // chosen, and where the file choosers were last (tFileFolders), which
    // open in `documents` at first, a scenario's in `examples`.
    void RememberForUser(const std::string& stateFolder, const std::string& documents,
                         const std::string& examples);

    // Journals of the runs go into `folder` (none when empty).
    void SetJournalFolder(std::string folder) { journalFolder_ = std::move(folder); }
    // The file that remembers the port where the station last answered:
    // Connect tries it first. Empty: nothing is remembered.
    void SetPortMemory(std::string fileName) { link_->SetPortMemory(std::move(fileName)); }
    const std::string& JournalFolder() const { return journalFolder_; }
    // Puts a journaled run into the charts, as after its Stop (not while
    // measuring). tError when the journal cannot be read.
    void OpenRun(const std::string& journalFile);
    // At start: the newest run that died (its journal has no end) is
    // offered; declined, it is not offered again.
    void OfferRecovery();

    // Ports to try instead of the configured ones (the built-in simulator's,
    // the recorder's --port); kept out of the configuration, which may be
    // saved meanwhile.
    void SetPorts(std::vector<std::string> ports) { link_->SetPorts(std::move(ports)); }
    // What a search tries: those ports, else the configured list (blank
    // entries dropped); empty when the system's own list is used.
    std::vector<std::string> PortsToTry() const;

    // ---- actuators
    void queryActuatorState();
    void refreshActuatorPanel();
    void btnSetClick(int frameIndex);
    void btnClearClick(int frameIndex);

    // ---- readings and acquisition
    // Decodes one packet (complete lines). An error of the running scenario
    // does not stop the decoding: the rest is decoded and plotted, then the
    // first such error is raised as tError.
    void decodePacket(const std::uint8_t* buffer, std::size_t count);
    void decodePacket(std::string_view bytes);
    void setPeriod(int milliseconds);
    // Loads the scenario file `path` (the open command after its chooser,
    // or the start-up option): the label shows its name, or the no-scenario
    // text when the load fails, whose error is raised on.
    void OpenScenario(const std::string& path);

    // ---- chart handlers the window forwards
    void chSeriesClickCheck(int index, bool checked);
    void rbAbscissClick(int index);
    void chAccGyroClick(double time);
    // A click on the dependence chart at (x, y), its pixels per unit given.
    void chDependClick(double x, double y, double xScale, double yScale);
    void RelativeItemToggled(int index, bool checked);

    // ---- state, for the window and for tests
    bool IsConnected() const { return link_->Connected(); }
    // A run is measuring (paused included); watching a stopped station with
    // something on is not measuring.
    bool IsMeasuring() const;
    // Stopped, with something that may be on: the station's records are
    // checked by the safety rules and recorded nowhere.
    bool IsWatching() const { return watching_; }
    bool IsPaused() const;
    // The acquisition tick is on (tmStart enabled).
    bool IsPolling() const { return polling_; }
    // Connect is searching for the station (every other action disabled).
    bool IsConnecting() const { return link_->Searching(); }
    // The charts hold the points of a run that has ended: they can be
    // inspected, marked and exported without a station.
    bool HasFinishedRun() const;
    std::string PortName() const { return link_->PortName(); }
    tSettings& Settings() const { return *settings_; }
    tExperiment& Experiment() const { return *experiment_; }
    tChartModel& Charts() const { return *charts_; }
    tAnalysis& Analysis() const { return *analysis_; }
    tReports& Reports() const { return *reports_; }
    tActuatorTable& Actuators() { return actuators_; }
    const tActuatorTable& Actuators() const { return actuators_; }
    int DigitisePeriod() const { return link_->PeriodMs(); }
    double VolumeCoefficient() const { return run_->VolumeCoefficient(); }
    int SwitchOffArmed() const { return countdown_->Armed(); }
    // What the current (or last) run received: lines that were state
    // records and lines that were not.
    using tLineCounts = tRun::tLineCounts;
    const tLineCounts& RunLines() const { return run_->Lines(); }
    // Why the current (or last) run entered each of its states.
    const std::vector<tStepTrace>& StepTraces() const { return run_->Traces(); }
    int SwitchOffElapsed() const { return countdown_->Elapsed(); }

private:
    void buildActions();
    tAction& action(std::string_view name) const { return actions_.Get(name); }
    void setPolling(bool on);

    // action handlers
    void acDeviceConnectExecute();
    void acDeviceStartExecute();
    void acDeviceStopExecute();
    void acDeviceFreqExecute();
    void acFileOpenExecute();
    void acFileCloseExecute();
    void acFileExportExecute();
    void acFileOpenRunExecute();

    // Stop, Disconnect and a lost link: the measurement ends on the link,
    // then the run takes what was left.
    // `goOn` false on exit: no state query, no switch-off countdown.
    void endRun(tRunEnd how, bool goOn = true);
    void handleLinkLost();
    void reconnectStep();
    // The link came back: measuring goes on in a suspended run.
    void adoptDevice();
    // The scenario's label shows the state a run entered (null: unchanged).
    void showState(const tState* state);
    void decoded(const tRun::tStep& step);
    // While connected and stopped with something that may be on, the
    // station measures for the safety rules alone; it stops once all is off.
    void watchIfNeeded(bool tell = true);
    // The state query alone, without starting a watch.
    void queryStation();
    void stopWatching();
    // Records and tells what the safety rules did.
    void intervene(const std::optional<tIntervention>& intervention);
    void tellInterventions();
    // Commands the measurement thread could not write reach the safety rules.
    void takeWriteFailures();
    void leaveStation(const std::string& text, const std::string& logReason);
    iRunListener& chartSink() const;
    void applyLanguage(int index);
    void applyLanguageFile(const tLanguageFile& file);

    TfmMain(iSessionView& view, iDialogs& dialogs, iWindowParts& window,
            const std::string& configFileName, iRunListener* chartSink);

    iSessionView& view_;
    std::unique_ptr<tFileFolders> folders_;  // the window's dialogs, starting where the user was
    iDialogs& dialogs_;
    iWindowParts& window_;
    tActionList actions_;
    std::unique_ptr<tSettings> settings_;
    std::unique_ptr<tExperiment> experiment_;
    std::unique_ptr<tChartModel> charts_;
    std::unique_ptr<tAnalysis> analysis_;
    std::unique_ptr<tReports> reports_;
    iRunListener* chartSinkOverride_ = nullptr;
    tActuatorTable actuators_;
    tActuatorPanel actuatorPanel_;
    std::unique_ptr<tSwitchOffCountdown> countdown_;
    std::unique_ptr<tStationLink> link_;
    std::unique_ptr<tSafety> safety_;  // every command passes it
    std::unique_ptr<tRun> run_;        // the current or last run
    bool watching_ = false;
    bool idleSwitchOff_ = false;  // the switch-off countdown is disconnecting
    bool watchHint_ = false;      // the status bar says the stopped station is watched
    // Safety keys that did not read, told once the window is there.
    std::vector<tUnreadSetting> unreadSettings_;
    bool closed_ = false;
    std::string journalFolder_;
    std::string scenarioFile_;    // the loaded scenario's file name
    std::string abscissaMemory_;  // the file that remembers the abscissa; empty: none
    bool resumeRun_ = false;
    std::chrono::seconds reconnectLimit_{0};
    bool closeAfterConnect_ = false;
    bool polling_ = false;
    bool closeQueryAttached_ = true;
    tLanguageList languages_;
    int languageIndex_ = 0;
    // File choosers' texts (a language file may translate them).
    std::string scenarioFilter_{kScenarioFilter};
    std::string exportFilter_{kExportFilter};
    std::string exportExtension_{kExportExtension};
    int actuatorPanelVisible_ = -1;  // -1 not told yet, else 0 or 1
};

}  // namespace vantrel
