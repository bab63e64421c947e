// vantrel-sim: the station simulator on a pseudo-terminal, for trying the
// program without a station and for talking to the station protocol by hand.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <string>
#include <string_view>

#include "sim/Simulator.h"

namespace {

constexpr std::string_view kUsage =
    "usage: vantrel-sim [options]\n"
    "Opens a pseudo-terminal that answers as the chemistry station, prints its\n"
    "device path on the first line of standard output and runs until Ctrl+C.\n"
    "\n"
    "  --period MS          initial record period, 200..60000 (default 200)\n"
    "  --time-scale X       station clock runs X times faster than the wall clock\n"
    "  --seed N             random seed of noise, splits and garbage (default 1)\n"
    "  --no-noise           exact sensor readings\n"
    "  --link PATH          also make PATH a symbolic link to the device (removed at exit)\n"
    "  --verbose            log every command, reply and record on standard error\n"
    "faults:\n"
    "  --stray-byte [N]     a stray byte before the first N identification replies (default 1)\n"
    "  --delay MS           wait MS before every reply\n"
    "  --no-id              never answer the identification request\n"
    "  --no-query           never answer the state query\n"
    "  --split              write records in pieces with small pauses\n"
    "  --garbage N          replace every Nth record by a garbage line\n"
    "  --silent             accept the start command but send no records\n"
    "  --hang-up-after N    close the port after N records\n"
    "  --help               this text\n";

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

struct tArguments {
    vantrel::sim::tOptions options;
    bool verbose = false;
    std::string link;
};

// Returns false after telling what is wrong.
bool ParseArguments(int argc, char** argv, tArguments& args) {
    vantrel::sim::tFaults& faults = args.options.faults;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view inlineValue;
        bool hasInline = false;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != arg.npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasInline = true;
        }
        // The value of an option: "--name=value" or the next argument.
        auto value = [&](std::string_view& out) {
            if (hasInline) {
                out = inlineValue;
                return true;
            }
            if (i + 1 < argc) {
                out = argv[++i];
                return true;
            }
            std::cerr << "vantrel-sim: " << arg << " needs a value\n";
            return false;
        };
        auto number = [&](auto& out) {
            std::string_view text;
            if (!value(text)) {
                return false;
            }
            if (!ParseNumber(text, out)) {
                std::cerr << "vantrel-sim: " << arg << ": not a number: " << text << '\n';
                return false;
            }
            return true;
        };

        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (arg == "--period") {
            ok = number(args.options.initialPeriodMs);
        } else if (arg == "--time-scale") {
            ok = number(args.options.timeScale);
        } else if (arg == "--seed") {
            ok = number(faults.seed);
        } else if (arg == "--no-noise") {
            args.options.noise = false;
        } else if (arg == "--verbose" || arg == "-v") {
            args.verbose = true;
        } else if (arg == "--link") {
            std::string_view path;
            ok = value(path);
            args.link = path;
        } else if (arg == "--stray-byte") {
            faults.strayByteBeforeId = true;
            int count = 1;
            if (hasInline) {
                ok = number(count);
            } else if (i + 1 < argc && ParseNumber(std::string_view(argv[i + 1]), count)) {
                ++i;
            }
            faults.strayByteCount = count;
        } else if (arg == "--delay") {
            ok = number(faults.replyDelayMs);
        } else if (arg == "--no-id") {
            faults.ignoreIdentify = true;
        } else if (arg == "--no-query") {
            faults.ignoreQuery = true;
        } else if (arg == "--split") {
            faults.splitRecords = true;
        } else if (arg == "--garbage") {
            ok = number(faults.garbageEvery);
        } else if (arg == "--silent") {
            faults.silent = true;
        } else if (arg == "--hang-up-after") {
            ok = number(faults.hangUpAfterRecords);
        } else {
            std::cerr << "vantrel-sim: unknown option " << argv[i] << " (try --help)\n";
            ok = false;
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    tArguments args;
    if (!ParseArguments(argc, argv, args)) {
        return 2;
    }
    if (args.verbose) {
        args.options.trace = [](std::string_view line) { std::cerr << line << '\n'; };
    }

    // Signals are taken with sigtimedwait below; blocked before any thread
    // starts, so that every thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    vantrel::sim::tSimulator simulator(args.options);
    try {
        simulator.Start();
    } catch (const std::exception& e) {
        std::cerr << "vantrel-sim: " << e.what() << '\n';
        return 1;
    }
    std::cout << simulator.SlavePath() << '\n' << std::flush;
    if (!args.link.empty()) {
        // Replaces a link left by an earlier run, never a file of the user's.
        struct stat old {};
        if (::lstat(args.link.c_str(), &old) == 0 && S_ISLNK(old.st_mode)) {
            ::unlink(args.link.c_str());
        }
        if (::symlink(simulator.SlavePath().c_str(), args.link.c_str()) != 0) {
            std::cerr << "vantrel-sim: cannot create the link " << args.link << ": "
                      << std::strerror(errno) << '\n';
            return 1;
        }
    }
    if (args.verbose) {
        std::cerr << "vantrel-sim: station on " << simulator.SlavePath() << '\n';
    }

    int status = 0;
    for (;;) {
        const timespec tick{0, 200'000'000};
        const int signal = sigtimedwait(&signals, nullptr, &tick);
        if (signal > 0) {
            break;
        }
        if (simulator.PortClosed()) {
            std::cerr << "vantrel-sim: the port was closed (hang-up)\n";
            break;
        }
        if (signal < 0 && errno != EAGAIN && errno != EINTR) {
            std::cerr << "vantrel-sim: " << std::strerror(errno) << '\n';
            status = 1;
            break;
        }
    }
    simulator.Stop();
    if (!args.link.empty()) {
        ::unlink(args.link.c_str());
    }
    return status;
}
