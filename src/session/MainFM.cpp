#include "session/MainFM.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <string>

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
#include "charts/ChartModel.h"
#include "charts/Export.h"
#include "device/Protocol.h"
#include "experiment/Experiment.h"
#include "journal/Journal.h"
#include "journal/JournalWriter.h"
#include "lang/LanguageFile.h"
#include "run/Quantities.h"
#include "session/ClassCards.h"
#include "session/FileFolders.h"
#include "session/LanguageTexts.h"
#include "session/NoWindow.h"
#include "session/Reports.h"
#include "session/RunCharts.h"

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
      settings_(std::make_unique<tSettings>(false)),
      chartSinkOverride_(chartSink),
      actuatorPanel_(window),
      stationView_(
          view, [this] { refreshActuatorPanel(); }, [this] { UpdateActions(); }),
      language_(*settings_, view, window) {
    window_.SetCaption("Vantrel");
    charts_ = std::make_unique<tChartModel>();
    buildActions();
    settings_->Load(configFileName);
    unreadSettings_ = unreadNumberSettings(*settings_);
    station_ = std::make_unique<tStationSession>(*settings_, stationView_, this->chartSink());
    runFiles_ = std::make_unique<tRunFiles>(*station_, *charts_, *analysis_, view_, dialogs_);
    actuatorPanel_.Build(Actuators());
    if (readNumberSetting(*settings_, keys::kOneLanguage) != 0) {
        window_.SetLanguageMenuVisible(false);
    }
    window_.ShowSensorsPage();

    view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
    view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
    stationView_.PollingChanged(false);
    view_.SetTimerEnabled(tViewTimer::Time, true);
}

TfmMain::~TfmMain() {
    // The class link before the station it listens to; the station before
    // the settings it reads, it leaves the station safe.
    classLink_.reset();
    station_.reset();
    settings_.reset();
}

void TfmMain::FormCreate(const std::vector<std::string>& languageFolders) {
    if (language_.Apply(languageFolders, [this](const tLanguageFile& file) { ownTexts(file); })) {
        // The frames and the names follow the translated windows, which have
        // just overwritten the frames' texts.
        for (int n = 0; n < kActuatorCount; ++n) {
            Actuators()[n].name = constantText("DK_DEV_ACT_" + std::to_string(n));
        }
        actuatorPanel_.Build(Actuators());
        view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
        view_.SetStatusText(kPanelConnection, constantText("DK_CONN_NONE"));
    }
    // The curve check list takes its ticks from the curves.
    charts_->SyncCheckListFromSeries();
    // A value the teacher meant and the program did not take must not pass
    // unnoticed: the defaults apply, and the user is told which.
    const std::string unread = unreadSettingsText(unreadSettings_, settings_->GetFileName());
    if (!unread.empty()) {
        view_.ShowWarning(unread, messageText(20001));
    }
}

