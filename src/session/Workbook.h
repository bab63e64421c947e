#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "run/RunEvent.h"

namespace vantrel {

class tRunData;
struct tRunSummary;

// Told now and then, from the thread that writes, how much of the workbook
// is written (0..1); false cancels the writing.
using tWorkbookProgress = std::function<bool(double done)>;

// The writing was cancelled: the target is as it was.
class tWorkbookCancelled : public tError {
public:
    tWorkbookCancelled() : tError("cancelled") {}
};

// Writes the run as a spreadsheet workbook with three sheets, named and
// headed in the current language: every record of the run as numbers in
// real units with a mark column, the marked points (the summary's table
// names them), and the summary (title facts, equivalence point, fits,
// statistics, each with the stretch it was made over). The columns are the
// export's: the visible curves, relative ones as their differences, times
// from the time origin. Written through a temporary file, so a failure or a
// cancel leaves what was there; tError saying why, tWorkbookCancelled when
// `progress` said stop. `run` is only read, `progress` called on this
// thread.
void writeWorkbook(const std::string& fileName, const tRunData& run, const tRunSummary& summary,
                   const tWorkbookProgress& progress = {});

// One station's run for the class's workbook.
struct tClassSheet {
    std::string station;
    const std::vector<tReadingSet>* records = nullptr;
};
// The class's workbook: the results table (tClassResults::Text's lines, as
// cells: numbers where the cell reads as one) on the first sheet, then a
// sheet per station with its run's readings in physical units. tError
// saying why not; the target is then as it was.
void writeClassWorkbook(const std::string& fileName, const std::string& summaryTitle,
                        const std::string& resultsText, const std::vector<tClassSheet>& sheets);

// A folder for the workbook library's temporary files: it opens them, and
// the workbook, through the C runtime's narrow file functions, which on
// Windows read a name in the ANSI code page, so a folder with a letter
// outside it (a user named in Kazakh) fails there. Of `candidates`, in
// order, the first folder that `narrow` can name (the name handed to the
// library) and where a file can be created.
struct tScratchFolder {
    std::filesystem::path path;
    std::string narrow;
};
using tNarrowName = std::function<std::optional<std::string>(const std::filesystem::path&)>;
std::optional<tScratchFolder> scratchFolder(const std::vector<std::filesystem::path>& candidates,
                                            const tNarrowName& narrow);

}  // namespace vantrel
