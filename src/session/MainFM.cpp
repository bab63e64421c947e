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
#include "base/Settings.h"
#include "base/Texts.h"
#include "base/VersionInfo.h"
#include "charts/ChartModel.h"
#include "charts/Export.h"
#include "device/Device.h"
#include "device/PortList.h"
#include "experiment/Experiment.h"
#include "journal/Journal.h"
#include "journal/JournalWriter.h"
#include "journal/RunCharts.h"
#include "lang/LanguageFile.h"
#include "session/FirstError.h"
#include "session/StationFinder.h"

namespace vantrel {

namespace {

// A port path and a line end; anything longer is not ours.
constexpr std::size_t kPortMemoryBytes = 4096;

constexpr int kDefaultPeriod = 200;
constexpr int kMinPeriod = 200;
constexpr int kMaxPeriod = 60000;
constexpr int kClockIntervalMs = 300;

}  // namespace

TfmMain::TfmMain(iMainView& view, const std::string& configFileName, iChartSink* chartSink)
    : view_(view),
      chartSinkOverride_(chartSink),
      linkLost_(std::make_shared<std::atomic<bool>>(false)),
      actuators_(initialActuators()),
      actuatorPanel_(view) {
    view_.SetCaption("Vantrel");
    charts_ = std::make_unique<tChartModel>();
    buildActions();
    settings_ = std::make_unique<tSettings>(false);
    settings_->Load(configFileName);
    actuatorPanel_.Build(actuators_);
    decoder_ = std::make_unique<tRecordDecoder>(
        actuators_, readVolumeCoefficient(settings_->GetSettingByName("VolCoeff")));
    countdown_ = std::make_unique<tSwitchOffCountdown>(*settings_, [this](const std::string& text) {
        view_.SetStatusText(kPanelSwitchOff, text);
    });
    if (strToIntDef(settings_->GetSettingByName("OneLanguage"), 0) != 0) {
        view_.SetLanguageMenuVisible(false);
    }
    view_.ShowSensorsPage();
    experiment_ = std::make_unique<tExperiment>();

    view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
    view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
    setPolling(false);
    view_.SetTimerEnabled(tViewTimer::Time, true);
}

TfmMain::~TfmMain() {
    if (runSuspended_ && journal_ != nullptr) {
        journal_->End(newestRunTime_);  // ended while waiting for the station
    }
    reconnector_.reset();
    journal_.reset();
    // The link's destructor does not end a measurement; never leave its
    // thread running behind a closed port.
    if (device_ != nullptr && device_->IsMeasuring()) {
        device_->StopMeasure();
    }
    device_.reset();
    settings_.reset();
}

void TfmMain::FormCreate(const std::vector<std::string>& languageFolders) {
    languages_ =
        tLanguageList::Scan(languageFolders, [this](int id) { return view_.LanguageName(id); });
    const int id = strToIntDef(settings_->GetSettingByName("LanguageID"), kLangRussian);
    languageIndex_ = languages_.IndexOf(id);
    std::vector<std::string> names;
    for (const tLanguage& language : languages_.Entries()) {
        names.push_back(language.name);
    }
    view_.SetLanguageMenu(names, languageIndex_);
    applyLanguage(languageIndex_);
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
        view_.ApplyLanguage(kLangRussian, nullptr);
        // The curve check list takes its ticks from the curves.
        charts_->SyncCheckListFromSeries();
        return;
    }
    applyLanguageFile(*file);
    view_.ApplyLanguage(language.id, file.get());
    charts_->SyncCheckListFromSeries();
    // The frames and the names follow the translated windows, which have
    // just overwritten the frames' texts.
    for (int n = 0; n < kActuatorCount; ++n) {
        actuators_[n].name = constantText("DK_DEV_ACT_" + std::to_string(n));
    }
    actuatorPanel_.Build(actuators_);
    for (int n = 0; n < kQuantityCount; ++n) {
        quantityNames[n] = constantText("DK_SENS_" + std::to_string(n));
    }
    setMessageLanguage(language.id);
    view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
    view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
}

