#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/Readings.h"
#include "run/RunEvent.h"

namespace vantrel {

// A run's journal, so that a run survives the program: a plain text file of
// one entry per line, each line closed by a checksum so that a line torn by
// a power cut is recognised and dropped.
//
//   VANTREL-JOURNAL 1
//   H  version  started  volume coefficient  relative flags  seven names
//   R  time  seven readings          one accepted reading set, as decoded
//   S  time  state number  name      a scenario transition
//   M  point index                   a mark toggled on the run's point
//   X  how  reading sets             how the run ended, just before its end
//   E  time                          the run ended normally
//
// Fields are separated by tabs; each line ends with a tab, "#", the CRC-32
// of what comes before the tab in eight hex digits, and a line feed.
struct tJournalHeader {
    std::string version;
    std::string started;  // "2026-12-09 10:15:00", local time
    double volumeCoefficient = 0;
    std::array<bool, kQuantityCount> relative{};
    std::array<std::string, kQuantityCount> names;
    // The scenario the run followed (empty: none), on a line of their own
    // after the header, which readers before them pass over.
    std::string experiment;
    std::string scenario;
};

struct tJournalReading {
    float time = 0;
    tReadingValues readings{};
};

struct tJournalTransition {
    float time = 0;
    int state = 0;
    std::string name;
    bool intervention = false;  // the program's safety step, `name` saying what
};

// A journal as read back.
struct tJournalRun {
    tJournalHeader header;
    std::vector<tJournalReading> readings;
    std::vector<tJournalTransition> transitions;
    std::vector<int> marks;  // toggles, in order
    bool finished = false;   // its end entry is there
    // When finished: its time, how the run ended and its reading sets (as
    // read, when the journal does not say).
    tRunEnded end;
    std::size_t droppedLines = 0;  // torn or damaged lines left out
    // The kinds of the entries above in the order they were written, one
    // letter each (R, S for transitions and interventions alike, M, E).
    std::string order;
};

inline constexpr std::string_view kJournalMagic = "VANTREL-JOURNAL 1";
inline constexpr std::string_view kJournalExtension = ".journal";

// By its extension.
bool isJournalFile(std::string_view fileName);

std::uint32_t crc32(std::string_view bytes);

// One line of the journal, checksum and line feed included.
std::string journalLine(std::string_view payload);
std::string encodeHeader(const tJournalHeader& header);
std::string encodeReading(float time, const tReadingValues& readings);
std::string encodeTransition(float time, int state, std::string_view name);
std::string encodeIntervention(float time, std::string_view text);
std::string encodeMark(int index);
std::string encodeEnding(tRunEnd how, long records);
std::string encodeEnd(float time);

// Reads a journal's text; tError when it is no journal at all (no magic
// line or no header). Lines whose checksum does not match are dropped.
tJournalRun parseJournal(std::string_view text);
tJournalRun readJournal(const std::string& fileName);

// The events of a journaled run, in the order the run had them, to `to`:
// its start, then readings, transitions, interventions and marks as they
// were written, and its end when it has one. A transition's trace names only
// the state entered (number and name); the rest was never journaled.
void journalEvents(const tJournalRun& run, iRunListener& to);

// Where the journals live: $XDG_DATA_HOME/vantrel/runs (by default
// ~/.local/share/vantrel/runs), %LOCALAPPDATA%\Vantrel\runs on Windows.
// Empty when there is no home for them.
std::string journalFolder();

// What --runs lists and the window offers.
struct tJournalInfo {
    std::string fileName;
    std::string started;
    std::size_t records = 0;
    bool finished = false;
};
// The journals of `folder`, oldest first (their names sort by start time).
std::vector<tJournalInfo> listJournals(const std::string& folder);
// The newest run of `folder` whose journal has no end (it died), if any.
std::optional<tJournalInfo> newestUnfinishedRun(const std::string& folder);

}  // namespace vantrel
