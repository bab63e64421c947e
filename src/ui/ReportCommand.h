#pragma once

#include <string>
#include <vector>

namespace vantrel {

struct tProgramFiles;

// The arguments ask for a report without the window (--report among them).
bool isReportCommand(int argc, char** argv);

// Qt's notes and warnings (of the platform, of fonts) are left out: the
// report says nothing when it succeeds. Critical messages still show.
void quietQtMessages();

// vantrel --report FILE.pdf RUN [--scenario FILE.exp] [--fit Q,MODEL[,X]]...
//         [--equivalence V1|V2|V3] [--student TEXT] [--config FILE]
//
// The lab report of a recorded run (an export or a journal) as the window
// writes it, in the configured language, with no window shown, no other
// copy asked and no station looked for. Returns the exit status: 0 when the
// report is written, else 1 with the reason on stderr in one line.
int runReportCommand(const std::vector<std::string>& args, const tProgramFiles& files);

}  // namespace vantrel