// The texts of the file that the controller itself holds: its constants and
// messages, the actions, the value-list keys and the file choosers.
void TfmMain::applyLanguageFile(const tLanguageFile& file) {
    for (const auto& [name, text] : file.Constants()) {
        setConstantTranslation(name, text);
    }
    setMessageTranslations(file.Messages());
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
    view_.CheckLanguage(index);
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
                view_.SetActuatorPanelVisible(connected);
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
            if (charts_->ToggleMarkAtCursor() && journal_ != nullptr) {
                journal_->Mark(charts_->CursorIndex());
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
        [this](tAction&) { view_.ShowRelativeMenu(); },
        [this](tAction& a) { a.SetEnabled(IsConnected() && !IsMeasuring()); });
    add(
        "acViewToolBar", "&Панель инструментов", {}, "Показать или скрыть панель инструментов",
        [this](tAction& a) {
            a.SetChecked(!a.Checked());
            view_.SetToolBarVisible(a.Checked());
        },
        nullptr);
    add(
        "acViewStatusBar", "&Строка состояния", {}, "Показать или скрыть строку состояния",
        [this](tAction& a) {
            a.SetChecked(!a.Checked());
            view_.SetStatusBarVisible(a.Checked());
        },
        nullptr);
    add(
        "acHelpAbout", "&О программе...", {},
        "Вывести информацию о программе, разработчике и авторских правах",
        [this](tAction&) { view_.ShowAbout(); }, nullptr);
    add(
        "acFileExit", "&Выход...", {"Alt+X", "Alt+Ч"}, "Выйти из программы",
        [this](tAction&) { view_.Close(); }, nullptr);

    analysis_ = std::make_unique<tAnalysis>(*charts_, view_);
    analysis_->AddActions(actions_, [this] { return !IsMeasuring() && !IsConnecting(); });

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
    view_.ActionsChanged();
}

bool TfmMain::ExecuteAction(std::string_view name) {
    tAction* a = FindAction(name);
    // Nothing of this object may be touched after the execute: closing the
    // window may end its life.
    return a != nullptr && a->Execute();
}

bool TfmMain::IsMeasuring() const {
    return device_ != nullptr && device_->IsMeasuring();
}

bool TfmMain::IsPaused() const {
    return action("acDevicePause").Checked();
}

bool TfmMain::HasFinishedRun() const {
    return charts_->Mode() == tChartMode::Analysis && charts_->PointCount() > 0;
}

void TfmMain::setPolling(bool on) {
    polling_ = on;
    view_.SetTimerEnabled(tViewTimer::Start, on);
}

iChartSink& TfmMain::chartSink() const {
    return chartSinkOverride_ != nullptr ? *chartSinkOverride_ : *charts_;
}

// ---------------------------------------------------------------- clock and closing

void TfmMain::reconnectStep() {
    if (!IsReconnecting()) {
        return;
    }
    if (runSuspended_ && reconnector_->Elapsed() > reconnectLimit_) {
        // Not back in time: the run ends as after any lost link.
        reconnector_->Stop();
        runSuspended_ = false;
        logFile->WriteLine("COM: THE STATION DID NOT COME BACK. RUN STOPPED.");
        experiment_->Stop();
        chartSink().EnterAnalysisMode();
        if (journal_ != nullptr) {
            journal_->End(newestRunTime_);
        }
        view_.SetStatusText(kPanelHint, "");
        return;
    }
    if (std::unique_ptr<tDevice> found = reconnector_->Poll()) {
        adoptDevice(std::move(found));
    }
}

void TfmMain::adoptDevice(std::unique_ptr<tDevice> device) {
    const auto gap = std::chrono::duration_cast<std::chrono::seconds>(reconnector_->Elapsed());
    device_ = std::move(device);
    device_->SetSettings(settings_.get());
    watchLink();
    logFile->WriteLine("COM: RECONNECTED to " + device_->PortName() + " after " +
                       std::to_string(gap.count()) + " s");
    action("acDeviceConnect").SetChecked(true);
    view_.SetStatusText(kPanelConnection, device_->PortName());
    view_.SetStatusText(kPanelHint, "");
    queryActuatorState();
    setPeriod(digitisePeriod_);
    if (runSuspended_) {
        // Measuring goes on in the same run: the station is brought back to
        // the scenario's state, and its clock, restarted, is continued by
        // the run's time axis after the newest point.
        runSuspended_ = false;
        ApplyState(experiment_->GetCurrentState());
        linkLost_->store(false);
        device_->StartMeasure();
        setPolling(true);
    } else {
        countdown_->Arm();
    }
    UpdateActions();
}

