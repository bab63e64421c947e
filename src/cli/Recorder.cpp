#include "cli/Recorder.h"

#include <chrono>
#include <exception>
#include <memory>
#include <thread>

#include "base/Functions.h"
#include "base/Locale.h"
#include "base/LogFile.h"
#include "base/NumberSetting.h"
#include "base/ProgramFiles.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "class/ClassStation.h"
#include "cli/ConsoleView.h"
#include "cli/RecordingResults.h"
#include "cli/RecordingSink.h"
#include "experiment/Experiment.h"
#include "run/Quantities.h"
#include "session/Analysis.h"
#include "session/ClassCards.h"
#include "session/LanguageTexts.h"
#include "session/NoWindow.h"
#include "session/StationOnView.h"
#include "sim/Simulator.h"
#include "station/StationSession.h"

namespace vantrel {

namespace {

constexpr const char* kPrefix = "vantrel-cli: ";
constexpr std::chrono::milliseconds kTick{kTickIntervalMs};
constexpr double kProgressInterval = 1.0;

// Reading texts as the value list shows them: volumes with four decimals.
std::string readingText(int quantity, float value) {
    return formatFixed(value, quantity >= qV1 ? 4 : 2);
}

}  // namespace

// What one recording is made of: the station's session told on the
// console, the run kept in a chart model for the exports, and an analysis
// with nobody to ask.
struct tRecordingParts {
    tRecordingParts(const tCliOptions& options, const std::string& configFile,
                    std::ostream& messages)
        : view(messages),
          events(view),
          sink(options.records),
          analysis(charts.Data(), charts.Selection(), charts, view, dialogs) {
        settings.Load(configFile);
    }
    tSettings settings{false};
    tConsoleView view;
    tStationOnView events;
    tChartModel charts;
    tRecordingSink sink;
    tNoWindow dialogs;
    tAnalysis analysis;
    std::unique_ptr<tStationSession> station;
    std::unique_ptr<tClassStation> classLink;  // none without a broker
};

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
    // Declared first, so the port is still answered while the session
    // closes its link on the way out.
    std::unique_ptr<sim::tSimulator> simulator;
    const std::string configFile =
        options_.configFile.empty() ? files_.config : options_.configFile;
    std::unique_ptr<tRecordingParts> parts;
    try {
        parts = std::make_unique<tRecordingParts>(options_, configFile, messages_);
        const std::vector<tUnreadSetting> unread = unreadNumberSettings(parts->settings);
        applyConfiguredLanguage(parts->settings, files_.languageFolders);
        const std::string told = unreadSettingsText(unread, parts->settings.GetFileName());
        if (!told.empty()) {
            parts->view.ShowWarning(told, messageText(20001));
        }
        parts->sink.SetTarget(&parts->charts);
        parts->station =
            std::make_unique<tStationSession>(parts->settings, parts->events, parts->sink);
    } catch (const std::exception& e) {
        messages_ << kPrefix << e.what() << '\n';
        return kExitUsage;
    }
    tStationSession& station = *parts->station;
    parts->view.SetEcho(true);
    parts->view.SetInterrupts(interrupts_);

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
    station.SetPorts(options_.ports);
    station.SetJournalFolder(journalFolder());
    station.SetPortMemory(stationPortFile());
    if (options_.reconnectSeconds > 0) {
        station.SetReconnect(true, std::chrono::seconds(options_.reconnectSeconds));
    }
    if (!options_.scenarioFile.empty()) {
        try {
            station.OpenScenario(options_.scenarioFile);
            parts->view.SetScenarioLabel(station.Experiment().GetName(), {});
        } catch (const std::exception& e) {
            messages_ << kPrefix << options_.scenarioFile << ": " << e.what() << '\n';
            return kExitScenario;
        }
    }
    StartClassLink(*parts);
    return Record(*parts);
}

// The class link never stands in a recording's way: settings it cannot use
// are told and the recording goes on without it.
void tRecorder::StartClassLink(tRecordingParts& parts) {
    parts.classLink = startClassStation(
        *parts.station, tClassSettings::Read(parts.settings, options_.classLink),
        [this](const std::string& text) { messages_ << kPrefix << text << '\n'
                                                    << std::flush; });
}

