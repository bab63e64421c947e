#include "cli/Recorder.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>

#include "base/Files.h"
#include "base/Functions.h"
#include "base/Locale.h"
#include "base/LogFile.h"
#include "base/NumberSetting.h"
#include "base/Paths.h"
#include "base/ProgramFiles.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "base/VersionInfo.h"
#include "charts/ChartModel.h"
#include "charts/Equivalence.h"
#include "charts/Export.h"
#include "cli/ConsoleView.h"
#include "cli/RecordingSink.h"
#include "cli/ScenarioTools.h"
#include "experiment/Experiment.h"
#include "journal/Journal.h"
#include "journal/RunFile.h"
#include "lang/LanguageFile.h"
#include "lang/LanguageList.h"
#include "run/Quantities.h"
#include "session/MainFM.h"

#include "sim/Simulator.h"

namespace vantrel {

namespace {

constexpr const char* kPrefix = "vantrel-cli: ";
constexpr std::chrono::milliseconds kTick{kTickIntervalMs};
constexpr int kTicksPerClockTick = kClockIntervalMs / kTickIntervalMs;
constexpr double kProgressInterval = 1.0;

// Reading texts as the value list shows them: volumes with four decimals.
std::string readingText(int quantity, float value) {
    return formatFixed(value, quantity >= qV1 ? 4 : 2);
}

// The export target is checked before the run, not found unusable after an
// hour of recording: a missing, read-only or full folder is told at once.
bool exportTargetUsable(const std::string& fileName, std::string& error) {
    const std::filesystem::path path = pathFromUtf8(fileName);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "--export: '" + fileName + "' is a folder";
        return false;
    }
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    if (!std::filesystem::is_directory(folder, ec)) {
        error = "--export: the folder '" + utf8FromPath(folder) + "' does not exist";
        return false;
    }
    std::string reason;
    if (!canWriteFile(fileName, reason)) {
        error = "--export: '" + fileName + "' cannot be written: " + reason;
        return false;
    }
    return true;
}

}  // namespace

std::string fallbackExportName() {
    std::filesystem::path folder;
    for (const char* variable : {"HOME", "USERPROFILE"}) {
        const std::string value = environmentText(variable);
        std::error_code ec;
        if (!value.empty() && std::filesystem::is_directory(pathFromUtf8(value), ec)) {
            folder = pathFromUtf8(value);
            break;
        }
    }
    std::error_code ec;
    if (folder.empty()) {
        folder = std::filesystem::temp_directory_path(ec);
    }
    return utf8FromPath(folder / ("vantrel-run-" + localTimeStamp("%Y%m%d-%H%M%S") + ".csv"));
}

tRecorder::tRecorder(tCliOptions options, std::vector<std::string> args, std::string programPath,
                     std::ostream& out, std::ostream& messages, const std::atomic<int>* interrupts)
    : options_(std::move(options)),
      args_(std::move(args)),
      files_(locateProgramFiles(programPath)),
      out_(out),
      messages_(messages),
      interrupts_(interrupts) {}

int tRecorder::Run() {
    std::unique_ptr<tLogFile> log;
    try {
        log = std::make_unique<tLogFile>(files_.log, args_);
    } catch (const std::exception& e) {
        messages_ << kPrefix << e.what() << '\n';
        return kExitUsage;
    }
    setLogFile(log.get());
    int status = kExitUsage;
    runLogged([&] { status = RunLogged(); },
              [this](const std::string& text) { messages_ << kPrefix << text << '\n'; });
    setLogFile(nullptr);
    return status;
}