void TfmMain::tmTimeTimer() {
    view_.SetStatusText(kPanelClock, longTimeText(std::chrono::system_clock::now()));
    reconnectStep();
    if (countdown_->Tick(kClockIntervalMs)) {
        ExecuteAction("acDeviceStop");
        switchOffActuators();
        ExecuteAction("acDeviceConnect");
    }
}

// Nothing that the last report showed running stays on when the station
// is left alone: heater, stirrer and pumps get their off command.
void TfmMain::switchOffActuators() {
    if (device_ == nullptr) {
        return;
    }
    for (const tActuator& actuator : actuators_) {
        if (actuator.state != 0) {
            const std::string command = clearCommand(actuator);
            logFile->WriteLine("SWITCH-OFF: " + command);
            device_->SendCommand(command);
        }
    }
}

bool TfmMain::FormCloseQuery(bool canClose) {
    if (!canClose) {
        return false;
    }
    if (IsConnecting()) {
        // The search cannot be left half done: it ends at the current port,
        // then the window asks again.
        finder_->Cancel();
        closeAfterConnect_ = true;
        return false;
    }
    if (!closeQueryAttached_) {
        return true;
    }
    return view_.AskYesNo(messageText(5003), messageText(20003));
}

void TfmMain::FormClose() {
    setPolling(false);
    if (device_ != nullptr) {
        device_->StopMeasure();
    }
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
        finder_->Cancel();
        return;
    }
    if (reconnector_ != nullptr && reconnector_->Active()) {
        // The user takes over: a search of their own instead of the retries.
        reconnector_->Stop();
        view_.SetStatusText(kPanelHint, "");
    }
    if (IsConnected()) {
        disconnect();
    } else {
        connect();
    }
    action("acDeviceConnect").SetChecked(IsConnected());
    if (IsConnected()) {
        view_.SetStatusText(kPanelConnection, device_->PortName());
        queryActuatorState();
        setPeriod(kDefaultPeriod);
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
    finder_ = std::make_unique<tStationFinder>(*settings_, ports_);
    std::string remembered;
    if (!portMemory_.empty()) {
        try {
            readFileIfExists(portMemory_, remembered, kPortMemoryBytes);
        } catch (const std::exception& e) {
            logFile->WriteLine(e.what());
        }
        remembered = remembered.substr(0, remembered.find_first_of("\r\n"));
        finder_->SetPreferredPort(remembered);
    }
    actions_.Hold("acDeviceConnect");
    UpdateActions();
    device_ = finder_->Find(
        [this](const std::string& port, int remaining) {
            view_.SetStatusText(kPanelHint, formatText(constantText("DK_CONN_SEARCH"),
                                                       {port, std::to_string(remaining)}));
        },
        [this](int ms) { return view_.KeepResponsive(ms); });
    view_.SetStatusText(kPanelHint, finder_->Cancelled() && device_ == nullptr
                                        ? constantText("DK_CONN_CANCELLED")
                                        : std::string());
    finder_.reset();
    actions_.Release();
    if (device_ != nullptr) {
        watchLink();
        if (!portMemory_.empty() && device_->PortName() != remembered) {
            // Only a convenience: the next search without it just takes longer.
            try {
                writeFileAtomically(portMemory_, device_->PortName() + "\n");
            } catch (const std::exception& e) {
                logFile->WriteLine(e.what());
            }
        }
    }
    UpdateActions();
}

// A port gone and a start command that could not be written (the cable
// pulled just after the identification) both end the link: the thread has
// stopped either way. Called on the measurement thread: only note it, the
// tick acts.
void TfmMain::watchLink() {
    device_->SetEventHandler([flag = linkLost_](tMeasureEvent event) {
        if (event == tMeasureEvent::LinkLost || event == tMeasureEvent::StartFailed) {
            flag->store(true);
        }
    });
}

