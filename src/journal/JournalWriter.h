#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "journal/Journal.h"

namespace vantrel {

// Writes one run's journal. The acquisition tick only queues its entries;
// a thread of the writer's own puts them into the file and syncs it to disk
// at least once a second, so a run killed or cut off by a power failure
// loses at most its last second. The header is written (and synced) when
// the journal is made, so every journal names its run.
class tJournalWriter {
public:
    // How many journals the folder keeps: older ones go when a new one starts.
    static constexpr std::size_t kKeptJournals = 50;
    static constexpr int kFlushIntervalMs = 1000;

    // A new journal in `folder` (made when missing), named by the start
    // time. tError when it cannot be created.
    tJournalWriter(const std::string& folder, const tJournalHeader& header);
    tJournalWriter(const tJournalWriter&) = delete;
    tJournalWriter& operator=(const tJournalWriter&) = delete;
    // Writes what is queued and closes the file.
    ~tJournalWriter();

    const std::string& FileName() const { return fileName_; }

    void Reading(float time, const tReadingValues& readings);
    void Transition(float time, int state, const std::string& name);
    void Intervention(float time, const std::string& text);
    void Mark(int index);
    // How the run ended, just before its end entry.
    void Ending(tRunEnd how, long records);
    void End(float time);

private:
    void Queue(std::string line);
    void Run();
    void WriteOut(std::string& batch, bool sync);

    std::string fileName_;
    int fd_ = -1;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string pending_;
    bool stop_ = false;
    bool urgent_ = false;
    bool failed_ = false;  // a write failed: said once in the log
    std::thread thread_;
};

// Closes a journal that has no end entry (a run that died) as finished.
// False when the file cannot be written.
bool appendJournalEnd(const std::string& fileName);

// Removes the oldest journals of `folder` so that `keep` remain.
void pruneJournals(const std::string& folder, std::size_t keep);

}  // namespace vantrel
