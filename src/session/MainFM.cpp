#include "session/MainFM.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/CommandLine.h"
#include "base/Error.h"
#include "base/Functions.h"
#include "base/Locale.h"
#include "base/LogFile.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "charts/Export.h"
#include "device/Device.h"
#include "device/DeviceDetector.h"
#include "device/PortList.h"
#include "experiment/Experiment.h"

namespace vantrel {

namespace {

constexpr int kDefaultPeriod = 200;
constexpr int kMinPeriod = 200;
constexpr int kMaxPeriod = 60000;
constexpr int kClockIntervalMs = 300;
constexpr int kRecordValueCount = 18;  // seven readings, ten actuator numbers, TT

const char* const kLinkLostText = "Связь со станцией потеряна. Полученные данные сохранены.";

}  // namespace

TfmMain::TfmMain(iMainView& view, const std::string& configFileName, iChartSink* chartSink)
    : view_(view),
      chartSinkOverride_(chartSink),
      linkLost_(std::make_shared<std::atomic<bool>>(false)),
      actuators_(initialActuators()),
      // The actuator ids are fixed for the life of the window (a language
      // renames actuators, never their ids), so the pattern is built once.
      recordMatcher_("LT:%f\tLP:%f\tLC:%f\tLE:%f\tV1:%f\tV2:%f\tV3:%f\t" +
                     actuatorPattern(actuators_) + "TT:%f") {
    view_.SetCaption("Vantrel");
    buildActions();
    settings_ = std::make_unique<tSettings>(false);
    settings_->Load(configFileName);
    charts_ = std::make_unique<tChartModel>();
    buildActuatorPanel();
    readVolumeCoefficient();
    if (strToIntDef(settings_->GetSettingByName("OneLanguage"), 0) != 0) {
        view_.SetLanguageMenuVisible(false);
    }
    view_.ShowSensorsPage();
    experiment_ = std::make_unique<tExperiment>();

    view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"));
    view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
    view_.SetTimerEnabled(tViewTimer::Start, false);
    view_.SetTimerEnabled(tViewTimer::Time, true);
}

TfmMain::~TfmMain() {
    // The link's destructor does not end a measurement; never leave its
    // thread running behind a closed port.
    if (device_ != nullptr && device_->IsMeasuring()) {
        device_->StopMeasure();
    }
    device_.reset();
    settings_.reset();
}

void TfmMain::FormCreate() {
    // The built-in language needs no texts rewritten; the curve check list
    // takes its ticks from the curves.
    charts_->SyncCheckListFromSeries();
}

// ---------------------------------------------------------------- actions

void TfmMain::buildActions() {
    auto add = [this](const char* name, const char* caption, std::vector<std::string> shortcuts,
                      const char* hint, tAction::tHandler execute, tAction::tHandler update) {
        actions_.push_back(std::make_unique<tAction>(name, caption, std::move(shortcuts), hint,
                                                     std::move(execute), std::move(update)));
    };
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
    add(
        "acDevicePause", "&Пауза", {"Alt+P"}, "Приостановить или продолжить обработку показаний",
        [this](tAction& a) { acDevicePauseExecute(a); },
        [this](tAction& a) { a.SetEnabled(IsMeasuring()); });
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
    add("acFileSetZeroMarker", "&Начало отсчета", {}, "Установить начало остчета времени", toggle,
        [this](tAction& a) { a.SetEnabled(IsConnected()); });
    add(
        "acFileMarkPoint", "&Отметить", {}, "Отметить точку для экспорта",
        [this](tAction&) { acFileMarkPointExecute(); },
        [this](tAction& a) { a.SetEnabled(IsConnected() && charts_->CursorIndex() > 0); });
    add(
        "acFileExport", "&Экспорт...", {}, "Экспорт данных в файл",
        [this](tAction&) { acFileExportExecute(); },
        [this](tAction& a) { a.SetEnabled(IsConnected() && !IsPolling()); });
    add(
        "acFileShowAll", "Показать &всe", {}, "Показать все данные на экране",
        [this](tAction& a) {
            a.SetChecked(!a.Checked());
            acFileShowAllExecute();
        },
        [this](tAction& a) { a.SetEnabled(IsConnected()); });
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

    action("acViewToolBar").SetChecked(true);
    action("acViewStatusBar").SetChecked(true);
}

tAction* TfmMain::FindAction(std::string_view name) const {
    for (const auto& a : actions_) {
        if (a->Name() == name) {
            return a.get();
        }
    }
    return nullptr;
}

tAction& TfmMain::action(std::string_view name) const {
    tAction* a = FindAction(name);
    if (a == nullptr) {
        throw tError("Unknown action " + std::string(name));
    }
    return *a;
}

void TfmMain::UpdateActions() {
    for (const auto& a : actions_) {
        a->Update();
    }
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

bool TfmMain::IsPolling() const {
    return view_.IsTimerEnabled(tViewTimer::Start);
}

iChartSink& TfmMain::chartSink() const {
    return chartSinkOverride_ != nullptr ? *chartSinkOverride_ : *charts_;
}

// ---------------------------------------------------------------- configuration

void TfmMain::readVolumeCoefficient() {
    double value = 0;
    if (!tryParseDecimal(settings_->GetSettingByName("VolCoeff"), value)) {
        value = static_cast<double>(0.0934f);
    }
    volumeCoefficient_ = value;
    logFile->WriteLine("Using volume coefficient: " + formatFixed(value, 5));
}

// ---------------------------------------------------------------- clock and closing

void TfmMain::tmTimeTimer() {
    view_.SetStatusText(kPanelClock, longTimeText(std::chrono::system_clock::now()));
    switchOffStep();
}

// The switch-off countdown closes a station that was left connected and
// idle, so it does not stay powered and heating unattended. It runs only
// while connected and not measuring: a successful connect and every Stop arm
// it from zero, Start and disconnect disarm it, so a run is never cut short.
// The keys are read on every tick so that an edited configuration counts at
// once. In the last WarnTime seconds the panel blinks to draw the eye.
void TfmMain::armSwitchOff() {
    switchOffArmed_ = 1;
    switchOffElapsed_ = 0;
}

void TfmMain::disarmSwitchOff() {
    switchOffArmed_ = -1;
    switchOffElapsed_ = -1;
    if (!view_.StatusText(kPanelSwitchOff).empty()) {
        view_.SetStatusText(kPanelSwitchOff, "");
    }
}

void TfmMain::switchOffStep() {
    const int check = strToIntDef(settings_->GetSettingByName("CheckOffTimer"), 1);
    if (check == 0 || switchOffArmed_ <= 0) {
        if (!view_.StatusText(kPanelSwitchOff).empty()) {
            view_.SetStatusText(kPanelSwitchOff, "");
        }
        return;
    }
    const int minutes = strToIntDef(settings_->GetSettingByName("SwitchOffTime"), 5);
    const int warnSeconds = strToIntDef(settings_->GetSettingByName("WarnTime"), 30);
    switchOffElapsed_ += kClockIntervalMs;
    std::int64_t remaining = static_cast<std::int64_t>(minutes) * 60000 - switchOffElapsed_;
    if (remaining < 0) {
        ExecuteAction("acDeviceStop");
        ExecuteAction("acDeviceConnect");
        remaining = 0;
    }
    const std::string text = longTimeText(std::chrono::milliseconds(remaining));
    if (remaining <= static_cast<std::int64_t>(warnSeconds) * 1000) {
        const bool empty = view_.StatusText(kPanelSwitchOff).empty();
        view_.SetStatusText(kPanelSwitchOff, empty ? text : "");
    } else {
        view_.SetStatusText(kPanelSwitchOff, text);
    }
}

bool TfmMain::FormCloseQuery(bool canClose) {
    if (!canClose) {
        return false;
    }
    if (!closeQueryAttached_) {
        return true;
    }
    return view_.AskYesNo(messageText(5003), messageText(20003));
}

void TfmMain::FormClose() {
    view_.SetTimerEnabled(tViewTimer::Start, false);
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
        armSwitchOff();
    } else {
        view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
    }
}

void TfmMain::connect() {
    if (IsConnected()) {
        disconnect();
    }
    std::unique_ptr<tPortList> ports;
    bool keyOpen = false;
    std::vector<std::unique_ptr<tDeviceDetector>> detectors;
    try {
        ports = std::make_unique<tPortList>(settings_.get());
        logFile->WriteLine("Registry created");
        std::vector<std::string> valueNames;
        logFile->WriteLine("StringList created");
        logFile->WriteLine("Rootkey!");
        if (!ports->OpenKey()) {
            throw tError(constantText("DK_NO_COM_PORTS"));
        }
        keyOpen = true;
        logFile->WriteLine("Key opened.");
        logFile->WriteLine("Object list created.");
        valueNames = ports->GetValueNames();
        logFile->WriteLine("Get Value Names.");
        if (valueNames.empty()) {
            throw tError(constantText("DK_NO_COM_PORTS"));
        }
        // One detector at a time: they share the settings store, which has
        // no lock of its own.
        for (const std::string& valueName : valueNames) {
            try {
                const std::string portName = ports->ReadPortName(valueName);
                detectors.push_back(std::make_unique<tDeviceDetector>(tPortList::PortPath(portName),
                                                                      settings_.get()));
                detectors.back()->WaitFor();
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            } catch (const std::exception& e) {
                logFile->WriteLine(e.what());
            }
        }
        // The first station in list order wins; any other is closed at once.
        for (auto& detector : detectors) {
            detector->WaitFor();
            std::unique_ptr<tDevice> found(detector->FoundDevice());
            if (found != nullptr && device_ == nullptr) {
                device_ = std::move(found);
            }
        }
        detectors.clear();
        if (device_ == nullptr) {
            throw tError(constantText("DK_DEVICE_NOT_FOUND"));
        }
        ports->CloseKey();
        keyOpen = false;
    } catch (const std::exception& e) {
        logFile->WriteLine(std::string("COM: ") + e.what());
    }
    if (keyOpen) {
        ports->CloseKey();
    }
    if (device_ != nullptr) {
        // Called on the measurement thread: only note it, the tick acts.
        device_->SetEventHandler([flag = linkLost_](tMeasureEvent event) {
            if (event == tMeasureEvent::LinkLost) {
                flag->store(true);
            }
        });
    }
}

void TfmMain::disconnect() {
    std::exception_ptr firstError;
    if (IsMeasuring()) {
        stopAcquisition(firstError);
    }
    device_.reset();
    switchOffArmed_ = -1;
    switchOffElapsed_ = -1;
    linkLost_->store(false);
    if (firstError) {
        std::rethrow_exception(firstError);
    }
}

// ---------------------------------------------------------------- actuators

void TfmMain::buildActuatorPanel() {
    for (int i = 0; i < kActuatorCount; ++i) {
        tActuator& actuator = actuators_[i];
        actuator.hasFrame = true;
        tActuatorFrameText& frame = frames_[i];
        frame.name = actuator.name;
        frame.id = actuator.id;
        frame.rangeHint = rangeHint(actuator);
        frame.stateText = constantText("DK_STATE_ONOFF");
        frame.speedText = "???";
        frame.forwardVisible = false;
        frame.backVisible = false;
        frameShown_[i] = {};
        view_.ShowActuatorFrame(i, frame);
    }
}

void TfmMain::refreshActuatorPanel() {
    for (int i = 0; i < kActuatorCount; ++i) {
        const tActuator& actuator = actuators_[i];
        if (!actuator.hasFrame) {
            continue;
        }
        tFrameShown& shown = frameShown_[i];
        if (shown.valid && shown.state == actuator.state && shown.speed == actuator.speed) {
            continue;
        }
        tActuatorFrameText& frame = frames_[i];
        if (actuator.hasDirection) {
            frame.forwardVisible = actuator.speed > 0;
            frame.backVisible = actuator.speed < 0;
        }
        if (!shown.valid || (shown.state != 0) != (actuator.state != 0)) {
            frame.stateText = constantText(actuator.state != 0 ? "DK_STATE_ON" : "DK_STATE_OFF");
        }
        if (!shown.valid || shown.speed != actuator.speed) {
            frame.speedText = std::to_string(std::llabs(static_cast<long long>(actuator.speed)));
        }
        shown = {true, actuator.state, actuator.speed};
        view_.ShowActuatorFrame(i, frame);
    }
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
    std::exception_ptr firstError;
    decodeLines(bytes, firstError);
    if (firstError) {
        std::rethrow_exception(firstError);
    }
}

void TfmMain::decodeLines(std::string_view text, std::exception_ptr& firstError) {
    const bool logMeasure = logMeasureEnabled();
    const tRecordMatcher& matcher = recordMatcher_;

    tReadingValues readings{};
    float tt = 0;
    std::array<tMatchTarget, kRecordValueCount> targets;
    for (int i = 0; i < kQuantityCount; ++i) {
        targets[i].real = &readings[i];
    }
    for (int i = 0; i < kActuatorCount; ++i) {
        targets[kQuantityCount + 2 * i].integer = &actuators_[i].state;
        targets[kQuantityCount + 2 * i + 1].integer = &actuators_[i].speed;
    }
    targets[kRecordValueCount - 1].real = &tt;

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
        const int count = matcher.Match(line, targets);
        if (count != kRecordValueCount) {
            logFile->WriteLine(std::to_string(count) + ": STRANGE ANSWER. IGNORED.");
            continue;
        }
        for (int i = qV1; i <= qV3; ++i) {
            readings[i] = static_cast<float>(readings[i] * volumeCoefficient_);
        }
        refreshActuatorPanel();
        newest = static_cast<float>(tt * 0.001);
        const tExperimentValues values = chartSink().AddReadingSet(newest, readings);
        if (experiment_->GetStatus() == esRunning) {
            // A failing script must not cost the readings after it: they are
            // still decoded and plotted, and the first error is raised once
            // all of them are in.
            try {
                if (experiment_->Update(values)) {
                    ApplyState(experiment_->GetCurrentState());
                }
            } catch (const std::exception& e) {
                if (!firstError) {
                    firstError = std::make_exception_ptr(tError(e.what()));
                }
            }
        }
    }
    if (newest > 0) {
        chartSink().EndBatch(newest);
    }
}

