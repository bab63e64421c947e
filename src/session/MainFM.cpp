#include "session/MainFM.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "base/CommandLine.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "base/Locale.h"
#include "base/LogFile.h"
#include "base/NumberSetting.h"
#include "base/Paths.h"
#include "base/ProgramFiles.h"
#include "base/Remembered.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "base/VersionInfo.h"
#include "charts/ChartModel.h"
#include "charts/Export.h"
#include "device/Device.h"
#include "device/PortList.h"
#include "device/Protocol.h"
#include "experiment/Experiment.h"
#include "journal/Journal.h"
#include "journal/JournalWriter.h"
#include "lang/LanguageFile.h"
#include "run/Quantities.h"
#include "session/FileFolders.h"
#include "session/NoWindow.h"
#include "session/Reports.h"
#include "session/RunCharts.h"
#include "station/FirstError.h"
#include "station/StationFinder.h"

namespace vantrel {

namespace {

// Stateless: one serves every controller without a window.
tNoWindow& noWindow() {
    static tNoWindow none;
    return none;
}

}  // namespace

TfmMain::TfmMain(iMainView& window, const std::string& configFileName, iRunListener* chartSink)
    : TfmMain(window, window, window, configFileName, chartSink) {}

TfmMain::TfmMain(iSessionView& view, const std::string& configFileName, iRunListener* chartSink)
    : TfmMain(view, noWindow(), noWindow(), configFileName, chartSink) {}

TfmMain::TfmMain(iSessionView& view, iDialogs& dialogs, iWindowParts& window,
                 const std::string& configFileName, iRunListener* chartSink)
    : view_(view),
      folders_(std::make_unique<tFileFolders>(dialogs)),
      dialogs_(*folders_),
      window_(window),
      chartSinkOverride_(chartSink),
      actuators_(initialActuators()),
      actuatorPanel_(window) {
    window_.SetCaption("Vantrel");
    charts_ = std::make_unique<tChartModel>();
    buildActions();
    settings_ = std::make_unique<tSettings>(false);
    settings_->Load(configFileName);
    actuatorPanel_.Build(actuators_);
    link_ = std::make_unique<tStationLink>(*settings_);
    unreadSettings_ = unreadNumberSettings(*settings_);
    safety_ = std::make_unique<tSafety>(*link_, tSafetyLimits::FromSettings(*settings_));
    countdown_ = std::make_unique<tSwitchOffCountdown>(*settings_, [this](const std::string& text) {
        view_.SetStatusText(kPanelSwitchOff, text);
    });
    if (readNumberSetting(*settings_, keys::kOneLanguage) != 0) {
        window_.SetLanguageMenuVisible(false);
    }
    window_.ShowSensorsPage();
    experiment_ = std::make_unique<tExperiment>();
    run_ = std::make_unique<tRun>(this->chartSink(), *experiment_, *safety_, actuators_,
                                  readVolumeCoefficient(*settings_));

    view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
    view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
    setPolling(false);
    view_.SetTimerEnabled(tViewTimer::Time, true);
}

TfmMain::~TfmMain() {
    if (!closed_) {
        // Ended without FormClose (the recorder interrupted twice): the
        // station is still not left running unwatched.
        leaveStation(constantText("DK_SAFE_EXIT"), "EXIT");
    }
    // The run before the link: a run waiting for its station ends its journal.
    run_.reset();
    safety_.reset();
    link_.reset();
    settings_.reset();
}

void TfmMain::FormCreate(const std::vector<std::string>& languageFolders) {
    languages_ =
        tLanguageList::Scan(languageFolders, [this](int id) { return window_.LanguageName(id); });
    // Exports written in any of them read back, whichever one is chosen.
    addExportTitles(languages_.ExportTitles());
    const int id = static_cast<int>(readNumberSetting(*settings_, keys::kLanguageId));
    languageIndex_ = languages_.IndexOf(id);
    std::vector<std::string> names;
    for (const tLanguage& language : languages_.Entries()) {
        names.push_back(language.name);
    }
    window_.SetLanguageMenu(names, languageIndex_);
    applyLanguage(languageIndex_);
    if (!unreadSettings_.empty()) {
        // A value the teacher meant and the program did not take must not
        // pass unnoticed: the defaults apply, and the user is told which.
        std::string list;
        for (const tUnreadSetting& unread : unreadSettings_) {
            list += formatText(
                        constantText("DK_SETTING_UNREAD"),
                        {unread.key, unread.text,
                         formatFixed(unread.used,
                                     unread.used == static_cast<long long>(unread.used) ? 0 : 1)}) +
                    "\r\n";
        }
        view_.ShowWarning(
            formatText(constantText("DK_SETTINGS_UNREAD"), {settings_->GetFileName(), list}),
            messageText(20001));
    }
}

void TfmMain::applyLanguage(int index) {
    const tLanguage& language = languages_.Entries()[static_cast<std::size_t>(index)];
    std::unique_ptr<tLanguageFile> file;
    if (!language.fileName.empty()) {
        try {
            file = std::make_unique<tLanguageFile>(tLanguageFile::FromFile(language.fileName));
        } catch (const std::exception& e) {
            // A file that went away since the list was made: the built-in texts.
            logFile->WriteLine(e.what());
        }
    }
    if (file == nullptr) {
        window_.ApplyLanguage(kLangRussian, nullptr);
        // The curve check list takes its ticks from the curves.
        charts_->SyncCheckListFromSeries();
        return;
    }
    applyLanguageTexts(*file, language.id);
    applyLanguageFile(*file);
    window_.ApplyLanguage(language.id, file.get());
    charts_->SyncCheckListFromSeries();
    // The frames and the names follow the translated windows, which have
    // just overwritten the frames' texts.
    for (int n = 0; n < kActuatorCount; ++n) {
        actuators_[n].name = constantText("DK_DEV_ACT_" + std::to_string(n));
    }
    actuatorPanel_.Build(actuators_);
    view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
    view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
}

void applyLanguageTexts(const tLanguageFile& file, int languageId) {
    for (const auto& [name, text] : file.Constants()) {
        setConstantTranslation(name, text);
    }
    setMessageTranslations(file.Messages());
    setMessageLanguage(languageId);
    for (int n = 0; n < kQuantityCount; ++n) {
        quantityNames[n] = constantText("DK_SENS_" + std::to_string(n));
    }
}

// The texts of the file that the controller itself holds: the actions, the
// value-list keys and the file choosers.
void TfmMain::applyLanguageFile(const tLanguageFile& file) {
    for (const tTranslation& t : file.Translations("TfmMain")) {
        if (tAction* a = FindAction(t.object)) {
            if (equalsIgnoreCase(t.property, "Caption")) {
                a->SetCaption(t.text);
            } else if (equalsIgnoreCase(t.property, "Hint")) {
                a->SetHint(t.text);
            } else if (equalsIgnoreCase(t.property, "SecondaryShortCuts") &&
                       !a->Shortcuts().empty()) {
                std::vector<std::string> keys{a->Shortcuts().front()};
                for (std::string& key : splitItems(t.text)) {
                    if (!key.empty()) {
                        keys.push_back(std::move(key));
                    }
                }
                a->SetShortcuts(std::move(keys));
            }
        }
    }
    std::string text;
    if (file.Find("TfmMain", "vleData", "Keys", text)) {
        charts_->SetValueKeys(splitItems(text));
    }
    if (file.Find("TfmMain", "od", "Filter", text)) {
        scenarioFilter_ = text;
    }
    if (file.Find("TfmMain", "sd", "Filter", text)) {
        exportFilter_ = text;
    }
    if (file.Find("TfmMain", "sd", "DefaultExt", text)) {
        exportExtension_ = text;
    }
}

void TfmMain::miChangeLanguage(int index) {
    if (index < 0 || index >= static_cast<int>(languages_.Entries().size())) {
        index = 0;
    }
    if (index == languageIndex_) {
        return;
    }
    settings_->SetSettingByName(
        "LanguageID", std::to_string(languages_.Entries()[static_cast<std::size_t>(index)].id));
    settings_->Save();
    languageIndex_ = index;
    window_.CheckLanguage(index);
    view_.ShowInformation("Restart application to apply changes.", messageText(20001));
}

// ---------------------------------------------------------------- actions

void TfmMain::buildActions() {
    auto add = [this](const char* name, const char* caption, std::vector<std::string> shortcuts,
                      const char* hint, tAction::tHandler execute,
                      tAction::tHandler update) -> tAction& {
        return actions_.Add(name, caption, std::move(shortcuts), hint, std::move(execute),
                            std::move(update));
    };
    // The run's data stay usable after the link ends (lost, switched off)
    // until the next Start: inspect, mark and export need no station.
    auto linkOrRun = [this] { return IsConnected() || HasFinishedRun(); };
    auto toggle = [](tAction& a) { a.SetChecked(!a.Checked()); };

    add(
        "acDeviceConnect", "П&одключение...", {"Alt+C"},
        "Найти станцию и подключиться к ней или отключиться от неё",
        [this](tAction&) { acDeviceConnectExecute(); },
        [this](tAction& a) {
            const bool connected = IsConnected();
            a.SetChecked(connected);
            if (actuatorPanelVisible_ != static_cast<int>(connected)) {
                actuatorPanelVisible_ = connected;
                window_.SetActuatorPanelVisible(connected);
            }
            if (!connected) {
                action("acDevicePause").SetChecked(false);
            }
        });
    add(
        "acDeviceStart", "&Старт...", {"Alt+S"}, "Начать измерение",
        [this](tAction&) { acDeviceStartExecute(); },
        [this](tAction& a) { a.SetEnabled(IsConnected() && !IsMeasuring()); });
    add("acDevicePause", "&Пауза", {"Alt+P"}, "Приостановить или продолжить обработку показаний",
        toggle, [this](tAction& a) { a.SetEnabled(IsMeasuring()); });
    add(
        "acDeviceStop", "С&топ", {"Alt+T"}, "Остановить измерение",
        [this](tAction&) { acDeviceStopExecute(); },
        [this](tAction& a) { a.SetEnabled(IsMeasuring()); });
    add(
        "acDeviceFreq", "Пе&риод оцифровки...", {}, "Задать период оцифровки",
        [this](tAction&) { acDeviceFreqExecute(); },
        [this](tAction& a) { a.SetEnabled(IsConnected()); });
    add(
        "acDeviceSettings", "&Настройки...", {"Alt+O"}, "Настройки устройства", [](tAction&) {},
        [this](tAction& a) { a.SetEnabled(action("acDeviceConnect").Checked()); });
    add(
        "acFileOpen", "Открыть...", {"Ctrl+O"}, "Открыть сценарий эксперимента",
        [this](tAction&) { acFileOpenExecute(); },
        [this](tAction& a) { a.SetEnabled(IsConnected() && !IsMeasuring()); });
    add(
        "acFileClose", "&Закрыть", {}, "Закрыть сценарий эксперимента",
        [this](tAction&) { acFileCloseExecute(); },
        [this](tAction& a) {
            a.SetEnabled(IsConnected() && !IsMeasuring() && experiment_ != nullptr &&
                         experiment_->GetStatus() == esLoaded);
        });
    add(
        "acFileOpenRun", "Открыть &запись опыта...", {}, "Открыть запись одного из прошлых опытов",
        [this](tAction&) { acFileOpenRunExecute(); },
        [this](tAction& a) { a.SetEnabled(!IsMeasuring() && !journalFolder_.empty()); });
    add("acFileSetZeroMarker", "&Начало отсчета", {}, "Установить начало остчета времени", toggle,
        [linkOrRun](tAction& a) { a.SetEnabled(linkOrRun()); });
    add(
        "acFileMarkPoint", "&Отметить", {}, "Отметить точку для экспорта",
        [this](tAction&) {
            if (charts_->ToggleMarkAtCursor()) {
                run_->Mark(charts_->CursorIndex());
            }
        },
        [this, linkOrRun](tAction& a) { a.SetEnabled(linkOrRun() && charts_->CursorIndex() > 0); });
    add(
        "acFileExport", "&Экспорт...", {}, "Экспорт данных в файл",
        [this](tAction&) { acFileExportExecute(); },
        [this, linkOrRun](tAction& a) { a.SetEnabled(linkOrRun() && !IsPolling()); });
    add(
        "acFileShowAll", "Показать &всe", {}, "Показать все данные на экране",
        [this](tAction& a) {
            a.SetChecked(!a.Checked());
            charts_->SetShowAll(a.Checked());
        },
        [linkOrRun](tAction& a) { a.SetEnabled(linkOrRun()); });
    add(
        "acViewChooseCoord", "&Относительные показания", {},
        "Выбор относительных показаний для датчиков",
        [this](tAction&) { dialogs_.ShowRelativeMenu(); },
        [this](tAction& a) { a.SetEnabled(IsConnected() && !IsMeasuring()); });
    add(
        "acViewToolBar", "&Панель инструментов", {}, "Показать или скрыть панель инструментов",
        [this](tAction& a) {
            a.SetChecked(!a.Checked());
            window_.SetToolBarVisible(a.Checked());
        },
        nullptr);
    add(
        "acViewStatusBar", "&Строка состояния", {}, "Показать или скрыть строку состояния",
        [this](tAction& a) {
            a.SetChecked(!a.Checked());
            window_.SetStatusBarVisible(a.Checked());
        },
        nullptr);
    add(
        "acHelpAbout", "&О программе...", {},
        "Вывести информацию о программе, разработчике и авторских правах",
        [this](tAction&) { dialogs_.ShowAbout(); }, nullptr);
    add(
        "acFileExit", "&Выход...", {"Alt+X", "Alt+Ч"}, "Выйти из программы",
        [this](tAction&) { view_.Close(); }, nullptr);

    analysis_ = std::make_unique<tAnalysis>(*charts_, view_, dialogs_);
    analysis_->AddActions(actions_, [this] { return !IsMeasuring() && !IsConnecting(); });
    reports_ = std::make_unique<tReports>(*charts_, *analysis_, dialogs_);
    reports_->AddActions(actions_, [this, linkOrRun] { return linkOrRun() && !IsPolling(); });

    action("acViewToolBar").SetChecked(true);
    action("acViewStatusBar").SetChecked(true);
    for (const char* name :
         {"acDeviceConnect", "acDevicePause", "acFileSetZeroMarker", "acFileShowAll",
          "acViewToolBar", "acViewStatusBar", "acAnalysisDerivative"}) {
        action(name).SetShowsCheckMark(true);
    }
}

void TfmMain::UpdateActions() {
    actions_.UpdateAll();
    window_.ActionsChanged();
}

bool TfmMain::ExecuteAction(std::string_view name) {
    tAction* a = FindAction(name);
    // Nothing of this object may be touched after the execute: closing the
    // window may end its life.
    return a != nullptr && a->Execute();
}

bool TfmMain::IsMeasuring() const {
    return link_->Measuring() && !watching_;
}

bool TfmMain::IsPaused() const {
    return action("acDevicePause").Checked();
}

bool TfmMain::HasFinishedRun() const {
    return charts_->Mode() == tChartMode::Analysis && charts_->PointCount() > 0;
}

void TfmMain::setPolling(bool on) {
    polling_ = on;
    view_.SetTimerEnabled(tViewTimer::Start, polling_ || watching_);
}

iRunListener& TfmMain::chartSink() const {
    return chartSinkOverride_ != nullptr ? *chartSinkOverride_ : *charts_;
}

// ---------------------------------------------------------------- clock and closing

void TfmMain::reconnectStep() {
    if (!IsReconnecting()) {
        return;
    }
    if (run_->Suspended() && std::chrono::duration_cast<std::chrono::seconds>(
                                 link_->ReconnectElapsed()) > reconnectLimit_) {
        // Not back in time: the run ends as after any lost link.
        link_->StopReconnecting();
        run_->End(tRunEnd::NotBack);
        view_.SetStatusText(kPanelHint, "");
        return;
    }
    if (link_->PollReconnect()) {
        adoptDevice();
    }
}

void TfmMain::adoptDevice() {
    action("acDeviceConnect").SetChecked(true);
    view_.SetStatusText(kPanelConnection, link_->PortName());
    view_.SetStatusText(kPanelHint, "");
    queryStation();
    setPeriod(link_->PeriodMs());
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
    UpdateActions();
}

void TfmMain::tmTimeTimer() {
    view_.SetStatusText(kPanelClock, longTimeText(std::chrono::system_clock::now()));
    reconnectStep();
    if (countdown_->Tick(kClockIntervalMs)) {
        ExecuteAction("acDeviceStop");
        idleSwitchOff_ = true;
        try {
            ExecuteAction("acDeviceConnect");
        } catch (...) {
            idleSwitchOff_ = false;
            throw;
        }
        idleSwitchOff_ = false;
    }
}

void TfmMain::watchIfNeeded(bool tell) {
    if (watching_ || !IsConnected() || link_->Measuring() || !safety_->AnythingMayBeOn()) {
        return;
    }
    logFile->WriteLine("SAFETY: WATCHING THE STOPPED STATION");
    if (tell) {
        view_.SetStatusText(kPanelHint, constantText("DK_SAFE_WATCHING"));
        watchHint_ = true;
    }
    link_->StartMeasure();
    watching_ = true;
    safety_->RestartSilenceClock();
    setPolling(polling_);
}

void TfmMain::stopWatching() {
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
        view_.SetStatusText(kPanelHint, "");
    }
    takeWriteFailures();
}

