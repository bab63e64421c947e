#pragma once

#include <memory>
#include <string>

#include "run/RunEvent.h"

namespace vantrel {

class tJournalWriter;

// A run's journal kept from its events: each start opens a new journal in
// the folder given, each event after it becomes its entry. A journal that
// cannot be made is logged and the run goes on without one.
class tRunJournal : public iRunListener {
public:
    tRunJournal();
    ~tRunJournal() override;
    tRunJournal(const tRunJournal&) = delete;
    tRunJournal& operator=(const tRunJournal&) = delete;

    // Where the next start opens its journal (empty: none). Closes the
    // journal of the run before.
    void Open(std::string folder);
    // Entries after this (a mark on another run's points) go nowhere.
    void Close();

    void OnEvent(const tRunEvent& event) override;
    // The open journal's file, empty when there is none.
    std::string FileName() const;

private:
    std::string folder_;
    std::unique_ptr<tJournalWriter> writer_;
};

}  // namespace vantrel