// The texts of the file that the controller itself holds: the actions, the
// value-list keys and the file choosers.
void TfmMain::ownTexts(const tLanguageFile& file) {
    actions_.Translate(file, "TfmMain");
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
                station_->SetPaused(false);
            }
        });
    add(
        "acDeviceStart", "&Старт...", {"Alt+S"}, "Начать измерение",
        [this](tAction&) { acDeviceStartExecute(); },
        [this](tAction& a) { a.SetEnabled(IsConnected() && !IsMeasuring()); });
    add(
        "acDevicePause", "&Пауза", {"Alt+P"}, "Приостановить или продолжить обработку показаний",
        [this](tAction& a) {
            station_->SetPaused(!station_->IsPaused());
            a.SetChecked(station_->IsPaused());
        },
        [this](tAction& a) {
            a.SetEnabled(IsMeasuring());
            a.SetChecked(station_->IsPaused());
        });
    add(
        "acDeviceStop", "С&топ", {"Alt+T"}, "Остановить измерение",
        [this](tAction&) { station_->Stop(); },
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
        [this](tAction&) {
            station_->CloseScenario();
            view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
        },
        [this](tAction& a) {
            a.SetEnabled(IsConnected() && !IsMeasuring() && Experiment().GetStatus() == esLoaded);
        });
    add(
        "acFileOpenRun", "Открыть &запись опыта...", {}, "Открыть запись одного из прошлых опытов",
        [this](tAction&) { runFiles_->ChooseAndOpen(); },
        [this](tAction& a) { a.SetEnabled(!IsMeasuring() && !JournalFolder().empty()); });
    add("acFileSetZeroMarker", "&Начало отсчета", {}, "Установить начало остчета времени", toggle,
        [linkOrRun](tAction& a) { a.SetEnabled(linkOrRun()); });
    add(
        "acFileMarkPoint", "&Отметить", {}, "Отметить точку для экспорта",
        [this](tAction&) {
            if (charts_->ToggleMarkAtCursor()) {
                station_->Mark(charts_->CursorIndex());
            }
        },
        [this, linkOrRun](tAction& a) { a.SetEnabled(linkOrRun() && charts_->CursorIndex() > 0); });
    add(
        "acFileExport", "&Экспорт...", {}, "Экспорт данных в файл",
        [this](tAction&) { runFiles_->Export(exportExtension_, exportFilter_); },
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

    analysis_ = std::make_unique<tAnalysis>(charts_->Data(), charts_->Selection(), *charts_, view_,
                                            dialogs_);
    analysis_->AddActions(actions_, [this] { return !IsMeasuring() && !IsConnecting(); });
    reports_ =
        std::make_unique<tReports>(charts_->Data(), charts_->Selection(), *analysis_, dialogs_);
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

// ---------------------------------------------------------------- clock and closing

void TfmMain::tmTimeTimer() {
    view_.SetStatusText(kPanelClock, longTimeText(std::chrono::system_clock::now()));
    station_->TickClock();
    if (classLink_) {
        classLink_->Tick(std::chrono::steady_clock::now());
        publishClassResult();
    }
}

// After a run, and whenever its analysis finds an equivalence point or a
// fit: the class's results table shows it.
void TfmMain::publishClassResult() {
    const bool measuring = IsMeasuring();
    if (measuring) {
        classRunShown_ = true;
    }
    const bool ended = classWasMeasuring_ && !measuring;
    classWasMeasuring_ = measuring;
    if (measuring || !classRunShown_ || charts_->PointCount() == 0) {
        return;
    }
    const int volume = analysis_->Equivalence() ? analysis_->EquivalenceVolume() : -1;
    const std::string signature = std::to_string(charts_->PointCount()) + "/" +
                                  std::to_string(volume) + "/" +
                                  std::to_string(analysis_->Fits().size());
    if (!ended && signature == classResultSent_) {
        return;
    }
    classResultSent_ = signature;
    classLink_->PublishResult(classResultOf(charts_->Data(), volume, analysis_->Fits()));
}

void TfmMain::tmStartTimer() {
    station_->TickAcquisition(std::chrono::steady_clock::now());
}

bool TfmMain::FormCloseQuery(bool canClose) {
    if (!canClose) {
        return false;
    }
    if (IsConnecting()) {
        // The search cannot be left half done: it ends at the current port,
        // then the window asks again.
        station_->CancelSearch();
        closeAfterConnect_ = true;
        return false;
    }
    if (!closeQueryAttached_) {
        return true;
    }
    return dialogs_.AskYesNo(messageText(5003), messageText(20003));
}

void TfmMain::FormClose() {
    closed_ = true;
    station_->Close();
    if (classLink_) {
        classLink_->Tick(std::chrono::steady_clock::now());  // the run's end goes out
        classLink_->Close();
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
        station_->CancelSearch();
        return;
    }
    if (IsReconnecting()) {
        // The user takes over: a search of their own instead of the retries.
        station_->StopReconnecting();
    }
    if (IsConnected()) {
        station_->Disconnect();
    } else {
        closeAfterConnect_ = false;
        actions_.Hold("acDeviceConnect");
        UpdateActions();
        station_->Connect();
        actions_.Release();
        UpdateActions();
    }
    action("acDeviceConnect").SetChecked(IsConnected());
    if (closeAfterConnect_) {
        closeAfterConnect_ = false;
        view_.Close();
    }
}

void TfmMain::Prepare(const tStart& start) {
    SetPorts(start.ports);
    SetJournalFolder(journalFolder());
    SetPortMemory(stationPortFile());
    if (start.reconnect) {
        SetReconnect(start.resumeRun, start.reconnectLimit);
    }
    classLink_ = startClassStation(*station_, tClassSettings::Read(*settings_, start.classLink),
                                   [this](const std::string& text) { view_.SetClassStatus(text); });
}

void TfmMain::refreshActuatorPanel() {
    actuatorPanel_.Refresh(Actuators());
}

void TfmMain::decodePacket(const std::uint8_t* buffer, std::size_t count) {
    if (buffer == nullptr) {
        return;
    }
    decodePacket(std::string_view(reinterpret_cast<const char*>(buffer), count));
}

void TfmMain::acDeviceStartExecute() {
    analysis_->Forget();
    std::array<bool, kQuantityCount> relative{};
    for (int i = 0; i < kQuantityCount; ++i) {
        relative[static_cast<std::size_t>(i)] = charts_->Relative(i);
    }
    charts_->SetRunInfo(station_->Start(relative));
}

void TfmMain::acDeviceFreqExecute() {
    std::string text = std::to_string(DigitisePeriod());
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

// ---------------------------------------------------------------- scenario and charts

void TfmMain::acFileOpenExecute() {
    std::string path;
    if (folders_->ChooseScenario(scenarioFilter_, path)) {
        OpenScenario(path);
    }
}

void TfmMain::OpenScenario(const std::string& path) {
    try {
        station_->OpenScenario(path);
    } catch (const std::exception&) {
        view_.SetScenarioLabel(constantText("DK_NO_SCENARIO"), {});
        throw;
    }
    view_.SetScenarioLabel(Experiment().GetStatus() == esLoaded ? Experiment().GetName()
                                                                : constantText("DK_NO_SCENARIO"),
                           {});
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

}  // namespace vantrel
