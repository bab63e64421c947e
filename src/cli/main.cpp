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
#include "base/Paths.h"
#include "cli/CliCommands.h"
#include "cli/Recorder.h"

namespace {

std::atomic<int> interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free, "counted in a signal handler");

// The configuration and the log are found beside the executable, wherever
// it was started from.
std::string executablePath(const char* argv0) {
#ifdef _WIN32
    if (std::string self = vantrel::executableFile(); !self.empty()) {
        return self;
    }
#else
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        return self.string();
    }
#endif
    std::error_code ignored;
    return vantrel::utf8FromPath(std::filesystem::absolute(
        vantrel::pathFromUtf8(argv0 != nullptr ? argv0 : "vantrel-cli"), ignored));
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
#ifdef _WIN32
    // argv is in the ANSI code page there: the arguments come as UTF-8 from
    // the wide command line, so a Cyrillic folder name survives.
    std::vector<std::string> args = commandLineArguments();
    setCommandLine(args);
#else
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    setCommandLine(argc, argv);
#endif
    captureLocaleFacts();
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    return runRecorder(args, executablePath(argc > 0 ? argv[0] : nullptr), std::cout, std::cerr,
                       &interrupts);
}
