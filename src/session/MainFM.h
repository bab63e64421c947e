#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "charts/ChartModel.h"
#include "class/ClassStation.h"
#include "device/Actuators.h"
#include "device/Packet.h"
#include "lang/LanguageList.h"
#include "run/RunEvent.h"
#include "session/ActionList.h"
#include "session/ActuatorPanel.h"
#include "session/Analysis.h"
#include "session/LanguageChoice.h"
#include "session/MainView.h"
#include "session/RunFiles.h"
#include "session/StationOnView.h"
#include "station/Run.h"
#include "station/StationSession.h"

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

// The main window's controller over one station's session: the actions
// with their rules, the language, the dialogs, the run files and the chart
// model. The station itself (link, safety, run, scenario, actuators, watch,
// reconnection, countdown) is a tStationSession that tells this class what
// happened; the window forwards its events here and renders what it is told
// through the view interfaces. Free of any toolkit. Everything runs on the
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
    void miChangeLanguage(int index) { language_.Change(index); }
    const tLanguageList& Languages() const { return language_.Languages(); }
    int LanguageIndex() const { return language_.Index(); }

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
    // The station this window drives.
    tStationSession& Station() const { return *station_; }
    // See tStationSession::SetReconnect.
    void SetReconnect(bool resume, std::chrono::seconds limit = std::chrono::seconds::max()) {
        station_->SetReconnect(resume, limit);
    }
    bool IsReconnecting() const { return station_->IsReconnecting(); }

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
        // The class link's names, replacing the configuration's when given.
        tClassOptions classLink;
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
    void SetJournalFolder(std::string folder) { station_->SetJournalFolder(std::move(folder)); }
    // The file that remembers the port where the station last answered:
    // Connect tries it first. Empty: nothing is remembered.
    void SetPortMemory(std::string fileName) { station_->SetPortMemory(std::move(fileName)); }
    const std::string& JournalFolder() const { return station_->JournalFolder(); }
    // Puts a journaled run into the charts, as after its Stop (not while
    // measuring). tError when the journal cannot be read.
    void OpenRun(const std::string& journalFile) {
        classRunShown_ = false;  // its results are not this station's now
        runFiles_->Open(journalFile);
    }
    // At start: the newest run that died (its journal has no end) is
    // offered; declined, it is not offered again.
    void OfferRecovery() { runFiles_->OfferRecovery(); }

    // Ports to try instead of the configured ones (the built-in simulator's,
    // the recorder's --port); kept out of the configuration, which may be
    // saved meanwhile.
    void SetPorts(std::vector<std::string> ports) { station_->SetPorts(std::move(ports)); }
    // What a search tries: those ports, else the configured list (blank
    // entries dropped); empty when the system's own list is used.
    std::vector<std::string> PortsToTry() const { return station_->PortsToTry(); }

    // ---- actuators
    void queryActuatorState() { station_->QueryActuators(); }
    void refreshActuatorPanel();
    void btnSetClick(int frameIndex) {
        station_->SetActuator(frameIndex, window_.ActuatorEditText(frameIndex));
    }
    void btnClearClick(int frameIndex) { station_->ClearActuator(frameIndex); }

    // ---- readings and acquisition
    // Decodes one packet (complete lines). An error of the running scenario
    // does not stop the decoding: the rest is decoded and plotted, then the
    // first such error is raised as tError.
    void decodePacket(const std::uint8_t* buffer, std::size_t count);
    void decodePacket(std::string_view bytes) { station_->Decode(bytes); }
    void setPeriod(int milliseconds) { station_->SetPeriod(milliseconds); }
    // Loads the scenario file `path` (the open command after its chooser,
    // or the start-up option): the label shows its name, or the no-scenario
    // text when the load fails, whose error is raised on.
    void OpenScenario(const std::string& path);

    // ---- chart handlers the window forwards
    void chSeriesClickCheck(int index, bool checked) { charts_->SetCurveChecked(index, checked); }
    void rbAbscissClick(int index);
    void chAccGyroClick(double time);
    // A click on the dependence chart at (x, y), its pixels per unit given.
    void chDependClick(double x, double y, double xScale, double yScale);
    void RelativeItemToggled(int index, bool checked) { charts_->SetRelative(index, checked); }

    // ---- state, for the window and for tests
    bool IsConnected() const { return station_->IsConnected(); }
    // A run is measuring (paused included); watching a stopped station with
    // something on is not measuring.
    bool IsMeasuring() const { return station_->IsMeasuring(); }
    // Stopped, with something that may be on: the station's records are
    // checked by the safety rules and recorded nowhere.
    bool IsWatching() const { return station_->IsWatching(); }
    bool IsPaused() const { return station_->IsPaused(); }
    // The acquisition tick is on (tmStart enabled).
    bool IsPolling() const { return station_->IsPolling(); }
    // Connect is searching for the station (every other action disabled).
    bool IsConnecting() const { return station_->IsConnecting(); }
    // The charts hold the points of a run that has ended: they can be
    // inspected, marked and exported without a station.
    bool HasFinishedRun() const {
        return charts_->Mode() == tChartMode::Analysis && charts_->PointCount() > 0;
    }
    std::string PortName() const { return station_->PortName(); }
    tSettings& Settings() const { return *settings_; }
    tExperiment& Experiment() const { return station_->Experiment(); }
    tChartModel& Charts() const { return *charts_; }
    tAnalysis& Analysis() const { return *analysis_; }
    tReports& Reports() const { return *reports_; }
    tActuatorTable& Actuators() { return station_->Actuators(); }
    const tActuatorTable& Actuators() const { return station_->Actuators(); }
    int DigitisePeriod() const { return station_->PeriodMs(); }
    double VolumeCoefficient() const { return station_->Run().VolumeCoefficient(); }
    int SwitchOffArmed() const { return station_->SwitchOffArmed(); }
    // What the current (or last) run received: lines that were state
    // records and lines that were not.
    using tLineCounts = tRun::tLineCounts;
    const tLineCounts& RunLines() const { return station_->Run().Lines(); }
    // Why the current (or last) run entered each of its states.
    const std::vector<tStepTrace>& StepTraces() const { return station_->Run().Traces(); }
    int SwitchOffElapsed() const { return station_->SwitchOffElapsed(); }