int tRecorder::RunLogged() {
    // Declared first, so the port is still answered while the controller
    // closes its link on the way out.
    std::unique_ptr<sim::tSimulator> simulator;
    tConsoleView view(messages_);
    tRecordingSink sink(options_.records);
    const std::string configFile =
        options_.configFile.empty() ? files_.config : options_.configFile;
    std::unique_ptr<TfmMain> controller;
    try {
        controller = std::make_unique<TfmMain>(view, configFile, &sink);
        controller->FormCreate(files_.languageFolders);
    } catch (const std::exception& e) {
        messages_ << kPrefix << e.what() << '\n';
        return kExitUsage;
    }
    sink.SetTarget(&controller->Charts());
    view.SetEcho(true);
    view.SetInterrupts(interrupts_);

    if (options_.simulate) {
        try {
            simulator = sim::tSimulator::StartBuiltIn();
        } catch (const std::exception& e) {
            messages_ << kPrefix << "the station simulator cannot start: " << e.what() << '\n';
            return kExitUsage;
        }
        options_.ports = {simulator->PortPath()};
        messages_ << kPrefix << "simulated station on " << simulator->PortPath() << '\n';
    }
    TfmMain::tStart start;
    start.ports = options_.ports;
    start.reconnect = options_.reconnectSeconds > 0;
    start.resumeRun = true;
    start.reconnectLimit = std::chrono::seconds(options_.reconnectSeconds);
    controller->Prepare(start);
    if (!options_.scenarioFile.empty()) {
        try {
            controller->OpenScenario(options_.scenarioFile);
        } catch (const std::exception& e) {
            messages_ << kPrefix << options_.scenarioFile << ": " << e.what() << '\n';
            return kExitScenario;
        }
    }
    for (int i = 0; i < kQuantityCount; ++i) {
        if (options_.relative[static_cast<std::size_t>(i)]) {
            controller->RelativeItemToggled(i, true);
        }
    }
    return Record(*controller, view, sink);
}

