// vantrel-sim: the station simulator on a pseudo-terminal, for trying the
// program without a station and for talking to the station protocol by hand.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <string>
#include <string_view>

#include "base/OptionParser.h"
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
    "  --silent-after N     send no more records after N, the port kept open\n"
    "  --help               this text\n";

struct tArguments {
    vantrel::sim::tOptions options;
    bool verbose = false;
    bool help = false;
    std::string link;
};

// Returns false after telling what is wrong.
bool ParseArguments(int argc, char** argv, tArguments& args) {
    using vantrel::tOptionParser;
    vantrel::sim::tFaults& faults = args.options.faults;
    tOptionParser parser;
    // A number option: the value must be all digits (or a decimal for X).
    const auto number = [&parser](std::initializer_list<std::string_view> names, auto& out) {
        parser.Value(names, [&out, name = std::string(*names.begin())](const std::string& value,
                                                                       std::string& why) {
            if (!tOptionParser::Number(value, out)) {
                why = name + ": not a number: " + value;
                return false;
            }
            return true;
        });
    };
    parser.Flag({"--help", "-h"}, [&] { args.help = true; });
    number({"--period"}, args.options.initialPeriodMs);
    number({"--time-scale"}, args.options.timeScale);
    number({"--seed"}, faults.seed);
    parser.Flag({"--no-noise"}, [&] { args.options.noise = false; });
    parser.Flag({"--verbose", "-v"}, [&] { args.verbose = true; });
    parser.Value({"--link"}, [&](const std::string& value, std::string&) {
        args.link = value;
        return true;
    });
    parser.OptionalValue(
        {"--stray-byte"},
        [](std::string_view next) {
            int count = 0;
            return tOptionParser::Number(next, count);
        },
        "1",
        [&](const std::string& value, std::string& why) {
            faults.strayByteBeforeId = true;
            if (!tOptionParser::Number(value, faults.strayByteCount)) {
                why = "--stray-byte: not a number: " + value;
                return false;
            }
            return true;
        });
    number({"--delay"}, faults.replyDelayMs);
    parser.Flag({"--no-id"}, [&] { faults.ignoreIdentify = true; });
    parser.Flag({"--no-query"}, [&] { faults.ignoreQuery = true; });
    parser.Flag({"--split"}, [&] { faults.splitRecords = true; });
    number({"--garbage"}, faults.garbageEvery);
    parser.Flag({"--silent"}, [&] { faults.silent = true; });
    number({"--hang-up-after"}, faults.hangUpAfterRecords);
    number({"--silent-after"}, faults.silentAfterRecords);

    std::string error;
    if (!parser.Parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), error)) {
        std::cerr << "vantrel-sim: " << error << " (try --help)\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    tArguments args;
    if (!ParseArguments(argc, argv, args)) {
        return 2;
    }
    if (args.help) {
        std::cout << kUsage;
        return 0;
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
    std::cout << simulator.PortPath() << '\n' << std::flush;
    if (!args.link.empty()) {
        // Replaces a link left by an earlier run, never a file of the user's.
        struct stat old {};
        if (::lstat(args.link.c_str(), &old) == 0 && S_ISLNK(old.st_mode)) {
            ::unlink(args.link.c_str());
        }
        if (::symlink(simulator.PortPath().c_str(), args.link.c_str()) != 0) {
            std::cerr << "vantrel-sim: cannot create the link " << args.link << ": "
                      << std::strerror(errno) << '\n';
            return 1;
        }
    }
    if (args.verbose) {
        std::cerr << "vantrel-sim: station on " << simulator.PortPath() << '\n';
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
