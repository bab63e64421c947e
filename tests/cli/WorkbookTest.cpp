// The workbook of a run, read back by an independent reader (openpyxl) and
// compared with the recorder's export of the same run.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "base/Encoding.h"
#include "charts/ChartModel.h"
#include "charts/Export.h"
#include "cli/CliCommands.h"
#include "cli/CliTestSupport.h"
#include "cli/Recorder.h"
#include "journal/Journal.h"
#include "session/Analysis.h"
#include "session/NoWindow.h"
#include "session/RunCharts.h"
#include "session/RunSummary.h"
#include "session/Workbook.h"
#include "support/NullView.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::exportRows;
using test::readFile;
using test::writeBytes;

// A titration: the pH jumps at 5 ml, the temperature shown relative.
std::string titrationJournal(bool withMarks) {
    tJournalHeader h;
    h.version = "0.1.0";
    h.started = "2026-12-09 10:15:00";
    h.volumeCoefficient = 0.0934;
    h.relative[qLT] = true;
    h.names = {"Температура", "pH",        "Электропроводность", "Редокс-потенциал",
               "Реагент 1",   "Реагент 2", "Реагент 3"};
    h.experiment = "Титрование HCl";
    h.scenario = "titration.exp";
    std::string text = encodeHeader(h);
    for (int k = 0; k < 100; ++k) {
        const float v = 0.1f * static_cast<float>(k);
        const float pH = 3.0f + 8.0f / (1.0f + std::exp(-(v - 5.0f) * 6.0f));
        text += encodeReading(0.2f * static_cast<float>(k + 1),
                              {21.0f + 0.01f * static_cast<float>(k), pH, 4.0f, 0.7f, v, 0, 0});
    }
    if (withMarks) {
        text += encodeMark(20) + encodeMark(55);
    }
    return text + encodeEnd(20.0f);
}

#ifndef _WIN32
// What the independent reader says of `book` against the export `run`.
std::string check(const test::tCliDir& dir, const std::string& book, const std::string& run,
                  const std::string& options) {
    const std::string command =
        "/usr/bin/python3 " + std::string(VANTREL_SOURCE_DIR) + "/tests/cli/workbook_check.py " +
        book + " " + run + " 'Титрование HCl' " + options + " > " + dir.File("check.txt") + " 2>&1";
    return std::system(command.c_str()) == 0 ? "OK" : readFile(dir.File("check.txt"));
}
#endif

TEST(WorkbookTest, HoldsEveryRecordAndTheSummaryForAnIndependentReader) {
    test::tCliDir dir;
    writeBytes(dir.File("marked.journal"), titrationJournal(true));
    writeBytes(dir.File("plain.journal"), titrationJournal(false));
    std::ostringstream out;
    std::ostringstream messages;
    // The recorder's export of a marked run holds every reading, the marks
    // in a column of their own.
    ASSERT_EQ(runRecorder(
                  {"--recover", dir.File("marked.journal"), "--export", dir.File("all.csv"),
                   "--xlsx", dir.File("run.xlsx"), "--equivalence", "V1", "--fit", "LP,linear,V1"},
                  dir.Program(), out, messages),
              0)
        << messages.str();
    std::string text;
    decodeWindowsText(readFile(dir.File("all.csv")), text);
    const auto rows = exportRows(text);
    ASSERT_EQ(rows.size(), 101u) << messages.str();
    EXPECT_EQ(rows[0].back(), "Метка");
    EXPECT_EQ(
        std::count_if(rows.begin(), rows.end(), [](const auto& r) { return r.back() == "*"; }), 2);

    // The window's workbook with a point inspected mid-run and the time
    // origin set: still every record; the fits and the statistics name
    // their stretch, and the fits count the time as the readings do.
    tChartModel charts;
    loadRunFileIntoCharts(dir.File("marked.journal"), charts);
    charts.InspectAt(charts.Data().Time(20), true);
    charts.InspectAt(charts.Data().Time(60), false);
    test::tNullView view;
    tNoWindow dialogs;
    tAnalysis analysis(charts.Data(), charts.Selection(), charts, view, dialogs);
    analysis.AddFits(tFitModel::Linear);
    writeWorkbook(dir.File("inspected.xlsx"), charts.Data(),
                  runSummary(charts.Data(), charts.Selection(), analysis));
    ExportRun(charts.Data(), charts.Selection(), dir.File("inspected.csv"));
#ifdef _WIN32
    GTEST_SKIP() << "the reader runs on the build machine";
#else
    EXPECT_EQ(check(dir, dir.File("run.xlsx"), dir.File("all.csv"), "--equivalence"), "OK");
    EXPECT_EQ(check(dir, dir.File("inspected.xlsx"), dir.File("inspected.csv"),
                    "--stretch 'От 0.000 до 8.000 с, точек: 41'"),
              "OK");
#endif

    // A workbook that cannot be written is told.
    std::ostringstream failed;
    EXPECT_EQ(runRecorder({"--recover", dir.File("plain.journal"), "--xlsx",
                           dir.File("no-such-folder/run.xlsx")},
                          dir.Program(), out, failed),
              5);
    EXPECT_NE(failed.str().find("workbook failed"), std::string::npos) << failed.str();
}

// Cancelled, the workbook leaves the file that was there and no scratch
// file behind.
TEST(WorkbookTest, ACancelLeavesTheTargetAsItWas) {
    test::tCliDir dir;
    writeBytes(dir.File("marked.journal"), titrationJournal(true));
    tChartModel charts;
    loadRunFileIntoCharts(dir.File("marked.journal"), charts);
    test::tNullView view;
    tNoWindow dialogs;
    tAnalysis analysis(charts.Data(), charts.Selection(), charts, view, dialogs);
    const fs::path scratch = dir.File("scratch");
    fs::create_directories(scratch);
    const char* saved = ::getenv("TMPDIR");
    const std::string before = saved != nullptr ? saved : "";
    ::setenv("TMPDIR", scratch.c_str(), 1);
    writeBytes(dir.File("old.xlsx"), "old contents");
    std::vector<double> told;
    EXPECT_THROW(writeWorkbook(dir.File("old.xlsx"), charts.Data(),
                               runSummary(charts.Data(), charts.Selection(), analysis),
                               [&](double done) {
                                   told.push_back(done);
                                   return false;
                               }),
                 tWorkbookCancelled);
    if (saved != nullptr) {
        ::setenv("TMPDIR", before.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    EXPECT_EQ(told.size(), 1u);
    EXPECT_EQ(readFile(dir.File("old.xlsx")), "old contents");
    EXPECT_TRUE(fs::is_empty(scratch));
}

// Windows' narrow file functions cannot name a folder with a letter outside
// the ANSI code page: the scratch folder is the first candidate that can be
// named so, and exists.
TEST(WorkbookTest, TheScratchFolderIsOneTheLibraryCanName) {
    test::tCliDir dir;
    const fs::path kazakh = dir.File("Әлия");
    const fs::path plain = dir.File("plain");
    fs::create_directories(kazakh);
    fs::create_directories(plain);
    const tNarrowName asciiOnly = [](const fs::path& folder) -> std::optional<std::string> {
        const std::string name = folder.string();
        if (std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; })) {
            return std::nullopt;
        }
        return name;
    };
    const std::optional<tScratchFolder> found =
        scratchFolder({dir.File("missing"), kazakh, plain}, asciiOnly);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->path, plain);
    EXPECT_EQ(found->narrow, plain.string());
    EXPECT_FALSE(scratchFolder({kazakh}, asciiOnly).has_value());
}

}  // namespace
}  // namespace vantrel