int tRecorder::Record(TfmMain& controller, const tConsoleView& view, tRecordingSink& sink) {
    messages_ << kPrefix << "looking for the station...\n" << std::flush;
    try {
        controller.ExecuteAction("acDeviceConnect");
    } catch (const std::exception& e) {
        messages_ << kPrefix << e.what() << '\n';
    }
    if (!controller.IsConnected()) {
        if (Interrupted()) {
            messages_ << kPrefix << "interrupted while looking for the station\n";
            return kExitInterrupted;
        }
        const std::string ports = joinTexts(controller.PortsToTry(), ", ");
        messages_ << kPrefix << "no station found on "
                  << (ports.empty() ? std::string("the system's serial ports") : ports) << '\n';
        return kExitNoStation;
    }

    using tClock = std::chrono::steady_clock;
    tStop reason = tStop::None;
    auto started = tClock::now();
    auto elapsedSince = [&started]() {
        return std::chrono::duration<double>(tClock::now() - started).count();
    };
    try {
        if (options_.periodMs != controller.DigitisePeriod()) {
            controller.setPeriod(options_.periodMs);
        }
        controller.ExecuteAction("acDeviceStart");
    } catch (const std::exception& e) {
        messages_ << kPrefix << e.what() << '\n';
    }
    const bool measuring = controller.IsMeasuring();
    if (!measuring) {
        // Not a run that merely ended early: nothing was recorded.
        messages_ << kPrefix << "the station did not start measuring\n";
        reason = tStop::LinkLost;
    } else {
        messages_ << kPrefix << "recording every " << controller.DigitisePeriod() << " ms"
                  << (interrupts_ != nullptr ? ", Ctrl+C stops" : "") << '\n'
                  << std::flush;
    }

    // Errors escaping a tick are shown and the run goes on, as the window's
    // own handler does.
    auto guarded = [this](auto&& handler) {
        try {
            handler();
        } catch (const std::exception& e) {
            messages_ << kPrefix << "error: " << e.what() << '\n';
        }
    };

    started = tClock::now();
    auto next = started;
    double nextProgress = kProgressInterval;
    for (long tick = 1; reason == tStop::None; ++tick) {
        next += kTick;
        const auto now = tClock::now();
        // After a stall (a suspended machine) the ticks resume at their pace
        // instead of catching up in a burst.
        if (next + std::chrono::seconds(1) < now) {
            next = now;
        }
        std::this_thread::sleep_until(next);
        // The console has no event loop: the controller's timers run here,
        // as it enables them.
        if (view.TimerEnabled(tViewTimer::Start)) {
            guarded([&controller] { controller.tmStartTimer(); });
        }
        if (tick % kTicksPerClockTick == 0 && view.TimerEnabled(tViewTimer::Time)) {
            guarded([&controller] { controller.tmTimeTimer(); });
        }
        const double elapsed = elapsedSince();
        reason = CheckStop(controller, sink, elapsed);
        if (reason == tStop::None && elapsed >= nextProgress) {
            Progress(controller, sink, elapsed);
            nextProgress += kProgressInterval;
        }
    }
    const double elapsed = elapsedSince();

    // From here on an interrupt only counts: the run must reach its file.
    const int interruptsBefore = interrupts_ != nullptr ? interrupts_->load() : 0;
    if (controller.IsMeasuring()) {
        guarded([&controller] { controller.ExecuteAction("acDeviceStop"); });
    }
    Summary(reason, sink, elapsed);
    // A run without a single reading is no recording, whatever ended it.
    const TfmMain::tLineCounts lines = controller.RunLines();
    const bool empty = lines.records == 0;
    if (empty && measuring) {
        messages_ << kPrefix << "no state record arrived: ";
        if (lines.rejected == 0) {
            messages_ << "the station was silent for " << formatFixed(elapsed, 1) << " s\n";
        } else {
            messages_ << lines.rejected << (lines.rejected == 1 ? " line was" : " lines were")
                      << " not state records\n";
        }
    }
    bool exported = options_.exportFile.empty() || Export(controller);
    if (!options_.workbookFile.empty()) {
        // The run is in the journal and the text export whatever happens here.
        guarded([&] {
            exported = writeRunWorkbook(controller.Charts().Data(), controller.Charts().Selection(),
                                        controller.Analysis(), options_.workbookFile,
                                        options_.equivalence, options_.analyses,
                                        options_.FromSeconds(), options_.ToSeconds(), messages_) &&
                       exported;
        });
    }
    if (options_.equivalence >= 0) {
        guarded([&] { PrintEquivalence(controller); });
    }
    if (!options_.analyses.empty()) {
        guarded([&] {
            for (const std::string& line :
                 stretchLines(tRunColumns::Of(controller.Charts().Data()), options_.analyses,
                              options_.FromSeconds(), options_.ToSeconds())) {
                out_ << line << '\n';
            }
            out_ << std::flush;
        });
    }
    if (interrupts_ != nullptr && interrupts_->load() > interruptsBefore) {
        // Asked again while stopping: the run is written, end without the
        // polite close (the stop command has gone out already).
        messages_ << kPrefix << "interrupted again: ending now\n" << std::flush;
    } else if (controller.IsConnected()) {
        // Nobody to ask: the run is over, the window's exit question is moot.
        controller.FormClose();
    }
    if (!exported) {
        return kExitExportFailed;
    }
    if (reason == tStop::ScenarioFailed) {
        return kExitScenario;
    }
    return reason == tStop::LinkLost || empty ? kExitLinkLost : kExitDone;
}

tRecorder::tStop tRecorder::CheckStop(const TfmMain& controller, const tRecordingSink& sink,
                                      double elapsed) const {
    if (!controller.IsConnected() && !controller.IsReconnecting()) {
        return tStop::LinkLost;
    }
    if (controller.Experiment().Failed()) {
        return tStop::ScenarioFailed;  // the recording up to here is still exported
    }
    if (sink.LimitReached()) {
        return tStop::Records;
    }
    if (options_.durationSeconds && elapsed >= *options_.durationSeconds) {
        return tStop::Duration;
    }
    if (Interrupted()) {
        return tStop::Interrupted;
    }
    if (!controller.IsMeasuring() && !controller.IsReconnecting()) {
        return tStop::Ended;  // stopped by the controller itself (a finished scenario)
    }
    return tStop::None;
}

