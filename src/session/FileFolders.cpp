#include "session/FileFolders.h"

#include <filesystem>
#include <system_error>

#include "base/Paths.h"
#include "base/Remembered.h"

namespace vantrel {

namespace fs = std::filesystem;

namespace {

bool isFolder(const std::string& name) {
    std::error_code ec;
    return !name.empty() && fs::is_directory(pathFromUtf8(name), ec);
}

}  // namespace

std::string tFileFolders::MemoryFile(tKind kind) const {
    if (places_.stateFolder.empty()) {
        return {};
    }
    return utf8FromPath(pathFromUtf8(places_.stateFolder) /
                        (kind == tKind::Scenario ? "scenario-folder" : "file-folder"));
}

std::string tFileFolders::StartFolder(tKind kind) const {
    // A remembered folder that has gone (a memory stick taken out) is passed over.
    if (std::string last = recallLine(MemoryFile(kind)); isFolder(last)) {
        return last;
    }
    if (kind == tKind::Scenario && isFolder(places_.examples)) {
        return places_.examples;
    }
    return isFolder(places_.documents) ? places_.documents : std::string();
}

template <class F>
bool tFileFolders::Choose(tKind kind, std::string& fileName, F&& choose) {
    const bool ownFolder = pathFromUtf8(fileName).has_parent_path();
    if (!ownFolder) {
        if (const std::string start = StartFolder(kind); !start.empty()) {
            // An empty name leaves the folder with its separator: a folder to open.
            fileName = utf8FromPath(pathFromUtf8(start) / pathFromUtf8(fileName));
        }
    }
    if (!choose()) {
        return false;
    }
    if (!ownFolder) {
        rememberLine(MemoryFile(kind), utf8FromPath(pathFromUtf8(fileName).parent_path()));
    }
    return true;
}

bool tFileFolders::ChooseScenario(const std::string& filter, std::string& fileName) {
    return Choose(tKind::Scenario, fileName,
                  [&] { return dialogs_.ChooseOpenFile(filter, fileName); });
}

bool tFileFolders::ChooseOpenFile(const std::string& filter, std::string& fileName) {
    return Choose(tKind::Files, fileName,
                  [&] { return dialogs_.ChooseOpenFile(filter, fileName); });
}

bool tFileFolders::ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                                  std::string& fileName) {
    return Choose(tKind::Files, fileName,
                  [&] { return dialogs_.ChooseSaveFile(defaultExtension, filter, fileName); });
}

}  // namespace vantrel
