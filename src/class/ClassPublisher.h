#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "class/ClassContract.h"
#include "run/RunEvent.h"

namespace vantrel {

class iClassOutlet;

// A station's runs as the class sees them: each event of a run, heard after
// its journal has it, becomes the contract's messages. Records go out once a
// second, the second's records in one message numbered from the run's first
// record; an event goes out at once, behind the records before it. Runs read
// back from a journal go out the same way when a reader asks for them again.
class tClassPublisher : public iRunListener {
public:
    // `runName` names a run as it starts (its journal's name); `periodMs`
    // gives the station's period then.
    tClassPublisher(iClassOutlet& outlet, classlink::tTopics topics,
                    std::function<std::string(const tRunStart&)> runName,
                    std::function<int()> periodMs);

    void OnEvent(const tRunEvent& event) override;
    // Sends the records gathered since the last flush, and the newest values.
    void Flush();

    // What the broker keeps of the open run (its meta), again: after a
    // broker that restarted forgot it.
    void Republish();

    // The run now open (or the last one), empty before the first.
    const std::string& RunName() const { return run_; }
    bool RunOpen() const { return open_; }
    // The newest safety intervention of that run; empty: none.
    const std::string& LastIntervention() const { return intervention_; }

    // The records of `request.run` from `request.from` on, and its end: from
    // memory for the run of this program, else from its journal in
    // `journalFolder`. Why not, when it cannot.
    std::optional<std::string> Replay(const classlink::tReplayRequest& request,
                                      const std::string& journalFolder);

private:
    void publishRecords(long seq0, const std::vector<tReadingSet>& records);
    void publishEvent(const std::string& message);

    iClassOutlet& outlet_;
    classlink::tTopics topics_;
    std::function<std::string(const tRunStart&)> runName_;
    std::function<int()> periodMs_;
    std::string run_;
    std::string meta_;
    bool open_ = false;
    std::vector<tReadingSet> records_;  // the whole run, for replays
    std::size_t sent_ = 0;              // records_ published so far
    std::optional<tRunEnded> ended_;
    std::string intervention_;
};

}  // namespace vantrel
