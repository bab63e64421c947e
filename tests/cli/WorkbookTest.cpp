// The workbook of a run, read back by an independent reader (openpyxl) and
// compared with the text export of the same run.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "cli/Recorder.h"
#include "journal/Journal.h"

namespace vantrel {
namespace {

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

TEST(WorkbookTest, HoldsTheExportsNumbersAndTheSummaryForAnIndependentReader) {
    test::tCliDir dir;
    writeBytes(dir.File("marked.journal"), titrationJournal(true));
    writeBytes(dir.File("plain.journal"), titrationJournal(false));
    std::ostringstream out;
    std::ostringstream messages;
    ASSERT_EQ(
        runRecorder({"--recover", dir.File("plain.journal"), "--export", dir.File("range.csv")},
                    dir.Program(), out, messages),
        0)
        << messages.str();
    ASSERT_EQ(runRecorder(
                  {"--recover", dir.File("marked.journal"), "--export", dir.File("marked.csv"),
                   "--xlsx", dir.File("run.xlsx"), "--equivalence", "V1", "--fit", "LP,linear,V1"},
                  dir.Program(), out, messages),
              0)
        << messages.str();
#ifdef _WIN32
    GTEST_SKIP() << "the reader runs on the build machine";
#else
    const std::string command = "/usr/bin/python3 " + std::string(VANTREL_SOURCE_DIR) +
                                "/tests/cli/workbook_check.py " + dir.File("run.xlsx") + " " +
                                dir.File("range.csv") + " " + dir.File("marked.csv") +
                                " 'Титрование HCl' > " + dir.File("check.txt") + " 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << readFile(dir.File("check.txt"));
#endif

    // A workbook that cannot be written is told.
    std::ostringstream failed;
    EXPECT_EQ(runRecorder({"--recover", dir.File("plain.journal"), "--xlsx",
                           dir.File("no-such-folder/run.xlsx")},
                          dir.Program(), out, failed),
              5);
    EXPECT_NE(failed.str().find("workbook failed"), std::string::npos) << failed.str();
}

}  // namespace
}  // namespace vantrel
