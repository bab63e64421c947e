#include "session/MainFM.h"

#include <algorithm>
#include <chrono>
#include <cmath>
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
#include "experiment/Experiment.h"
#include "session/StationFinder.h"

namespace vantrel {

namespace {

constexpr int kDefaultPeriod = 200;
constexpr int kMinPeriod = 200;
constexpr int kMaxPeriod = 60000;
constexpr int kClockIntervalMs = 300;
constexpr int kRecordValueCount = 18;  // seven readings, ten actuator numbers, TT
constexpr double kDefaultVolumeCoefficient = static_cast<double>(0.0934f);

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
        // While the station is searched for, only Connect (which cancels the
        // search) may run: everything else waits for the search to end.
        const bool gated = std::string_view(name) != "acDeviceConnect";
        tAction::tHandler rule = [this, gated, update = std::move(update)](tAction& a) {
            if (update) {
                update(a);
            } else {
                a.SetEnabled(true);
            }
            if (gated && connecting_) {
                a.SetEnabled(false);
            }
        };
        actions_.push_back(std::make_unique<tAction>(name, caption, std::move(shortcuts), hint,
                                                     std::move(execute), std::move(rule)));
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
        [linkOrRun](tAction& a) { a.SetEnabled(linkOrRun()); });
    add(
        "acFileMarkPoint", "&Отметить", {}, "Отметить точку для экспорта",
        [this](tAction&) { acFileMarkPointExecute(); },
        [this, linkOrRun](tAction& a) { a.SetEnabled(linkOrRun() && charts_->CursorIndex() > 0); });
    add(
        "acFileExport", "&Экспорт...", {}, "Экспорт данных в файл",
        [this](tAction&) { acFileExportExecute(); },
        [this, linkOrRun](tAction& a) { a.SetEnabled(linkOrRun() && !IsPolling()); });
    add(
        "acFileShowAll", "Показать &всe", {}, "Показать все данные на экране",
        [this](tAction& a) {
            a.SetChecked(!a.Checked());
            acFileShowAllExecute();
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

bool TfmMain::HasFinishedRun() const {
    return charts_->Mode() == tChartMode::Analysis && charts_->PointCount() > 0;
}

iChartSink& TfmMain::chartSink() const {
    return chartSinkOverride_ != nullptr ? *chartSinkOverride_ : *charts_;
}

// ---------------------------------------------------------------- configuration

void TfmMain::readVolumeCoefficient() {
    const std::string text = settings_->GetSettingByName("VolCoeff");
    double value = 0;
    if (!tryParseDecimal(text, value)) {
        value = kDefaultVolumeCoefficient;
    } else if (!std::isfinite(value) || !(value > 0) || !std::isfinite(static_cast<float>(value))) {
        // A negative, zero or endless coefficient would export volumes that
        // are plainly wrong; the default is at least the station's own.
        logFile->WriteLine("VolCoeff=" + text +
                           " is not a positive number, using the default coefficient");
        value = kDefaultVolumeCoefficient;
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
    if (minutes <= 0) {
        // No time at all is no countdown, not a disconnect at every connect.
        if (!view_.StatusText(kPanelSwitchOff).empty()) {
            view_.SetStatusText(kPanelSwitchOff, "");
        }
        return;
    }
    const int warnSeconds = strToIntDef(settings_->GetSettingByName("WarnTime"), 30);
    switchOffElapsed_ += kClockIntervalMs;
    std::int64_t remaining = static_cast<std::int64_t>(minutes) * 60000 - switchOffElapsed_;
    if (remaining < 0) {
        ExecuteAction("acDeviceStop");
        switchOffActuators();
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
    if (connecting_) {
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
    if (connecting_) {
        // Pressed again during the search: cancel it.
        finder_->Cancel();
        return;
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
        armSwitchOff();
    } else {
        view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
    }
}

void TfmMain::connect() {
    if (IsConnected()) {
        disconnect();
    }
    connecting_ = true;
    closeAfterConnect_ = false;
    UpdateActions();
    finder_ = std::make_unique<tStationFinder>(*settings_);
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
    connecting_ = false;
    if (device_ != nullptr) {
        // Called on the measurement thread: only note it, the tick acts.
        device_->SetEventHandler([flag = linkLost_](tMeasureEvent event) {
            if (event == tMeasureEvent::LinkLost) {
                flag->store(true);
            }
        });
    }
    UpdateActions();
    if (closeAfterConnect_) {
        closeAfterConnect_ = false;
        view_.Close();
    }
}

void TfmMain::disconnect() {
    if (IsMeasuring()) {
        endRun(tRunEnd::Disconnect);
    }
    device_.reset();
    switchOffArmed_ = -1;
    switchOffElapsed_ = -1;
    linkLost_->store(false);
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
    decodeLines(bytes, firstError, true);
    if (firstError) {
        std::rethrow_exception(firstError);
    }
}

float TfmMain::runTime(float stationSeconds) {
    double t = stationSeconds + timeOffset_;
    const double period = digitisePeriod_ * 0.001;
    if (newestTime_ >= 0 && t < newestTime_ - period) {
        // The station's clock went back by more than a record: it restarted.
        // The run's time axis goes on after its newest point instead of
        // putting every later record in between the old ones.
        timeOffset_ += newestTime_ + period - t;
        t = newestTime_ + period;
        logFile->WriteLine("STATION CLOCK WENT BACK: times continue after " +
                           formatFixed(newestTime_, 3) + " s, offset " +
                           formatFixed(timeOffset_, 3) + " s");
    }
    newestTime_ = std::max(newestTime_, t);
    return static_cast<float>(t);
}

void TfmMain::decodeLines(std::string_view text, std::exception_ptr& firstError, bool step) {
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
        const float t = runTime(static_cast<float>(tt * 0.001));
        newest = std::max(newest, t);
        const tExperimentValues values = chartSink().AddReadingSet(t, readings);
        if (step && experiment_->GetStatus() == esRunning) {
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

void TfmMain::decodeQueue(tPacketQueue& queue, std::exception_ptr& firstError, bool step) {
    while (!queue.empty()) {
        tPacket packet = std::move(queue.front());
        queue.pop_front();
        if (packet.buffer == nullptr || packet.size <= 0) {
            continue;
        }
        const auto size = std::min<std::size_t>(packet.size, tPacket::kBufferSize);
        decodeLines(std::string_view(reinterpret_cast<const char*>(packet.buffer.get()), size),
                    firstError, step);
    }
}

// ---------------------------------------------------------------- acquisition

void TfmMain::acDeviceStartExecute() {
    chartSink().EnterLiveMode();
    timeOffset_ = 0;
    newestTime_ = -1;
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
    endRun(tRunEnd::Stop);
}

// One ending for Stop, Disconnect and a lost link. The thread ends and the
// stop command goes out first; what the station had still queued (a paused
// stretch too) belongs to the run and is decoded after that, but with the
// scenario no longer stepping: a state change among those records would
// otherwise send its actions after the stop command.
void TfmMain::endRun(tRunEnd how) {
    view_.SetTimerEnabled(tViewTimer::Start, false);
    tPacketQueue leftover;
    device_->StopMeasure(&leftover);
    std::exception_ptr ignored;
    decodeQueue(leftover, ignored, false);
    experiment_->Stop();
    chartSink().EnterAnalysisMode();
    if (how == tRunEnd::Stop) {
        queryActuatorState();
        armSwitchOff();
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
    std::exception_ptr firstError;
    decodeQueue(queue, firstError, true);
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
    // Keep everything that arrived, then close the dead link so that
    // connecting again starts from scratch.
    endRun(tRunEnd::LinkLost);
    device_.reset();
    switchOffArmed_ = -1;
    switchOffElapsed_ = -1;
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
    try {
        ExportReadings(*charts_, fileName);
    } catch (const std::exception& e) {
        throw tError(formatText(constantText("DK_EXPORT_FAILED"), {e.what()}));
    }
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
