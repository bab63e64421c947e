#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// The program's command-line parameters (without the program name), set once
// at start. Switches are read from here by the log and the measurement code.
void setCommandLine(std::vector<std::string> params);
void setCommandLine(int argc, char** argv);
std::vector<std::string> commandLine();

// True when a parameter is "-" or "/" followed by exactly `name`, letter case
// ignored ("-log", "/LOG"; not "LOG", not "-LOGS").
bool hasSwitch(std::string_view name, const std::vector<std::string>& params);
bool hasSwitch(std::string_view name);

// The LOG_MEASURE switch: raw measurement data goes to the log.
bool logMeasureEnabled();

}  // namespace vantrel
