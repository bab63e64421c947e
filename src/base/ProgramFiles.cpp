#include "base/ProgramFiles.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/Files.h"

namespace vantrel {

namespace fs = std::filesystem;

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::string userProgramFolder() {
    fs::path folder;
#ifdef _WIN32
    if (const std::string local = environment("LOCALAPPDATA"); !local.empty()) {
        folder = fs::path(local) / "Vantrel";
    }
#else
    if (const std::string config = environment("XDG_CONFIG_HOME"); !config.empty()) {
        folder = fs::path(config) / "vantrel";
    } else if (const std::string home = environment("HOME"); !home.empty()) {
        folder = fs::path(home) / ".config" / "vantrel";
    }
#endif
    std::error_code ec;
    if (folder.empty() || (!fs::create_directories(folder, ec) && ec)) {
        return {};
    }
    return folder.string();
}

tProgramFiles locateProgramFiles(const std::string& executablePath) {
    const fs::path exe(executablePath);
    const fs::path folder = exe.parent_path();
    const std::string name = exe.stem().string();
    const fs::path share = folder.parent_path() / "share" / "vantrel";

    tProgramFiles files;
    files.languageFolders = {folder.string(), (share / "lang").string()};
    const fs::path beside = folder / (name + ".cfg");
    std::error_code ec;
    const std::string user = fs::exists(beside, ec) ? std::string() : userProgramFolder();
    if (user.empty()) {
        files.config = beside.string();
        files.log = (folder / (name + ".log")).string();
        return files;
    }
    files.config = (fs::path(user) / (name + ".cfg")).string();
    files.log = (fs::path(user) / (name + ".log")).string();
    if (!fs::exists(files.config, ec)) {
        // The first start of an installed program: its own copy of the default.
        std::string bytes;
        try {
            if (readFileIfExists((share / "vantrel.cfg").string(), bytes)) {
                writeFileAtomically(files.config, bytes);
            }
        } catch (const std::exception&) {
            // Then there is no configuration, and the start says so.
        }
    }
    return files;
}

}  // namespace vantrel