void tRecorder::Progress(const TfmMain& controller, const tRecordingSink& sink, double elapsed) {
    messages_ << kPrefix << static_cast<long long>(elapsed) << " s, " << sink.Accepted()
              << " records";
    if (const tState* state = controller.Experiment().GetCurrentState()) {
        messages_ << ", state " << state->Name();
    }
    if (sink.Accepted() > 0) {
        messages_ << ", t " << formatFixed(sink.NewestTime(), 3) << " s:";
        for (int i = 0; i < kQuantityCount; ++i) {
            messages_ << "  " << kQuantityCodes[static_cast<std::size_t>(i)] << ' '
                      << readingText(i, sink.NewestReadings()[static_cast<std::size_t>(i)]);
        }
    }
    messages_ << '\n' << std::flush;
}

bool tRecorder::Export(TfmMain& controller) {
    try {
        ExportRun(controller.Charts().Data(), controller.Charts().Selection(), options_.exportFile);
    } catch (const std::exception& e) {
        messages_ << kPrefix << "export failed: " << e.what() << '\n';
        // The run is not lost with its file: it goes where it can be written.
        const std::string fallback = fallbackExportName();
        try {
            ExportRun(controller.Charts().Data(), controller.Charts().Selection(), fallback);
            messages_ << kPrefix << "the run was written to " << fallback << " instead\n";
        } catch (const std::exception& again) {
            messages_ << kPrefix << "the run could not be written to " << fallback
                      << " either: " << again.what() << '\n';
        }
        return false;
    }
    messages_ << kPrefix << "exported to " << options_.exportFile << '\n' << std::flush;
    return true;
}

// The same point the window finds: from the station's readings, whatever
// the run showed relative.
void tRecorder::PrintEquivalence(const TfmMain& controller) {
    const tTitration titration = titrationOf(controller.Charts().Data(), options_.equivalence);
    out_ << equivalenceLine(titration.volume, titration.pH) << '\n' << std::flush;
}

void tRecorder::Summary(tStop reason, const tRecordingSink& sink, double elapsed) {
    messages_ << kPrefix;
    switch (reason) {
        case tStop::Records:
            messages_ << "stopped after " << sink.Accepted() << " records";
            break;
        case tStop::Duration:
            messages_ << "stopped after " << formatFixed(*options_.durationSeconds, 1) << " s";
            break;
        case tStop::Interrupted:
            messages_ << "stopped on request";
            break;
        case tStop::LinkLost:
            messages_ << "the link to the station was lost";
            break;
        case tStop::ScenarioFailed:
            messages_ << "stopped after a failed scenario step";
            break;
        case tStop::Ended:
        case tStop::None:
            messages_ << "acquisition ended";
            break;
    }
    messages_ << ": " << sink.Accepted() << " records in " << formatFixed(elapsed, 1) << " s";
    if (sink.Accepted() > 0) {
        messages_ << " (station time " << formatFixed(sink.FirstTime(), 3) << " to "
                  << formatFixed(sink.NewestTime(), 3) << " s)";
    }
    messages_ << '\n' << std::flush;
}

