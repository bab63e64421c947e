#include "session/RunFiles.h"

#include <exception>
#include <optional>
#include <string>

#include "base/Error.h"
#include "base/Functions.h"
#include "base/LogFile.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "charts/Export.h"
#include "experiment/Experiment.h"
#include "journal/Journal.h"
#include "journal/JournalWriter.h"
#include "session/Analysis.h"
#include "session/Dialogs.h"
#include "session/RunCharts.h"
#include "session/SessionView.h"
#include "station/StationSession.h"

namespace vantrel {

tRunFiles::tRunFiles(tStationSession& station, tChartModel& charts, tAnalysis& analysis,
                     iSessionView& view, iDialogs& dialogs)
    : station_(station), charts_(charts), analysis_(analysis), view_(view), dialogs_(dialogs) {}

void tRunFiles::Open(const std::string& journalFile) {
    if (station_.IsMeasuring()) {
        return;
    }
    const tJournalRun run = readJournal(journalFile);
    station_.ForgetJournal();
    analysis_.Forget();
    loadRunIntoCharts(run, charts_);
    if (station_.Experiment().GetStatus() == esEmpty && !run.header.experiment.empty()) {
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

void tRunFiles::ChooseAndOpen() {
    std::string path = station_.JournalFolder();
    if (dialogs_.ChooseOpenFile(constantText("DK_RUN_FILTER"), path)) {
        Open(path);
    }
}

void tRunFiles::OfferRecovery() {
    if (station_.JournalFolder().empty()) {
        return;
    }
    const std::optional<tJournalInfo> died = newestUnfinishedRun(station_.JournalFolder());
    if (!died) {
        return;
    }
    if (dialogs_.AskYesNo(formatText(constantText("DK_RECOVER_RUN"),
                                     {died->started, std::to_string(died->records)}),
                          messageText(20003))) {
        Open(died->fileName);
    }
    // Answered either way, it is not offered again; the run stays in the
    // journal folder, and Файл → Открыть запуск... opens it whenever wanted.
    appendJournalEnd(died->fileName);
}

void tRunFiles::Export(const std::string& extension, const std::string& filter) {
    std::string fileName;
    if (!dialogs_.ChooseSaveFile(extension, filter, fileName)) {
        return;
    }
    tExportWritten written;
    try {
        written = ExportReadings(charts_.Data(), charts_.Selection(), fileName);
    } catch (const std::exception& e) {
        throw tError(formatText(constantText("DK_EXPORT_FAILED"), {e.what()}));
    }
    // Which of its two kinds the file is: the marks alone, or a stretch.
    view_.SetStatusText(kPanelHint, countText(constantText(written.marked ? "DK_EXPORT_MARKED"
                                                                          : "DK_EXPORT_READINGS"),
                                              written.records));
    station_.HintReplaced();
}

}  // namespace vantrel