std::vector<std::string> TfmMain::PortsToTry() const {
    return ports_.empty() ? configuredPorts(settings_.get()) : ports_;
}

void TfmMain::disconnect() {
    if (IsMeasuring()) {
        endRun(tRunEnd::Disconnect);
    }
    device_.reset();
    countdown_->Disarm();
    linkLost_->store(false);
}

// ---------------------------------------------------------------- actuators

void TfmMain::refreshActuatorPanel() {
    actuatorPanel_.Refresh(actuators_);
}

void TfmMain::queryActuatorState() {
    if (device_ == nullptr) {
        return;
    }
    std::string reply;
    if (!device_->Query("?", reply)) {
        return;
    }
    const int count = matchStateReply(actuators_, reply);
    if (count == 2 * kActuatorCount) {
        refreshActuatorPanel();
    } else {
        logFile->WriteLine(std::to_string(count) + " CANNOT PARSE DEVICE STATE!");
    }
}

void TfmMain::btnSetClick(int frameIndex) {
    if (frameIndex < 0 || frameIndex >= kActuatorCount) {
        logFile->WriteLine("SET: Strange component!");
        return;
    }
    if (device_ == nullptr) {
        return;
    }
    device_->SendCommand(setCommand(actuators_[frameIndex], view_.ActuatorEditText(frameIndex)));
    if (!device_->IsMeasuring()) {
        queryActuatorState();
    }
}

void TfmMain::btnClearClick(int frameIndex) {
    if (frameIndex < 0 || frameIndex >= kActuatorCount) {
        logFile->WriteLine("SET: Strange component!");
        return;
    }
    if (device_ == nullptr) {
        return;
    }
    device_->SendCommand(clearCommand(actuators_[frameIndex]));
    if (!device_->IsMeasuring()) {
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
    decodeLines(bytes, true, errors);
    errors.Raise();
}

void TfmMain::decodeLines(std::string_view text, bool step, tFirstError& errors) {
    const bool logMeasure = logMeasureEnabled();
    float newest = -1;
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
        const std::optional<tRecord> record = decoder_->Decode(line);
        if (!record) {
            ++runLines_.rejected;
            continue;
        }
        ++runLines_.records;
        refreshActuatorPanel();
        const float t = runClock_.RunTime(record->time, digitisePeriod_ * 0.001);
        newest = std::max(newest, t);
        newestRunTime_ = std::max(newestRunTime_, t);
        if (journal_ != nullptr) {
            journal_->Reading(t, record->readings);
        }
        const tReadingValues shown = chartSink().AddReadingSet(t, record->readings);
        const tExperimentValues values = experimentValues(shown, rateMeter_.Add(t, shown));
        if (step && experiment_->GetStatus() == esRunning) {
            // A failing script must not cost the readings after it: they are
            // still decoded and plotted, and the first error is raised once
            // all of them are in.
            errors.Run([&] {
                if (experiment_->Update(values)) {
                    const tState* state = experiment_->GetCurrentState();
                    chartSink().AddTransition(t, state->Name());
                    if (journal_ != nullptr) {
                        journal_->Transition(t, state->Number(), state->Name());
                    }
                    ApplyState(experiment_->GetCurrentState());
                }
            });
        }
    }
    if (newest > 0) {
        chartSink().EndBatch(newest);
    }
}

void TfmMain::decodeQueue(tPacketQueue& queue, bool step, tFirstError& errors) {
    for (const tPacket& packet : queue) {
        if (packet.buffer != nullptr && packet.size > 0) {
            decodeLines(std::string_view(reinterpret_cast<const char*>(packet.buffer.get()),
                                         static_cast<std::size_t>(packet.size)),
                        step, errors);
        }
    }
    queue.clear();
}

// ---------------------------------------------------------------- acquisition

void TfmMain::acDeviceStartExecute() {
    analysis_->Forget();
    chartSink().EnterLiveMode();
    runClock_.Reset();
    rateMeter_.Reset();
    runLines_ = {};
    startJournal();
    ApplyState(experiment_->Start());
    countdown_->Disarm();
    linkLost_->store(false);
    device_->StartMeasure();
    setPolling(true);
}