int tRecorder::Record(tRecordingParts& parts) {
    tStationSession& station = *parts.station;
    messages_ << kPrefix << "looking for the station...\n" << std::flush;
    try {
        station.Connect();
    } catch (const std::exception& e) {
        messages_ << kPrefix << e.what() << '\n';
    }
    if (!station.IsConnected()) {
        if (Interrupted()) {
            messages_ << kPrefix << "interrupted while looking for the station\n";
            return kExitInterrupted;
        }
        const std::string ports = joinTexts(station.PortsToTry(), ", ");
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
        if (options_.periodMs != station.PeriodMs()) {
            station.SetPeriod(options_.periodMs);
        }
        for (int i = 0; i < kQuantityCount; ++i) {
            parts.charts.SetRelative(i, options_.relative[static_cast<std::size_t>(i)]);
        }
        parts.charts.SetRunInfo(station.Start(options_.relative));
    } catch (const std::exception& e) {
        messages_ << kPrefix << e.what() << '\n';
    }
    const bool measuring = station.IsMeasuring();
    if (!measuring) {
        // Not a run that merely ended early: nothing was recorded.
        messages_ << kPrefix << "the station did not start measuring\n";
        reason = tStop::LinkLost;
    } else {
        messages_ << kPrefix << "recording every " << station.PeriodMs() << " ms"
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
    while (reason == tStop::None) {
        next += kTick;
        // After a stall (a suspended machine) the ticks resume at their pace
        // instead of catching up in a burst.
        if (next + std::chrono::seconds(1) < tClock::now()) {
            next = tClock::now();
        }
        std::this_thread::sleep_until(next);
        guarded([&station] { station.Tick(tClock::now()); });
        if (parts.classLink) {
            guarded([&parts] { parts.classLink->Tick(tClock::now()); });
        }
        const double elapsed = elapsedSince();
        reason = CheckStop(station, parts.sink, elapsed);
        if (reason == tStop::None && elapsed >= nextProgress) {
            Progress(station, parts.sink, elapsed);
            nextProgress += kProgressInterval;
        }
    }
    const double elapsed = elapsedSince();

    // From here on an interrupt only counts: the run must reach its file.
    const int interruptsBefore = interrupts_ != nullptr ? interrupts_->load() : 0;
    guarded([&station] { station.Stop(); });
    if (parts.classLink) {
        guarded([&parts] { parts.classLink->Tick(tClock::now()); });
    }
    Summary(reason, parts.sink, elapsed);
    // A run without a single reading is no recording, whatever ended it.
    const tRun::tLineCounts lines = station.Run().Lines();
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
    const bool exported = writeRecordingResults(
        options_, parts.charts.Data(), parts.charts.Selection(), parts.analysis, out_, messages_);
    if (interrupts_ != nullptr && interrupts_->load() > interruptsBefore) {
        // Asked again while stopping: the run is written, end without the
        // polite close (the stop command has gone out already).
        messages_ << kPrefix << "interrupted again: ending now\n" << std::flush;
    } else if (station.IsConnected()) {
        station.Close();
    }
    if (parts.classLink) {
        if (!empty) {
            // The class's results table: the run's length and, when asked
            // for, its equivalence point.
            guarded([&] {
                parts.classLink->PublishResult(classResultOf(
                    parts.charts.Data(), options_.equivalence, parts.analysis.Fits()));
            });
        }
        parts.classLink->Close();
    }
    if (!exported) {
        return kExitExportFailed;
    }
    if (reason == tStop::ScenarioFailed) {
        return kExitScenario;
    }
    return reason == tStop::LinkLost || empty ? kExitLinkLost : kExitDone;
}

tRecorder::tStop tRecorder::CheckStop(const tStationSession& station, const tRecordingSink& sink,
                                      double elapsed) const {
    if (!station.IsConnected() && !station.IsReconnecting()) {
        return tStop::LinkLost;
    }
    if (station.Experiment().Failed()) {
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
    if (!station.IsMeasuring() && !station.IsReconnecting()) {
        return tStop::Ended;  // stopped by the session itself (a finished scenario)
    }
    return tStop::None;
}

void tRecorder::Progress(const tStationSession& station, const tRecordingSink& sink,
                         double elapsed) {
    messages_ << kPrefix << static_cast<long long>(elapsed) << " s, " << sink.Accepted()
              << " records";
    if (const tState* state = station.Experiment().GetCurrentState()) {
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

}  // namespace vantrel