private:
    void buildActions();
    tAction& action(std::string_view name) const { return actions_.Get(name); }
    void setPolling(bool on);

    // action handlers
    void acDeviceConnectExecute();
    void acDeviceStartExecute();
    void acDeviceFreqExecute();
    void acFileOpenExecute();

    iRunListener& chartSink() const {
        return chartSinkOverride_ != nullptr ? *chartSinkOverride_ : *charts_;
    }
    void ownTexts(const tLanguageFile& file);

    TfmMain(iSessionView& view, iDialogs& dialogs, iWindowParts& window,
            const std::string& configFileName, iRunListener* chartSink);

    iSessionView& view_;
    std::unique_ptr<tFileFolders> folders_;  // the window's dialogs, starting where the user was
    iDialogs& dialogs_;
    iWindowParts& window_;
    tActionList actions_;
    std::unique_ptr<tSettings> settings_;
    std::unique_ptr<tChartModel> charts_;
    std::unique_ptr<tAnalysis> analysis_;
    std::unique_ptr<tReports> reports_;
    iRunListener* chartSinkOverride_ = nullptr;
    tActuatorPanel actuatorPanel_;
    // Safety keys that did not read, told once the window is there.
    std::vector<tUnreadSetting> unreadSettings_;
    tStationOnView stationView_;  // what the station tells, on the view
    std::unique_ptr<tStationSession> station_;
    std::unique_ptr<tClassStation> classLink_;  // none without a class broker
    // The charts show this station's newest run: what its analysis finds
    // goes to the class's results (classResultSent_: as last sent).
    bool classRunShown_ = false;
    bool classWasMeasuring_ = false;
    std::string classResultSent_;
    void publishClassResult();
    std::unique_ptr<tRunFiles> runFiles_;
    bool closed_ = false;
    std::string abscissaMemory_;  // the file that remembers the abscissa; empty: none
    bool closeAfterConnect_ = false;
    bool closeQueryAttached_ = true;
    tLanguageChoice language_;
    // File choosers' texts (a language file may translate them).
    std::string scenarioFilter_{kScenarioFilter};
    std::string exportFilter_{kExportFilter};
    std::string exportExtension_{kExportExtension};
    int actuatorPanelVisible_ = -1;  // -1 not told yet, else 0 or 1
};

}  // namespace vantrel