namespace {

void applyConfiguredLanguage(const std::string& configFile,
                             const std::vector<std::string>& languageFolders) {
    int id = kLangRussian;
    try {
        tSettings settings(false);
        settings.Load(configFile);
        id = static_cast<int>(readNumberSetting(settings, keys::kLanguageId));
    } catch (const std::exception&) {
        return;  // no configuration: the built-in texts
    }
    const tLanguageList languages = tLanguageList::Scan(languageFolders);
    addExportTitles(languages.ExportTitles());
    const tLanguage& language =
        languages.Entries()[static_cast<std::size_t>(languages.IndexOf(id))];
    if (language.fileName.empty()) {
        return;
    }
    try {
        applyLanguageTexts(tLanguageFile::FromFile(language.fileName), language.id);
    } catch (const std::exception&) {
        // A damaged file: the built-in texts, as the window falls back to them.
    }
}

// The limits a recording with `configFile` would run under; a replay applies
// them to the scenario it steps. Without a configuration, the defaults.
tSafetyLimits configuredLimits(const std::string& configFile) {
    try {
        tSettings settings(false);
        settings.Load(configFile);
        return tSafetyLimits::FromSettings(settings);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

int recoverRun(const tCliOptions& options, std::ostream& messages) {
    std::string file = options.recoverFile;
    if (file.empty()) {
        const std::optional<tJournalInfo> died = newestUnfinishedRun(journalFolder());
        if (!died) {
            messages << kPrefix << "no run to recover: every run in " << journalFolder()
                     << " finished\n";
            return kExitNothingToRecover;
        }
        file = died->fileName;
    }
    tJournalRun run;
    try {
        run = readJournal(file);
    } catch (const std::exception& e) {
        messages << kPrefix << e.what() << '\n';
        return kExitNothingToRecover;
    }
    if (!options.exportFile.empty()) {
        tRunData data;
        tSelection selection;
        loadJournalRun(run, data, selection);
        try {
            ExportRun(data, selection, options.exportFile);
        } catch (const std::exception& e) {
            messages << kPrefix << "export failed: " << e.what() << '\n';
            return kExitExportFailed;
        }
    }
    if (!options.workbookFile.empty() &&
        writeFileRunWorkbook(file, nullptr, options.workbookFile, options.equivalence,
                             options.analyses, options.FromSeconds(), options.ToSeconds(),
                             messages) != kExitDone) {
        return kExitExportFailed;
    }
    messages << kPrefix << "recovered " << run.readings.size() << " readings of the run started "
             << run.header.started << (run.finished ? "" : " (it did not finish)") << " to "
             << (options.exportFile.empty() ? options.workbookFile : options.exportFile) << '\n';
    return kExitDone;
}

int runRecorder(const std::vector<std::string>& args, const std::string& programPath,
                std::ostream& out, std::ostream& messages, const std::atomic<int>* interrupts) {
    tCliOptions options;
    std::string error;
    if (!parseCliOptions(args, options, error)) {
        messages << kPrefix << error << "\nTry 'vantrel-cli --help'.\n";
        return kExitUsage;
    }
    if (options.help) {
        out << kCliUsage;
        return kExitDone;
    }
    if (options.version) {
        out << versionString("FileDescription") << ' ' << versionString("FileVersion") << '\n'
            << versionString("LegalCopyright") << '\n';
        return kExitDone;
    }
    if (!options.checkFile.empty()) {
        return checkScenario(options.checkFile, out, messages);
    }
    if (options.listRuns) {
        for (const tJournalInfo& run : listJournals(journalFolder())) {
            out << run.started << '\t' << run.records << '\t'
                << (run.finished ? "finished" : "unfinished") << '\t' << run.fileName << '\n';
        }
        return kExitDone;
    }
    const tProgramFiles files = locateProgramFiles(programPath);
    const bool writesFiles = !options.workbookFile.empty() || !options.exportFile.empty();
    const bool tellsRefusals = !options.replayFile.empty() && !options.scenarioFile.empty();
    if ((writesFiles && (options.recover || !options.replayFile.empty())) || tellsRefusals) {
        // The files speak the configured language, as a recording's do, and
        // so do the reasons a replay gives for refused commands.
        applyConfiguredLanguage(options.configFile.empty() ? files.config : options.configFile,
                                files.languageFolders);
    }
    if (options.recover) {
        return recoverRun(options, messages);
    }
    if (!options.replayFile.empty()) {
        // An export written in a shipped language names its columns in it.
        addExportTitles(tLanguageList::Scan(files.languageFolders).ExportTitles());
        const std::string configFile =
            options.configFile.empty() ? files.config : options.configFile;
        int status =
            replayScenario(options.scenarioFile, options.replayFile, out, messages,
                           options.equivalence, options.analyses, options.FromSeconds(),
                           options.ToSeconds(), options.workbookFile, configuredLimits(configFile));
        if (!options.exportFile.empty() && status != kExitUsage) {
            const int written =
                writeFileRunExport(options.replayFile, options.exportFile, messages);
            status = status == kExitDone ? written : status;
        }
        return status;
    }
    for (const std::string* target : {&options.exportFile, &options.workbookFile}) {
        if (!target->empty() && !exportTargetUsable(*target, error)) {
            messages << kPrefix << error << '\n';
            return kExitUsage;
        }
    }
    return tRecorder(std::move(options), args, programPath, out, messages, interrupts).Run();
}

}  // namespace vantrel
