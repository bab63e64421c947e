#include "base/ProgramFiles.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/Files.h"
#include "base/Paths.h"

namespace vantrel {

namespace fs = std::filesystem;

std::string userProgramFolder() {
    fs::path folder;
#ifdef _WIN32
    if (const std::string local = environmentText("LOCALAPPDATA"); !local.empty()) {
        folder = pathFromUtf8(local) / "Vantrel";
    }
#else
    if (const std::string config = environmentText("XDG_CONFIG_HOME"); !config.empty()) {
        folder = pathFromUtf8(config) / "vantrel";
    } else if (const std::string home = environmentText("HOME"); !home.empty()) {
        folder = pathFromUtf8(home) / ".config" / "vantrel";
    }
#endif
    std::error_code ec;
    if (folder.empty() || (!fs::create_directories(folder, ec) && ec)) {
        return {};
    }
    return utf8FromPath(folder);
}

std::string userStateFolder() {
#ifdef _WIN32
    return userProgramFolder();
#else
    fs::path folder;
    if (const std::string state = environmentText("XDG_STATE_HOME"); !state.empty()) {
        folder = pathFromUtf8(state) / "vantrel";
    } else if (const std::string home = environmentText("HOME"); !home.empty()) {
        folder = pathFromUtf8(home) / ".local" / "state" / "vantrel";
    }
    std::error_code ec;
    if (folder.empty() || (!fs::create_directories(folder, ec) && ec)) {
        return {};
    }
    return utf8FromPath(folder);
#endif
}

std::string userStateFile(const std::string& name) {
    const std::string folder = userStateFolder();
    return folder.empty() ? folder : utf8FromPath(pathFromUtf8(folder) / pathFromUtf8(name));
}

std::string stationPortFile() {
    return userStateFile("station-port");
}

tProgramFiles locateProgramFiles(const std::string& executablePath) {
    const fs::path exe = pathFromUtf8(executablePath);
    const fs::path folder = exe.parent_path();
    const std::string name = utf8FromPath(exe.stem());
    const fs::path share = folder.parent_path() / "share" / "vantrel";

    tProgramFiles files;
    files.languageFolders = {utf8FromPath(folder), utf8FromPath(share / "lang")};
    std::error_code ec;
    for (const fs::path& examples : {folder / "examples", share / "examples"}) {
        if (fs::is_directory(examples, ec)) {
            files.examplesFolder = utf8FromPath(examples);
            break;
        }
    }
    const fs::path beside = folder / pathFromUtf8(name + ".cfg");
    const std::string user = fs::exists(beside, ec) ? std::string() : userProgramFolder();
    if (user.empty()) {
        files.config = utf8FromPath(beside);
        files.log = utf8FromPath(folder / pathFromUtf8(name + ".log"));
        return files;
    }
    files.config = utf8FromPath(pathFromUtf8(user) / pathFromUtf8(name + ".cfg"));
    files.log = utf8FromPath(pathFromUtf8(user) / pathFromUtf8(name + ".log"));
    if (!fs::exists(pathFromUtf8(files.config), ec)) {
        // The first start of an installed program: its own copy of the default.
        std::string bytes;
        try {
            if (readFileIfExists(utf8FromPath(share / "vantrel.cfg"), bytes)) {
                writeFileAtomically(files.config, bytes);
            }
        } catch (const std::exception&) {
            // Then there is no configuration, and the start says so.
        }
    }
    return files;
}

}  // namespace vantrel
