#pragma once

#include <functional>
#include <string>

#include "session/Workbook.h"

namespace vantrel {

class iSessionView;
class iDialogs;
class tActionList;
class tAnalysis;
class tRunData;
class tSelection;
struct tRunSummary;

// The window's side of the lab report: its pages drawn with the charts as
// they are shown.
class iReportView {
public:
    virtual ~iReportView() = default;
    // A4 pages into a PDF file; tError when it cannot be written. False
    // when the user cancelled it meanwhile: nothing is written.
    virtual bool WriteReport(const std::string& fileName, const tRunSummary& summary,
                             const std::string& student) = 0;
    // Through the system's print dialog; false when the user cancelled it.
    virtual bool PrintReport(const tRunSummary& summary, const std::string& student) = 0;
};

// The window's side of a long job (the workbook of a day's run): it runs
// the job on a thread of its own, with a progress bar and a cancel button,
// while the window stays alive, and returns when the job has ended; an
// exception of the job is rethrown here. The job is handed the function it
// tells its progress to, which returns false once the user cancelled.
class iJobRunner {
public:
    virtual ~iJobRunner() = default;
    using tJob = std::function<void(const tWorkbookProgress& progress)>;
    virtual void Run(const std::string& title, const tJob& job) = 0;
};

// What a student hands in: the workbook of the run, the report as a PDF
// file, the report on paper. The actions of the File menu and the same
// jobs for the command line.
class tReports {
public:
    // Of `run` as `selection` chooses it, with the fits and the equivalence
    // point of `analysis`.
    tReports(const tRunData& run, const tSelection& selection, const tAnalysis& analysis,
             iDialogs& dialogs);

    // `canExport`: the run may be exported now (as the text export).
    void AddActions(tActionList& actions, std::function<bool()> canExport);
    void SetView(iReportView* view) { view_ = view; }
    // None: the workbook is written on the calling thread.
    void SetJobRunner(iJobRunner* runner) { runner_ = runner; }

    // tError with the program's wording when the file cannot be written;
    // nothing, and the file as it was, when the user cancelled.
    void ExportWorkbook(const std::string& fileName) const;
    // False when the user cancelled it.
    bool WriteReport(const std::string& fileName, const std::string& student) const;

private:
    void ChooseWorkbook();
    void ChooseReport();
    void Print();
    // The name and class typed for the report's title block, remembered for
    // the next report of this session. False when cancelled.
    bool AskStudent();

    const tRunData& run_;
    const tSelection& selection_;
    const tAnalysis& analysis_;
    iDialogs& dialogs_;
    iReportView* view_ = nullptr;
    iJobRunner* runner_ = nullptr;
    std::string student_;
};

}  // namespace vantrel
