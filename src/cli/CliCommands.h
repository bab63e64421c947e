#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"

namespace vantrel {

// vantrel-cli as a whole, `args` without the program name: --help, the
// listings and results go to `out`, everything else to `messages` (standard
// error). Returns the exit status (see tExitStatus).
int runRecorder(const std::vector<std::string>& args, const std::string& programPath,
                std::ostream& out, std::ostream& messages,
                const std::atomic<int>* interrupts = nullptr);

// Writes a journaled run (the newest that did not finish when the options
// name none) to the export file in the export's range form and to the
// workbook. 0, 6 when there is no such run or the journal named cannot be
// read, 5 when a file cannot be written.
int recoverRun(const tCliOptions& options, std::ostream& messages);

}  // namespace vantrel