void TfmMain::acDeviceStopExecute() {
    endRun(tRunEnd::Stop);
}

// The thread ends and the stop command goes out first; what the station had
// still queued (a paused stretch too) belongs to the run and is decoded
// after that, but with the scenario no longer stepping: a state change among
// those records would otherwise send its actions after the stop command.
void TfmMain::endRun(tRunEnd how) {
    setPolling(false);
    tPacketQueue leftover;
    device_->StopMeasure(&leftover);
    tFirstError none;  // nothing steps the scenario here
    decodeQueue(leftover, false, none);
    if (journal_ != nullptr) {
        journal_->End(newestRunTime_);
    }
    experiment_->Stop();
    chartSink().EnterAnalysisMode();
    if (how == tRunEnd::Stop) {
        queryActuatorState();
        countdown_->Arm();
    }
}

void TfmMain::tmStartTimer() {
    if (!IsConnected()) {
        return;
    }
    if (linkLost_->load()) {
        handleLinkLost();
        return;
    }
    if (IsPaused()) {
        return;
    }
    tPacketQueue queue;
    device_->TakePackets(queue);
    tFirstError errors;
    decodeQueue(queue, true, errors);
    if (experiment_->GetStatus() == esFinished) {
        errors.Run([this] { ExecuteAction("acDeviceStop"); });
    }
    errors.Raise();
}

void TfmMain::SetReconnect(bool resume, std::chrono::seconds limit) {
    reconnector_ = std::make_unique<tReconnector>();
    resumeRun_ = resume;
    reconnectLimit_ = limit;
}

void TfmMain::handleLinkLost() {
    linkLost_->store(false);
    const std::string port = device_->PortName();
    if (resumeRun_) {
        // The run stays open: what arrived is kept, the dead link closed,
        // and the same port tried until the station is back.
        logFile->WriteLine("COM: LINK LOST. WAITING FOR THE STATION ON " + port);
        setPolling(false);
        tPacketQueue leftover;
        device_->StopMeasure(&leftover);
        tFirstError none;
        decodeQueue(leftover, false, none);
        device_.reset();
        runSuspended_ = true;
        reconnector_->Start(port, *settings_);
        view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
        view_.SetStatusText(kPanelHint, formatText(constantText("DK_RECONNECTING"), {port}));
        UpdateActions();
        return;
    }
    logFile->WriteLine("COM: LINK LOST. RUN STOPPED.");
    // Keep everything that arrived, then close the dead link so that
    // connecting again starts from scratch.
    endRun(tRunEnd::LinkLost);
    device_.reset();
    if (reconnector_ != nullptr) {
        reconnector_->Start(port, *settings_);
        view_.SetStatusText(kPanelHint, formatText(constantText("DK_RECONNECTING"), {port}));
    }
    countdown_->Disarm();
    action("acDeviceConnect").SetChecked(false);
    view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
    UpdateActions();
    view_.ShowError(constantText("DK_LINK_LOST"), messageText(20000));
}

void TfmMain::acDeviceFreqExecute() {
    std::string text = std::to_string(digitisePeriod_);
    for (;;) {
        if (!view_.InputText(messageText(20005), constantText("DK_ENTER_PERIOD"), text)) {
            return;
        }
        const int period = strToIntDef(text, 0);
        if (period >= kMinPeriod && period <= kMaxPeriod) {
            setPeriod(period);
            return;
        }
        view_.ShowWarning(
            formatMessage(1013, {std::to_string(kMinPeriod), std::to_string(kMaxPeriod)}),
            messageText(20001));
    }
}

void TfmMain::setPeriod(int milliseconds) {
    if (device_ == nullptr) {
        return;
    }
    // Built by appending: g++ 12 at -O3 takes "F" + text for an overlapping copy.
    std::string command = "F";
    command += std::to_string(milliseconds);
    device_->SendCommand(command);
    digitisePeriod_ = milliseconds;
}