void TfmMain::decodeQueue(tPacketQueue& queue, std::exception_ptr& firstError) {
    while (!queue.empty()) {
        tPacket packet = std::move(queue.front());
        queue.pop_front();
        if (packet.buffer == nullptr || packet.size <= 0) {
            continue;
        }
        const auto size = std::min<std::size_t>(packet.size, tPacket::kBufferSize);
        decodeLines(std::string_view(reinterpret_cast<const char*>(packet.buffer.get()), size),
                    firstError);
    }
}

// ---------------------------------------------------------------- acquisition

void TfmMain::acDeviceStartExecute() {
    chartSink().EnterLiveMode();
    ApplyState(experiment_->Start());
    disarmSwitchOff();
    linkLost_->store(false);
    device_->StartMeasure();
    view_.SetTimerEnabled(tViewTimer::Start, true);
}

void TfmMain::acDevicePauseExecute(tAction& a) {
    a.SetChecked(!a.Checked());
}

void TfmMain::acDeviceStopExecute() {
    std::exception_ptr firstError;
    stopAcquisition(firstError);
    if (firstError) {
        std::rethrow_exception(firstError);
    }
}

void TfmMain::stopAcquisition(std::exception_ptr& firstError) {
    view_.SetTimerEnabled(tViewTimer::Start, false);
    // What the station delivered before the stop belongs to the run, paused
    // stretch included: take it from the thread and decode it.
    tPacketQueue leftover;
    device_->StopMeasure(&leftover);
    decodeQueue(leftover, firstError);
    experiment_->Stop();
    chartSink().EnterAnalysisMode();
    queryActuatorState();
    armSwitchOff();
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
    std::exception_ptr firstError;
    decodeQueue(queue, firstError);
    if (experiment_->GetStatus() == esFinished) {
        try {
            ExecuteAction("acDeviceStop");
        } catch (const std::exception& e) {
            if (!firstError) {
                firstError = std::make_exception_ptr(tError(e.what()));
            }
        }
    }
    if (firstError) {
        std::rethrow_exception(firstError);
    }
}

