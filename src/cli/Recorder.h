#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "base/ProgramFiles.h"
#include "cli/CliOptions.h"

namespace vantrel {

class tRecordingSink;
class tStationSession;
struct tRecordingParts;

// Exit statuses of vantrel-cli.
enum tExitStatus : int {
    kExitDone = 0,
    kExitUsage = 1,         // wrong arguments, or a configuration that cannot be used
    kExitNoStation = 2,     // no port answered as the station
    kExitScenario = 3,      // the scenario does not load, or one of its steps failed
    kExitLinkLost = 4,      // the link died (what arrived is exported), or no record came
    kExitExportFailed = 5,  // the run went to a fallback file instead (its name is told)
    kExitNothingToRecover = 6,
    kExitInterrupted = 130,  // interrupted before recording began
};

// One unattended recording: a station session told on the console.
// Connects with the normal detection, sets the period, starts, ticks the
// session until a limit, Ctrl+C or a lost link, stops and exports the
// whole run.
class tRecorder {
public:
    // `programPath`: the executable; the default configuration and the log
    // sit beside it. `args` are the command line (the log reads its switches
    // there). `interrupts` (may be null) counts Ctrl+C and termination
    // requests: the first ends the run cleanly (or cancels the search for
    // the station); one during the stop and export is obeyed once the
    // export is written. `out` (standard output) gets the results asked
    // for (the equivalence line).
    tRecorder(tCliOptions options, std::vector<std::string> args, std::string programPath,
              std::ostream& out, std::ostream& messages, const std::atomic<int>* interrupts);

    int Run();

private:
    enum class tStop { None, Records, Duration, Interrupted, LinkLost, Ended, ScenarioFailed };

    int RunLogged();
    void StartClassLink(tRecordingParts& parts);
    int Record(tRecordingParts& parts);
    tStop CheckStop(const tStationSession& station, const tRecordingSink& sink,
                    double elapsed) const;
    void Progress(const tStationSession& station, const tRecordingSink& sink, double elapsed);
    bool Interrupted() const { return interrupts_ != nullptr && interrupts_->load() > 0; }
    void Summary(tStop reason, const tRecordingSink& sink, double elapsed);

    tCliOptions options_;
    std::vector<std::string> args_;
    tProgramFiles files_;
    std::ostream& out_;
    std::ostream& messages_;
    const std::atomic<int>* interrupts_;
};

}  // namespace vantrel
