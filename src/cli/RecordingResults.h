#pragma once

#include <ostream>
#include <string>

#include "cli/CliOptions.h"

namespace vantrel {

class tAnalysis;
class tRunData;
class tSelection;

// What a recording writes once its run has ended, as its options ask: the
// export (to a fallback file when the one named cannot be written), the
// workbook, the equivalence line and the stretch analyses on `out`. False
// when a file could not be written where it was asked for.
bool writeRecordingResults(const tCliOptions& options, const tRunData& run,
                           const tSelection& selection, tAnalysis& analysis, std::ostream& out,
                           std::ostream& messages);

// Where a run goes when its export cannot be written: the user's home
// folder, else the temporary folder, under a name that says when.
std::string fallbackExportName();

}  // namespace vantrel