void TfmMain::handleLinkLost() {
    linkLost_->store(false);
    logFile->WriteLine("COM: LINK LOST. RUN STOPPED.");
    std::exception_ptr firstError;
    view_.SetTimerEnabled(tViewTimer::Start, false);
    // Keep everything that arrived, also a paused stretch, then close the
    // dead link so that connecting again starts from scratch.
    tPacketQueue leftover;
    device_->StopMeasure(&leftover);
    decodeQueue(leftover, firstError);
    experiment_->Stop();
    chartSink().EnterAnalysisMode();
    device_.reset();
    switchOffArmed_ = -1;
    switchOffElapsed_ = -1;
    action("acDeviceConnect").SetChecked(false);
    view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
    UpdateActions();
    view_.ShowError(kLinkLostText, messageText(20000));
    if (firstError) {
        std::rethrow_exception(firstError);
    }
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
    }
    view_.SetScenarioLabel(experiment_->GetName() + " - " + state->Name());
}

// ---------------------------------------------------------------- scenario and charts

void TfmMain::acFileOpenExecute() {
    // Opening needs the scenario file loader, which the program does not
    // have yet; until then the command does nothing rather than pretend.
}

void TfmMain::acFileCloseExecute() {
    experiment_->Close();
    view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"));
}

void TfmMain::acFileMarkPointExecute() {
    charts_->ToggleMarkAtCursor();
}

void TfmMain::acFileExportExecute() {
    std::string fileName;
    if (!view_.ChooseSaveFile(std::string(kExportExtension), std::string(kExportFilter),
                              fileName)) {
        return;
    }
    ExportReadings(*charts_, fileName);
}

void TfmMain::acFileShowAllExecute() {
    charts_->SetShowAll(action("acFileShowAll").Checked());
}

void TfmMain::chSeriesClickCheck(int index, bool checked) {
    charts_->SetCurveChecked(index, checked);
}

void TfmMain::rbAbscissClick(int index) {
    charts_->SetAbscissa(index);
}

void TfmMain::chAccGyroClick(double time) {
    charts_->InspectAt(time, action("acFileSetZeroMarker").Checked());
}

void TfmMain::RelativeItemToggled(int index, bool checked) {
    charts_->SetRelative(index, checked);
}

}  // namespace vantrel
