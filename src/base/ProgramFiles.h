#pragma once

#include <string>
#include <vector>

namespace vantrel {

// Where a program's own files are. Beside the executable when its
// configuration is there (the classroom install: one folder, copied as it
// is); otherwise, as for a program installed read-only (/usr/bin), in the
// user's folder (~/.config/vantrel, %LOCALAPPDATA%\Vantrel), where the
// configuration is created from the shipped default on the first start.
struct tProgramFiles {
    std::string config;  // NAME.cfg
    std::string log;     // NAME.log
    // Where language files are looked for: beside the executable, then the
    // installed data folder (../share/vantrel/lang).
    std::vector<std::string> languageFolders;
    // The example scenarios: beside the executable, else the installed data
    // folder (../share/vantrel/examples); empty when neither has them.
    std::string examplesFolder;
};

tProgramFiles locateProgramFiles(const std::string& executablePath);

// The user's folder for the program's files, created when missing; empty
// when there is no home to put it in.
std::string userProgramFolder();

// Where the program keeps what it remembers between runs for this user,
// such as the station's port ($XDG_STATE_HOME/vantrel, ~/.local/state/vantrel;
// %LOCALAPPDATA%\Vantrel), created when missing; empty when there is none.
std::string userStateFolder();
// A file of that folder by its name; empty when there is no folder.
std::string userStateFile(const std::string& name);
// The file in it that remembers the port where the station last answered.
std::string stationPortFile();

}  // namespace vantrel