void TfmMain::takeWriteFailures() {
    intervene(safety_->WriteFailed(link_->TakeFailedCommands()));
}

void TfmMain::intervene(const std::optional<tIntervention>& intervention) {
    if (intervention) {
        run_->Record(*intervention);
    }
    tellInterventions();
}

void TfmMain::tellInterventions() {
    for (const tIntervention& done : run_->TakeInterventions()) {
        logFile->WriteLine(done.log);
        view_.SetStatusText(kPanelHint, done.text);
        watchHint_ = false;
        if (done.offFailed) {
            view_.ShowError(constantText("DK_SAFE_OFF_FAILED"), messageText(20000));
        }
    }
}

// Disconnect and Exit: nothing stays on behind the user's back, unless the
// configuration keeps today's station as it is.
void TfmMain::leaveStation(const std::string& text, const std::string& logReason) {
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

bool TfmMain::FormCloseQuery(bool canClose) {
    if (!canClose) {
        return false;
    }
    if (IsConnecting()) {
        // The search cannot be left half done: it ends at the current port,
        // then the window asks again.
        link_->CancelSearch();
        closeAfterConnect_ = true;
        return false;
    }
    if (!closeQueryAttached_) {
        return true;
    }
    return dialogs_.AskYesNo(messageText(5003), messageText(20003));
}

void TfmMain::FormClose() {
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

bool TfmMain::QueryEndSession() {
    closeQueryAttached_ = false;
    return true;
}

void TfmMain::EndSession(bool ending) {
    if (ending) {
        view_.Close();
    } else {
        closeQueryAttached_ = true;
    }
}

// ---------------------------------------------------------------- connection

void TfmMain::acDeviceConnectExecute() {
    if (IsConnecting()) {
        // Pressed again during the search: cancel it.
        link_->CancelSearch();
        return;
    }
    if (IsReconnecting()) {
        // The user takes over: a search of their own instead of the retries.
        link_->StopReconnecting();
        view_.SetStatusText(kPanelHint, "");
    }
    if (IsConnected()) {
        disconnect();
    } else {
        connect();
    }
    action("acDeviceConnect").SetChecked(IsConnected());
    if (IsConnected()) {
        view_.SetStatusText(kPanelConnection, link_->PortName());
        queryActuatorState();
        setPeriod(tStationLink::kDefaultPeriod);
        countdown_->Arm();
    } else {
        view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
    }
    if (closeAfterConnect_) {
        closeAfterConnect_ = false;
        view_.Close();
    }
}

void TfmMain::connect() {
    if (IsConnected()) {
        disconnect();
    }
    closeAfterConnect_ = false;
    actions_.Hold("acDeviceConnect");
    UpdateActions();
    link_->Connect(
        [this](const std::string& port, int remaining) {
            view_.SetStatusText(kPanelHint, formatText(constantText("DK_CONN_SEARCH"),
                                                       {port, std::to_string(remaining)}));
        },
        [this](int ms) { return view_.KeepResponsive(ms); });
    view_.SetStatusText(
        kPanelHint, link_->SearchCancelled() ? constantText("DK_CONN_CANCELLED") : std::string());
    actions_.Release();
    UpdateActions();
}

void TfmMain::Prepare(const tStart& start) {
    SetPorts(start.ports);
    SetJournalFolder(journalFolder());
    SetPortMemory(stationPortFile());
    if (start.reconnect) {
        SetReconnect(start.resumeRun, start.reconnectLimit);
    }
}

std::vector<std::string> TfmMain::PortsToTry() const {
    return link_->PortsToTry();
}

void TfmMain::disconnect() {
    leaveStation(constantText("DK_SAFE_DISCONNECT"), "DISCONNECT");
    if (IsMeasuring()) {
        endRun(tRunEnd::Disconnect);
    }
    stopWatching();
    takeWriteFailures();
    link_->Disconnect();
    countdown_->Disarm();
}

// ---------------------------------------------------------------- actuators

void TfmMain::refreshActuatorPanel() {
    actuatorPanel_.Refresh(actuators_);
}

void TfmMain::queryActuatorState() {
    queryStation();
    watchIfNeeded();
}

void TfmMain::queryStation() {
    if (link_->QueryState(actuators_)) {
        safety_->Observe(actuators_);
        refreshActuatorPanel();
    }
}

void TfmMain::btnSetClick(int frameIndex) {
    if (frameIndex < 0 || frameIndex >= kActuatorCount) {
        logFile->WriteLine("SET: Strange component!");
        return;
    }
    if (!IsConnected()) {
        return;
    }
    safety_->Send(setCommand(frameIndex, window_.ActuatorEditText(frameIndex)));
    for (const tIntervention& refusal : safety_->TakeRefusals()) {
        run_->Record(refusal);
    }
    tellInterventions();
    if (!link_->Measuring()) {
        queryActuatorState();
    }
}

void TfmMain::btnClearClick(int frameIndex) {
    if (frameIndex < 0 || frameIndex >= kActuatorCount) {
        logFile->WriteLine("SET: Strange component!");
        return;
    }
    if (!IsConnected()) {
        return;
    }
    safety_->Send(tCommand::Off(frameIndex));
    if (!link_->Measuring()) {
        queryActuatorState();
    }
}

// ---------------------------------------------------------------- state records

void TfmMain::decodePacket(const std::uint8_t* buffer, std::size_t count) {
    if (buffer == nullptr) {
        return;
    }
    decodePacket(std::string_view(reinterpret_cast<const char*>(buffer), count));
}

void TfmMain::decodePacket(std::string_view bytes) {
    tFirstError errors;
    decoded(run_->Decode(bytes, true, errors));
    errors.Raise();
}

// ---------------------------------------------------------------- acquisition

void TfmMain::acDeviceStartExecute() {
    // The run's own measurement takes over from the watch.
    stopWatching();
    analysis_->Forget();
    tJournalHeader header;
    for (int i = 0; i < kQuantityCount; ++i) {
        header.relative[i] = charts_->Relative(i);
        header.names[i] = quantityNames[i];
    }
    header.started = localTimeStamp("%Y-%m-%d %H:%M:%S");
    if (experiment_->GetStatus() != esEmpty) {
        header.experiment = experiment_->GetName();
        header.scenario = scenarioFile_;
    }
    showState(run_->Start(journalFolder_, header));
    charts_->SetRunInfo({header.started, header.experiment, header.scenario});
    tellInterventions();
    countdown_->Disarm();
    link_->StartMeasure();
    setPolling(true);
}

void TfmMain::acDeviceStopExecute() {
    endRun(tRunEnd::Stop);
}

// The thread ends and the stop command goes out first; what the station had
// still queued (a paused stretch too) belongs to the run and is decoded
// after that, but with the scenario no longer stepping: a state change among
// those records would otherwise send its actions after the stop command.
void TfmMain::endRun(tRunEnd how, bool goOn) {
    setPolling(false);
    tPacketQueue leftover;
    link_->StopMeasure(&leftover);
    decoded(run_->End(how, &leftover));
    takeWriteFailures();
    if (how == tRunEnd::Stop && goOn) {
        queryActuatorState();
        countdown_->Arm();
    }
}

// The limits are watched whatever the run does: paused, the records are
// journaled and checked, and wait only to be drawn and stepped; stopped with
// something on, they are checked and recorded nowhere.
void TfmMain::tmStartTimer() {
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
        refreshActuatorPanel();
        tellInterventions();
    } else if (IsPaused()) {
        run_->Hold(queue);
        tellInterventions();
    } else {
        decoded(run_->Decode(queue, true, errors));
    }
    if (link_->Measuring()) {
        intervene(safety_->CheckSilence(std::chrono::steady_clock::now()));
    }
    if (watching_ && !safety_->AnythingMayBeOn()) {
        stopWatching();
        queryActuatorState();
    }
    if (!watching_ && experiment_->GetStatus() == esFinished) {
        errors.Run([this] { ExecuteAction("acDeviceStop"); });
    }
    errors.Raise();
}

void TfmMain::SetReconnect(bool resume, std::chrono::seconds limit) {
    link_->EnableReconnect(true);
    resumeRun_ = resume;
    reconnectLimit_ = limit;
}

void TfmMain::handleLinkLost() {
    const std::string port = link_->PortName();
    if (watching_) {
        // No run to keep: only the watch ends with the link.
        tPacketQueue leftover;
        link_->StopMeasure(&leftover);
        run_->Watch(leftover);
        watching_ = false;
    }
    setPolling(false);
    if (resumeRun_ && run_->Open()) {
        // The run stays open: what arrived is kept, the dead link closed,
        // and the same port tried until the station is back.
        logFile->WriteLine("COM: LINK LOST. WAITING FOR THE STATION ON " + port);
        tPacketQueue leftover;
        link_->StopMeasure(&leftover);
        decoded(run_->Suspend(leftover));
        link_->StartReconnecting(port);
        view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
        view_.SetStatusText(kPanelHint, formatText(constantText("DK_RECONNECTING"), {port}));
        UpdateActions();
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
        view_.SetStatusText(kPanelHint, formatText(constantText("DK_RECONNECTING"), {port}));
    }
    countdown_->Disarm();
    action("acDeviceConnect").SetChecked(false);
    view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
    UpdateActions();
    view_.ShowError(constantText("DK_LINK_LOST"), messageText(20000));
}

void TfmMain::acDeviceFreqExecute() {
    std::string text = std::to_string(link_->PeriodMs());
    for (;;) {
        if (!dialogs_.InputText(messageText(20005), constantText("DK_ENTER_PERIOD"), text)) {
            return;
        }
        const int period = strToIntDef(text, 0);
        if (isPeriodInRange(period)) {
            setPeriod(period);
            return;
        }
        view_.ShowWarning(
            formatMessage(1013, {std::to_string(kMinPeriodMs), std::to_string(kMaxPeriodMs)}),
            messageText(20001));
    }
}

void TfmMain::setPeriod(int milliseconds) {
    link_->SetPeriod(milliseconds);
}

// A line that is no state record may have matched some actuator values
// before it failed: the frames show only what accepted records reported.
void TfmMain::decoded(const tRun::tStep& step) {
    if (step.records > 0) {
        refreshActuatorPanel();
    }
    showState(step.entered);
    tellInterventions();
}

void TfmMain::showState(const tState* state) {
    if (state != nullptr) {
        view_.SetScenarioLabel(experiment_->GetName(), state->Name());
    }
}

// ---------------------------------------------------------------- scenario and charts

void TfmMain::acFileOpenExecute() {
    std::string path;
    if (folders_->ChooseScenario(scenarioFilter_, path)) {
        OpenScenario(path);
    }
}

void TfmMain::OpenScenario(const std::string& path) {
    scenarioFile_.clear();
    try {
        experiment_->Load(path);
        scenarioFile_ = utf8FromPath(pathFromUtf8(path).filename());
    } catch (const std::exception&) {
        view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
        throw;
    }
    view_.SetScenarioLabel(experiment_->GetStatus() == esLoaded ? experiment_->GetName()
                                                                : constantText("DK_NO_SCENARIO"),
                           {});
}

void TfmMain::OpenRun(const std::string& journalFile) {
    if (IsMeasuring()) {
        return;
    }
    const tJournalRun run = readJournal(journalFile);
    run_->ForgetJournal();
    analysis_->Forget();
    loadRunIntoCharts(run, *charts_);
    if (experiment_->GetStatus() == esEmpty && !run.header.experiment.empty()) {
        // The charts show that run: the label says whose scenario it followed
        // and where it ended, marked as a record (Start runs no scenario).
        std::string last;
        for (const tJournalTransition& transition : run.transitions) {
            if (!transition.intervention) {
                last = transition.name;
            }
        }
        view_.SetScenarioLabel(formatText(constantText("DK_OPENED_RUN"), {run.header.experiment}),
                               last);
    }
    logFile->WriteLine("JOURNAL: opened " + journalFile + " (" +
                       std::to_string(run.readings.size()) + " readings" +
                       (run.droppedLines > 0
                            ? ", " + std::to_string(run.droppedLines) + " damaged lines left out"
                            : std::string()) +
                       ")");
}

void TfmMain::acFileOpenRunExecute() {
    std::string path = journalFolder_;
    if (dialogs_.ChooseOpenFile(constantText("DK_RUN_FILTER"), path)) {
        OpenRun(path);
    }
}

void TfmMain::OfferRecovery() {
    if (journalFolder_.empty()) {
        return;
    }
    const std::optional<tJournalInfo> died = newestUnfinishedRun(journalFolder_);
    if (!died) {
        return;
    }
    if (dialogs_.AskYesNo(formatText(constantText("DK_RECOVER_RUN"),
                                     {died->started, std::to_string(died->records)}),
                          messageText(20003))) {
        OpenRun(died->fileName);
    }
    // Answered either way, it is not offered again; the run stays in the
    // journal folder, and Файл → Открыть запуск... opens it whenever wanted.
    appendJournalEnd(died->fileName);
}

void TfmMain::acFileCloseExecute() {
    experiment_->Close();
    scenarioFile_.clear();
    view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
}

void TfmMain::acFileExportExecute() {
    std::string fileName;
    if (!dialogs_.ChooseSaveFile(exportExtension_, exportFilter_, fileName)) {
        return;
    }
    tExportWritten written;
    try {
        written = ExportReadings(*charts_, fileName);
    } catch (const std::exception& e) {
        throw tError(formatText(constantText("DK_EXPORT_FAILED"), {e.what()}));
    }
    // Which of its two kinds the file is: the marks alone, or a stretch.
    view_.SetStatusText(kPanelHint, countText(constantText(written.marked ? "DK_EXPORT_MARKED"
                                                                          : "DK_EXPORT_READINGS"),
                                              written.records));
    watchHint_ = false;  // this text is no longer the watch's to clear
}

void TfmMain::chSeriesClickCheck(int index, bool checked) {
    charts_->SetCurveChecked(index, checked);
}

void TfmMain::rbAbscissClick(int index) {
    charts_->SetAbscissa(index);
    analysis_->Forget();
    rememberLine(abscissaMemory_, std::to_string(index));
}

void TfmMain::RememberForUser(const std::string& stateFolder, const std::string& documents,
                              const std::string& examples) {
    folders_->SetPlaces({documents, examples, stateFolder});
    abscissaMemory_ = stateFolder.empty()
                          ? std::string()
                          : utf8FromPath(pathFromUtf8(stateFolder) / pathFromUtf8("abscissa"));
    // A number the program did not write (or a quantity it no longer has)
    // leaves the abscissa as it is.
    const int remembered = strToIntDef(recallLine(abscissaMemory_), -1);
    if (remembered >= 0 && remembered < kQuantityCount && remembered != charts_->Abscissa()) {
        rbAbscissClick(remembered);
    }
}

void TfmMain::chAccGyroClick(double time) {
    charts_->InspectAt(time, action("acFileSetZeroMarker").Checked());
}

void TfmMain::chDependClick(double x, double y, double xScale, double yScale) {
    charts_->InspectDependAt(x, y, xScale, yScale, action("acFileSetZeroMarker").Checked());
}

void TfmMain::RelativeItemToggled(int index, bool checked) {
    charts_->SetRelative(index, checked);
}

}  // namespace vantrel
