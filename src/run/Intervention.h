#pragma once

#include <string>

namespace vantrel {

// The program switched something off or refused a command.
struct tIntervention {
    std::string text;  // for the user: status bar, chart, journal
    std::string log;   // fixed English, for the log file
    // An off command could not be written: the station may still be on.
    bool offFailed = false;
};

}  // namespace vantrel
