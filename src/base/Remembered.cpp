#include "base/Remembered.h"

#include <exception>

#include "base/Files.h"
#include "base/LogFile.h"

namespace vantrel {

namespace {

// A folder name or a number: anything longer was not written by the program.
constexpr std::size_t kMostBytes = 4096;

}  // namespace

std::string recallLine(const std::string& fileName) {
    if (fileName.empty()) {
        return {};
    }
    std::string bytes;
    try {
        if (!readFileIfExists(fileName, bytes, kMostBytes)) {
            return {};
        }
    } catch (const std::exception& e) {
        logFile->WriteLine(e.what());
        return {};
    }
    return bytes.substr(0, bytes.find_first_of("\r\n"));
}

void rememberLine(const std::string& fileName, std::string_view line) {
    if (fileName.empty() || line.find_first_of("\r\n") != std::string_view::npos ||
        recallLine(fileName) == line) {
        return;
    }
    try {
        writeFileAtomically(fileName, std::string(line) + "\n");
    } catch (const std::exception& e) {
        logFile->WriteLine(e.what());
    }
}

}  // namespace vantrel
