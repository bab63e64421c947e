#include "cli/CliOptions.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/CommandLine.h"
#include "base/Functions.h"

namespace vantrel {

const std::string_view kCliUsage =
    "usage: vantrel-cli [options]\n"
    "Records the chemistry station without a window: finds the station, sets the\n"
    "digitisation period, records until a limit or Ctrl+C, stops and exports the\n"
    "readings as a tab-separated file.\n"
    "\n"
    "  --config FILE       configuration file (default: the program's path with .cfg)\n"
    "  --port PATH         serial port to try; repeat for several (replaces Ports=)\n"
    "  --simulate          record the built-in station simulator instead\n"
    "  --period MS         digitisation period, 200..60000 ms (default 200)\n"
    "  --duration SECONDS  stop after this many seconds\n"
    "  --records N         stop after N records\n"
    "                      (with both, whichever comes first; with neither, Ctrl+C)\n"
    "  --relative LIST     relative readings, comma-separated from LT,LP,LC,LE,V1,V2,V3\n"
    "  --export FILE       write every reading of the run to FILE (tab-separated)\n"
    "  -LOG                diagnostic log beside the program (.log)\n"
    "  -LOG_MEASURE        with -LOG, also the raw data received\n"
    "  --help              this text\n"
    "\n"
    "Progress goes to standard error once a second, a summary at the end.\n"
    "Exit status: 0 done; 1 usage or configuration error; 2 no station found;\n"
    "3 scenario error (reserved); 4 link to the station lost (what was received\n"
    "is still exported); 5 the export file could not be written.\n";

namespace {

// Relative-reading names in quantity order.
constexpr std::array<std::string_view, kQuantityCount> kQuantityCodes = {"LT", "LP", "LC", "LE",
                                                                         "V1", "V2", "V3"};

// A longer run than this is a typing mistake; it also keeps the deadline
// arithmetic far from overflow.
constexpr double kMaxDurationSeconds = 366.0 * 24 * 3600;

bool parseWhole(std::string_view text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool parseSeconds(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    return !text.empty() && ec == std::errc() && ptr == end && std::isfinite(value);
}

bool parseRelative(std::string_view list, std::array<bool, kQuantityCount>& relative,
                   std::string& error) {
    relative.fill(false);
    std::size_t pos = 0;
    for (;;) {
        const std::size_t comma = list.find(',', pos);
        const std::string_view item = list.substr(
            pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
        bool known = false;
        for (int i = 0; i < kQuantityCount; ++i) {
            if (equalsIgnoreCase(item, kQuantityCodes[static_cast<std::size_t>(i)])) {
                relative[static_cast<std::size_t>(i)] = true;
                known = true;
            }
        }
        if (!known) {
            error = "--relative: unknown quantity '" + std::string(item) +
                    "' (use LT, LP, LC, LE, V1, V2, V3 separated by commas)";
            return false;
        }
        if (comma == std::string_view::npos) {
            return true;
        }
        pos = comma + 1;
    }
}

}  // namespace

bool parseCliOptions(const std::vector<std::string>& args, tCliOptions& options,
                     std::string& error) {
    options = tCliOptions{};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (hasSwitch("LOG", {arg}) || hasSwitch("LOG_MEASURE", {arg})) {
            continue;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('=');
            arg.starts_with("--") && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        auto takeValue = [&]() {
            if (hasValue) {
                return true;
            }
            // "--export --simulate" forgot the file, it did not name one
            // "--simulate"; such a name can still be given after "=".
            if (i + 1 < args.size() && !args[i + 1].starts_with("--")) {
                value = args[++i];
                return true;
            }
            error = name + " needs a value";
            return false;
        };
        auto noValue = [&]() {
            if (hasValue) {
                error = name + " takes no value";
                return false;
            }
            return true;
        };

        if (name == "--help" || name == "-h") {
            if (!noValue()) {
                return false;
            }
            options.help = true;
        } else if (name == "--simulate") {
            if (!noValue()) {
                return false;
            }
            options.simulate = true;
        } else if (name == "--config") {
            if (!takeValue()) {
                return false;
            }
            if (value.empty()) {
                error = "--config needs a file name";
                return false;
            }
            options.configFile = value;
        } else if (name == "--port") {
            if (!takeValue()) {
                return false;
            }
            // The port list is kept as one ";"-separated value.
            if (value.empty() || value.find(';') != std::string::npos) {
                error = "--port: '" + value + "' is not a port path";
                return false;
            }
            options.ports.push_back(value);
        } else if (name == "--period") {
            if (!takeValue()) {
                return false;
            }
            std::int64_t ms = 0;
            if (!parseWhole(value, ms) || ms < kMinPeriodMs || ms > kMaxPeriodMs) {
                error = "--period: '" + value + "' is not a period from " +
                        std::to_string(kMinPeriodMs) + " to " + std::to_string(kMaxPeriodMs) +
                        " ms";
                return false;
            }
            options.periodMs = static_cast<int>(ms);
        } else if (name == "--duration") {
            if (!takeValue()) {
                return false;
            }
            double seconds = 0;
            if (!parseSeconds(value, seconds) || !(seconds > 0) || seconds > kMaxDurationSeconds) {
                error = "--duration: '" + value + "' is not a number of seconds above 0";
                return false;
            }
            options.durationSeconds = seconds;
        } else if (name == "--records") {
            if (!takeValue()) {
                return false;
            }
            std::int64_t count = 0;
            if (!parseWhole(value, count) || count < 1) {
                error = "--records: '" + value + "' is not a number of records above 0";
                return false;
            }
            options.records = count;
        } else if (name == "--relative") {
            if (!takeValue() || !parseRelative(value, options.relative, error)) {
                return false;
            }
        } else if (name == "--export") {
            if (!takeValue()) {
                return false;
            }
            if (value.empty()) {
                error = "--export needs a file name";
                return false;
            }
            options.exportFile = value;
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (options.simulate && !options.ports.empty()) {
        error = "--simulate and --port exclude each other";
        return false;
    }
    return true;
}

}  // namespace vantrel
