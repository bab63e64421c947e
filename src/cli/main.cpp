// vantrel-cli: records the station without a window.

#include <atomic>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/CommandLine.h"
#include "base/Locale.h"
#include "cli/Recorder.h"

namespace {

std::atomic<int> interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "counted in a signal handler");

// The configuration and the log are found beside the executable, wherever
// it was started from.
std::string executablePath(const char* argv0) {
#ifdef _WIN32
    char buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer) {
        return std::string(buffer, length);
    }
#else
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        return self.string();
    }
#endif
    std::error_code ignored;
    return std::filesystem::absolute(argv0 != nullptr ? argv0 : "vantrel-cli", ignored).string();
}

}  // namespace

// Counted, never fatal: a second Ctrl+C during the stop must not cost the
// run its export. The recorder ends as soon as the run is written.
extern "C" void onInterrupt(int signal) {
    interrupts.fetch_add(1);
#ifdef _WIN32
    std::signal(signal, onInterrupt);  // the handler is reset after each signal there
#else
    (void)signal;
#endif
}

int main(int argc, char** argv) {
    using namespace vantrel;
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);  // the station's and the program's texts are UTF-8
#endif
    setCommandLine(argc, argv);
    captureLocaleFacts();
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return runRecorder(args, executablePath(argc > 0 ? argv[0] : nullptr), std::cout, std::cerr,
                       &interrupts);
}
