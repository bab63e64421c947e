#include "session/Reports.h"

#include "base/Error.h"
#include "base/Texts.h"
#include "session/ActionList.h"
#include "session/Dialogs.h"
#include "session/RunSummary.h"
#include "session/Workbook.h"

namespace vantrel {

tReports::tReports(const tRunData& run, const tSelection& selection, const tAnalysis& analysis,
                   iDialogs& dialogs)
    : run_(run), selection_(selection), analysis_(analysis), dialogs_(dialogs) {}

void tReports::AddActions(tActionList& actions, std::function<bool()> canExport) {
    auto hasPoints = [this, canExport] { return canExport() && run_.Count() > 0; };
    actions.Add(
        "acFileExportWorkbook", "Экспорт в &Excel...", {},
        "Показания, отметки и итоги опыта в книгу Excel", [this](tAction&) { ChooseWorkbook(); },
        [canExport](tAction& a) { a.SetEnabled(canExport()); });
    actions.Add(
        "acFileReport", "Отчёт об о&пыте...", {},
        "Графики, результаты и отмеченные точки в документ PDF для печати",
        [this](tAction&) { ChooseReport(); },
        [this, hasPoints](tAction& a) { a.SetEnabled(view_ != nullptr && hasPoints()); });
    actions.Add(
        "acFilePrint", "&Печать...", {}, "Напечатать отчёт об опыте", [this](tAction&) { Print(); },
        [this, hasPoints](tAction& a) { a.SetEnabled(view_ != nullptr && hasPoints()); });
}

void tReports::ExportWorkbook(const std::string& fileName) const {
    try {
        const tRunSummary summary = runSummary(run_, selection_, analysis_);
        if (runner_ == nullptr) {
            writeWorkbook(fileName, run_, summary);
            return;
        }
        // The writer gets a copy of its own: nothing the window does while
        // it writes can change what it reads.
        const tRunData run = run_;
        runner_->Run(constantText("DK_XLSX_WRITING"), [&](const tWorkbookProgress& progress) {
            writeWorkbook(fileName, run, summary, progress);
        });
    } catch (const tWorkbookCancelled&) {
        return;
    } catch (const std::exception& e) {
        throw tError(formatText(constantText("DK_XLSX_FAILED"), {e.what()}));
    }
}

bool tReports::WriteReport(const std::string& fileName, const std::string& student) const {
    if (view_ == nullptr) {
        return false;
    }
    try {
        return view_->WriteReport(fileName, runSummary(run_, selection_, analysis_), student);
    } catch (const std::exception& e) {
        throw tError(formatText(constantText("DK_REPORT_FAILED"), {e.what()}));
    }
}

void tReports::ChooseWorkbook() {
    std::string fileName;
    if (dialogs_.ChooseSaveFile("xlsx", constantText("DK_XLSX_FILTER"), fileName)) {
        ExportWorkbook(fileName);
    }
}

bool tReports::AskStudent() {
    return dialogs_.InputText(constantText("DK_REPORT_TITLE"),
                              constantText("DK_REPORT_ASK_STUDENT"), student_);
}

void tReports::ChooseReport() {
    std::string fileName;
    if (view_ != nullptr && AskStudent() &&
        dialogs_.ChooseSaveFile("pdf", constantText("DK_REPORT_FILTER"), fileName)) {
        WriteReport(fileName, student_);
    }
}

void tReports::Print() {
    if (view_ != nullptr && AskStudent()) {
        view_->PrintReport(runSummary(run_, selection_, analysis_), student_);
    }
}

}  // namespace vantrel
