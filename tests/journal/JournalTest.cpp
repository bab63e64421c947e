#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "base/Error.h"
#include "journal/Journal.h"
#include "journal/JournalWriter.h"
#include "support/TempDir.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using test::readBytes;
using test::tTempDir;
using test::writeBytes;
namespace fs = std::filesystem;

tJournalHeader header() {
    tJournalHeader h;
    h.version = "0.1.0";
    h.volumeCoefficient = 0.0934;
    h.relative[1] = true;
    h.names = {"Температура", "pH", "Электропроводность", "Редокс\tпотенциал", "V1", "V2", "V3"};
    return h;
}

TEST(Journal, WhatIsWrittenComesBackExactlyAndDamageCostsOnlyItsLine) {
    tTempDir dir;
    std::string file;
    {
        tJournalWriter writer(dir.path(), header());
        file = writer.FileName();
        writer.Reading(0.2f, {25.123456f, 7.f, 1.f, 0.2f, 0.0934f, 0.f, 1e-7f});
        writer.Reading(0.4f, {25.5f, 7.1f, 1.f, 0.2f, 0.1868f, 0.f, 0.f});
        writer.Transition(0.4f, 2, "Нагрев\tдо 40");
        writer.Mark(1);
        writer.End(0.4f);
    }
    const tJournalRun run = readJournal(file);
    EXPECT_EQ(run.header.names[3], "Редокс потенциал") << "a tab cannot split a field";
    EXPECT_TRUE(run.header.relative[1]);
    EXPECT_DOUBLE_EQ(run.header.volumeCoefficient, 0.0934);
    EXPECT_FALSE(run.header.started.empty());
    ASSERT_EQ(run.readings.size(), 2u);
    EXPECT_EQ(run.readings[0].readings[0], 25.123456f);  // bit for bit
    EXPECT_EQ(run.readings[0].readings[6], 1e-7f);
    ASSERT_EQ(run.transitions.size(), 1u);
    EXPECT_EQ(run.transitions[0].state, 2);
    EXPECT_EQ(run.marks, std::vector<int>{1});
    EXPECT_TRUE(run.finished);
    // Without an ending entry, as older journals are: how is not known, the
    // reading sets are those read.
    EXPECT_EQ(run.end.how, tRunEnd::Unknown);
    EXPECT_EQ(run.end.records, 2);
    EXPECT_EQ(run.droppedLines, 0u);

    // A byte changed in the first reading and the end entry torn off, as a
    // power cut leaves them: those two lines go, the rest stays.
    std::string text = readBytes(file);
    text[text.find("R\t0.2") + 5] = '9';
    text.resize(text.size() - 4);
    writeBytes(file, text);
    const tJournalRun damaged = readJournal(file);
    EXPECT_EQ(damaged.readings.size(), 1u);
    EXPECT_FALSE(damaged.finished);
    EXPECT_EQ(damaged.droppedLines, 2u);

    writeBytes(dir.file("other.journal"), "t\tpH\r\n0\t7\r\n");
    EXPECT_THROW(readJournal(dir.file("other.journal")), tError);
}

TEST(Journal, EntriesReachTheDiskWithinASecondWhileTheRunGoesOn) {
    tTempDir dir;
    tJournalWriter writer(dir.path(), header());
    for (int i = 0; i < 5; ++i) {
        writer.Reading(0.2f * float(i + 1), {});
    }
    std::this_thread::sleep_for(1300ms);
    const tJournalRun run = readJournal(writer.FileName());  // nothing closed or ended yet
    EXPECT_EQ(run.readings.size(), 5u);
    EXPECT_FALSE(run.finished);
}

TEST(Journal, TheFolderKeepsTheNewestFiftyRuns) {
    tTempDir dir;
    for (int i = 0; i < 55; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "2020-01-01_0000%02d.journal", i);
        writeBytes(dir.file(name), "");
    }
    writeBytes(dir.file("notes.txt"), "a teacher's own file");
    tJournalWriter writer(dir.path(), header());
    std::size_t journals = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        journals += entry.path().extension() == ".journal" ? 1 : 0;
    }
    EXPECT_EQ(journals, tJournalWriter::kKeptJournals);
    EXPECT_FALSE(fs::exists(dir.file("2020-01-01_000005.journal")));
    EXPECT_TRUE(fs::exists(dir.file("2020-01-01_000006.journal")));
    EXPECT_TRUE(fs::exists(dir.file("notes.txt")));
}

}  // namespace
}  // namespace vantrel
