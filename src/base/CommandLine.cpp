#include "base/CommandLine.h"

#include <mutex>

#include "base/Functions.h"

namespace vantrel {

namespace {

std::mutex& commandLineMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<std::string>& commandLineStore() {
    static std::vector<std::string> params;
    return params;
}

}  // namespace

void setCommandLine(std::vector<std::string> params) {
    std::lock_guard guard(commandLineMutex());
    commandLineStore() = std::move(params);
}

void setCommandLine(int argc, char** argv) {
    std::vector<std::string> params;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] != nullptr) {
            params.emplace_back(argv[i]);
        }
    }
    setCommandLine(std::move(params));
}

std::vector<std::string> commandLine() {
    std::lock_guard guard(commandLineMutex());
    return commandLineStore();
}

bool hasSwitch(std::string_view name, const std::vector<std::string>& params) {
    for (const std::string& param : params) {
        if (param.size() == name.size() + 1 && (param[0] == '-' || param[0] == '/') &&
            equalsIgnoreCase(std::string_view(param).substr(1), name)) {
            return true;
        }
    }
    return false;
}

bool hasSwitch(std::string_view name) {
    return hasSwitch(name, commandLine());
}

bool logMeasureEnabled() {
    return hasSwitch("LOG_MEASURE");
}

}  // namespace vantrel
