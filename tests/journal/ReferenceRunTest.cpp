#include "journal/ReferenceRun.h"

#include <gtest/gtest.h>

#include <string>

#include "base/Error.h"
#include "journal/Journal.h"
#include "lang/LanguageList.h"
#include "run/Quantities.h"
#include "support/TempDir.h"

namespace vantrel {
namespace {

using test::tTempDir;
using test::writeBytes;

// Exports as this program writes them in any language and separator, and a
// journal: the same two readings come back.
TEST(ReferenceRun, ExportsOfAnyLanguageAndSeparatorAndJournals) {
    // The shipped languages teach the reader their quantity names.
    addExportTitles(
        tLanguageList::Scan({std::string(VANTREL_SOURCE_DIR) + "/languages"}).ExportTitles());
    tTempDir dir;
    std::string journal = encodeHeader(tJournalHeader{"0.1.0",
                                                      "2026-12-01 10:00:00",
                                                      0.0934,
                                                      {},
                                                      {"LT", "pH", "LC", "LE", "V1", "V2", "V3"},
                                                      {},
                                                      {}});
    journal += encodeReading(0.2f, {21.5f, 2.0f, 4.0f, 0.7f, 0.0f, 0.0f, 0.0f});
    journal += encodeReading(0.4f, {22.0f, 2.5f, 4.0f, 0.7f, 0.5f, 0.0f, 0.0f});
    struct tCase {
        const char* name;
        std::string text;
        bool allQuantities;
    };
    for (const tCase& c : {
             tCase{"run.csv", "t\tТемпература\tpH\tРеагент 1\r\n", false},
             tCase{"comma.csv", "t\tLT\tLP\tV1\r\n", false},
             tCase{"english.csv", "t\tTemperature\tpH\tReagent 1\n", false},
             tCase{"run.journal", journal, true},
         }) {
        SCOPED_TRACE(c.name);
        std::string text = c.text;
        if (!c.allQuantities) {
            const bool comma = std::string(c.name) == "comma.csv";
            text += comma ? "0,200\t21,50\t2,00\t0,0000\r\n0,400\t22,00\t2,50\t0,5000\r\n"
                          : "0.200\t21.50\t2.00\t0.0000\r\n0.400\t22.00\t2.50\t0.5000\r\n";
        }
        writeBytes(dir.file(c.name), text);
        tReferenceRun run;
        try {
            run = loadReferenceRun(dir.file(c.name));
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        ASSERT_EQ(run.times.size(), 2u);
        EXPECT_NEAR(run.times[1], 0.4, 1e-6);
        EXPECT_NEAR(run.readings[qLT][1], 22.0, 1e-6);
        EXPECT_NEAR(run.readings[qLP][1], 2.5, 1e-6);
        EXPECT_NEAR(run.readings[qV1][1], 0.5, 1e-6);
        EXPECT_TRUE(run.present[qLT] && run.present[qLP] && run.present[qV1]);
        EXPECT_EQ(run.present[qLC], c.allQuantities);
    }
}

TEST(ReferenceRun, WhatIsNoRunIsToldWithItsLine) {
    tTempDir dir;
    struct tCase {
        const char* text;
        const char* said;
    };
    for (const tCase& c : {tCase{"t\tLT\r\n0.2\tabc\r\n", "2"}, tCase{"t\tLT\r\n", "no readings"},
                           tCase{"hello\r\n", "hello"}}) {
        SCOPED_TRACE(c.text);
        writeBytes(dir.file("bad.csv"), c.text);
        try {
            loadReferenceRun(dir.file("bad.csv"));
            ADD_FAILURE() << "no error";
        } catch (const tError& e) {
            EXPECT_NE(std::string(e.what()).find(c.said), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace vantrel