void TfmMain::ApplyState(const tState* state) {
    if (state == nullptr || device_ == nullptr) {
        return;
    }
    for (const std::string& command : state->Actions()) {
        device_->SendCommand(command);
        // A scenario may change the period ("F500"): the run's clock and
        // the period shown follow the station.
        int period = 0;
        if (command.size() > 1 && command[0] == 'F' && tryParseInt(command.substr(1), period) &&
            period >= kMinPeriod && period <= kMaxPeriod) {
            digitisePeriod_ = period;
        }
    }
    view_.SetScenarioLabel(experiment_->GetName(), state->Name());
}

// ---------------------------------------------------------------- scenario and charts

void TfmMain::acFileOpenExecute() {
    std::string path;
    if (view_.ChooseOpenFile(scenarioFilter_, path)) {
        OpenScenario(path);
    }
}

void TfmMain::OpenScenario(const std::string& path) {
    try {
        experiment_->Load(path);
    } catch (const std::exception&) {
        view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
        throw;
    }
    view_.SetScenarioLabel(experiment_->GetStatus() == esLoaded ? experiment_->GetName()
                                                                : constantText("DK_NO_SCENARIO"),
                           {});
}

void TfmMain::startJournal() {
    journal_.reset();
    newestRunTime_ = 0;
    if (journalFolder_.empty()) {
        return;
    }
    tJournalHeader header;
    header.version = versionString("FileVersion");
    header.volumeCoefficient = decoder_->VolumeCoefficient();
    for (int i = 0; i < kQuantityCount; ++i) {
        header.relative[i] = charts_->Relative(i);
        header.names[i] = quantityNames[i];
    }
    try {
        journal_ = std::make_unique<tJournalWriter>(journalFolder_, header);
    } catch (const std::exception& e) {
        // The run goes on; only its safety copy is missing, and the log says why.
        logFile->WriteLine(std::string("JOURNAL: ") + e.what());
    }
}

void TfmMain::OpenRun(const std::string& journalFile) {
    if (IsMeasuring()) {
        return;
    }
    const tJournalRun run = readJournal(journalFile);
    journal_.reset();
    analysis_->Forget();
    loadRunIntoCharts(run, *charts_);
    logFile->WriteLine("JOURNAL: opened " + journalFile + " (" +
                       std::to_string(run.readings.size()) + " readings" +
                       (run.droppedLines > 0
                            ? ", " + std::to_string(run.droppedLines) + " damaged lines left out"
                            : std::string()) +
                       ")");
}

void TfmMain::acFileOpenRunExecute() {
    std::string path = journalFolder_;
    if (view_.ChooseOpenFile(constantText("DK_RUN_FILTER"), path)) {
        OpenRun(path);
    }
}

void TfmMain::OfferRecovery() {
    if (journalFolder_.empty()) {
        return;
    }
    const std::vector<tJournalInfo> journals = listJournals(journalFolder_);
    const auto died = std::find_if(journals.rbegin(), journals.rend(),
                                   [](const tJournalInfo& j) { return !j.finished; });
    if (died == journals.rend()) {
        return;
    }
    if (view_.AskYesNo(formatText(constantText("DK_RECOVER_RUN"),
                                  {died->started, std::to_string(died->records)}),
                       messageText(20003))) {
        OpenRun(died->fileName);
    } else {
        // Declined: not offered again; the run stays in the journal folder.
        appendJournalEnd(died->fileName);
    }
}

void TfmMain::acFileCloseExecute() {
    experiment_->Close();
    view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
}

void TfmMain::acFileExportExecute() {
    std::string fileName;
    if (!view_.ChooseSaveFile(exportExtension_, exportFilter_, fileName)) {
        return;
    }
    try {
        ExportReadings(*charts_, fileName);
    } catch (const std::exception& e) {
        throw tError(formatText(constantText("DK_EXPORT_FAILED"), {e.what()}));
    }
}

void TfmMain::chSeriesClickCheck(int index, bool checked) {
    charts_->SetCurveChecked(index, checked);
}

void TfmMain::rbAbscissClick(int index) {
    charts_->SetAbscissa(index);
    analysis_->Forget();
}

void TfmMain::chAccGyroClick(double time) {
    charts_->InspectAt(time, action("acFileSetZeroMarker").Checked());
}

void TfmMain::RelativeItemToggled(int index, bool checked) {
    charts_->SetRelative(index, checked);
}

}  // namespace vantrel
