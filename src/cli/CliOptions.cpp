#include "cli/CliOptions.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/Functions.h"
#include "base/OptionParser.h"
#include "device/Protocol.h"
#include "run/Quantities.h"

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
    "  --export FILE       write every reading of the run to FILE (tab-separated),\n"
    "                      marked or not; a run with marks gets a last column\n"
    "                      with \"*\" on the marked ones; also after --replay or\n"
    "                      --recover\n"
    "  --xlsx FILE         write the run to the workbook FILE: readings, marks and a\n"
    "                      summary with the --equivalence and --fit results; also\n"
    "                      after --replay or --recover\n"
    "  --scenario FILE     run the experiment scenario FILE.exp (and its .tra script)\n"
    "                      from the start of acquisition; its final state ends the run\n"
    "  --check FILE        load and compile the scenario FILE.exp only and list its states\n"
    "  --replay RUN        with --scenario: no station; feed the exported run RUN through\n"
    "                      the scenario and print each transition\n"
    "  --equivalence V     at the end of the run print the titration's equivalence point\n"
    "                      on the dosed volume V (V1, V2 or V3); also after --replay,\n"
    "                      which then needs no --scenario\n"
    "  --fit Q,MODEL[,X]   at the end print a fit of quantity Q (LT, LP, LC, LE, V1, V2,\n"
    "                      V3) against X (a quantity; default the time in seconds),\n"
    "                      MODEL linear, quadratic or exponential; repeatable\n"
    "  --area Q[,X]        at the end print the area under Q against X; repeatable\n"
    "  --from T1, --to T2  the stretch --fit and --area take, in seconds of the run\n"
    "                      (default: the whole run); both also after --replay\n"
    "  -LOG                diagnostic log beside the program (.log)\n"
    "  -LOG_MEASURE        with -LOG, also the raw data received\n"
    "  --reconnect SECONDS on a lost link keep the run and wait this long for the\n"
    "                      station to come back on the same port, then go on recording\n"
    "  --class-broker HOST[:PORT]  publish the run to the class's MQTT broker\n"
    "                      (replaces ClassBroker=; an empty value: no class link)\n"
    "  --class NAME        the class on that broker (replaces ClassName=)\n"
    "  --station NAME      this station's name in the class (replaces StationName=)\n"
    "  --broker-config DIR with --class: write the class's broker configuration\n"
    "                      (Mosquitto: accounts with new passwords, access rules) into\n"
    "                      DIR, print the accounts and how to start the broker with it\n"
    "  --runs              list the journals of earlier runs\n"
    "  --recover [JOURNAL] with --export or --xlsx: write the newest run that did not\n"
    "                      finish (or the journal named) to the file\n"
    "  --version           the program's name, version and copyright\n"
    "  --help              this text\n"
    "\n"
    "Progress goes to standard error once a second, a summary at the end.\n"
    "Exit status: 0 done; 1 usage or configuration error; 2 no station found;\n"
    "3 the scenario does not load or one of its steps failed (what was recorded\n"
    "is still exported); 4 link to the station lost (what was received is still\n"
    "exported) or not one state record received; 5 the export file could not be\n"
    "written (the run went to a fallback file, whose name is told) or the workbook\n"
    "could not be written; 6 no run to recover; 130 interrupted\n"
    "before recording began.\n";

namespace {

// A longer run than this is a typing mistake; it also keeps the deadline
// arithmetic far from overflow.
constexpr double kMaxDurationSeconds = 366.0 * 24 * 3600;

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
    tOptionParser parser;
    parser.Flag({"--help", "-h"}, [&] { options.help = true; });
    parser.Flag({"--simulate"}, [&] { options.simulate = true; });
    parser.Flag({"--version"}, [&] { options.version = true; });
    parser.Flag({"--runs"}, [&] { options.listRuns = true; });
    parser.OptionalValue(
        {"--recover"}, [](std::string_view) { return true; }, "",
        [&](const std::string& value, std::string&) {
            options.recover = true;
            options.recoverFile = value;
            return true;
        });
    parser.Value({"--reconnect"}, [&](const std::string& value, std::string& why) {
        if (!tOptionParser::Number(value, options.reconnectSeconds) ||
            options.reconnectSeconds < 1 || options.reconnectSeconds > 7 * 24 * 3600) {
            why = "--reconnect: '" + value + "' is not a number of seconds above 0";
            return false;
        }
        return true;
    });
    for (auto [name, target] : {std::pair{"--class-broker", &options.classLink.broker},
                                std::pair{"--class", &options.classLink.className},
                                std::pair{"--station", &options.classLink.stationName}}) {
        parser.Value({name}, [target](const std::string& value, std::string&) {
            *target = value;
            return true;
        });
    }
    parser.Value({"--broker-config"}, [&](const std::string& value, std::string& why) {
        if (value.empty()) {
            why = "--broker-config needs a folder";
            return false;
        }
        options.brokerConfigFolder = value;
        return true;
    });
    parser.Value({"--config"}, [&](const std::string& value, std::string& why) {
        if (value.empty()) {
            why = "--config needs a file name";
            return false;
        }
        options.configFile = value;
        return true;
    });
    parser.Value({"--port"}, [&](const std::string& value, std::string& why) {
        // The port list is kept as one ";"-separated value.
        if (value.empty() || value.find(';') != std::string::npos) {
            why = "--port: '" + value + "' is not a port path";
            return false;
        }
        options.ports.push_back(value);
        return true;
    });
    parser.Value({"--period"}, [&](const std::string& value, std::string& why) {
        std::int64_t ms = 0;
        if (!tOptionParser::Number(value, ms) || ms < kMinPeriodMs || ms > kMaxPeriodMs) {
            why = "--period: '" + value + "' is not a period from " + std::to_string(kMinPeriodMs) +
                  " to " + std::to_string(kMaxPeriodMs) + " ms";
            return false;
        }
        options.periodMs = static_cast<int>(ms);
        return true;
    });
    parser.Value({"--duration"}, [&](const std::string& value, std::string& why) {
        double seconds = 0;
        const char* end = value.data() + value.size();
        const auto [ptr, ec] =
            std::from_chars(value.data(), end, seconds, std::chars_format::fixed);
        if (value.empty() || ec != std::errc() || ptr != end || !std::isfinite(seconds) ||
            !(seconds > 0) || seconds > kMaxDurationSeconds) {
            why = "--duration: '" + value + "' is not a number of seconds above 0";
            return false;
        }
        options.durationSeconds = seconds;
        return true;
    });
    parser.Value({"--records"}, [&](const std::string& value, std::string& why) {
        std::int64_t count = 0;
        if (!tOptionParser::Number(value, count) || count < 1) {
            why = "--records: '" + value + "' is not a number of records above 0";
            return false;
        }
        options.records = count;
        return true;
    });
    parser.Value({"--relative"}, [&](const std::string& value, std::string& why) {
        return parseRelative(value, options.relative, why);
    });
    for (auto [name, field] :
         {std::pair{"--export", &options.exportFile}, std::pair{"--xlsx", &options.workbookFile},
          std::pair{"--scenario", &options.scenarioFile}, std::pair{"--check", &options.checkFile},
          std::pair{"--replay", &options.replayFile}}) {
        parser.Value({name}, [name, field](const std::string& value, std::string& why) {
            if (value.empty()) {
                why = std::string(name) + " needs a file name";
                return false;
            }
            *field = value;
            return true;
        });
    }
    parser.Value({"--equivalence"}, [&](const std::string& value, std::string& why) {
        for (int i = qV1; i <= qV3; ++i) {
            if (equalsIgnoreCase(value, kQuantityCodes[static_cast<std::size_t>(i)])) {
                options.equivalence = i;
                return true;
            }
        }
        why = "--equivalence: '" + value + "' is not a dosed volume (use V1, V2 or V3)";
        return false;
    });
    for (const bool fit : {true, false}) {
        parser.Value({fit ? "--fit" : "--area"},
                     [&options, fit](const std::string& value, std::string& why) {
                         tStretchRequest request;
                         if (!parseStretchRequest(value, fit, request, why)) {
                             why = std::string(fit ? "--fit: " : "--area: ") + why;
                             return false;
                         }
                         options.analyses.push_back(request);
                         return true;
                     });
    }
    for (auto [name, field] :
         {std::pair{"--from", &options.from}, std::pair{"--to", &options.to}}) {
        parser.Value({name}, [name, field](const std::string& value, std::string& why) {
            double seconds = 0;
            const auto [ptr, ec] =
                std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (value.empty() || ec != std::errc() || ptr != value.data() + value.size() ||
                !std::isfinite(seconds)) {
                why = std::string(name) + ": '" + value + "' is not a number of seconds";
                return false;
            }
            *field = seconds;
            return true;
        });
    }
    if (!parser.Parse(args, error)) {
        return false;
    }
    if (options.from && options.to && *options.from > *options.to) {
        error = "--from is after --to";
        return false;
    }
    if (!options.replayFile.empty() && options.scenarioFile.empty() && options.equivalence < 0 &&
        options.analyses.empty() && options.workbookFile.empty() && options.exportFile.empty()) {
        error =
            "--replay needs --scenario (the scenario to try on the run), --equivalence (the "
            "volume to find the equivalence point on), --fit, --area, --xlsx or --export";
        return false;
    }
    if ((options.equivalence >= 0 || !options.analyses.empty()) &&
        (!options.checkFile.empty() || options.listRuns ||
         (options.recover && options.workbookFile.empty()))) {
        error =
            "--equivalence, --fit and --area evaluate a recording or a replayed run: not with "
            "--check, --runs or --recover (except into its --xlsx)";
        return false;
    }
    if (!options.replayFile.empty() && (options.simulate || !options.ports.empty())) {
        error = "--replay uses no station: it excludes --simulate and --port";
        return false;
    }
    if (options.recover && options.exportFile.empty() && options.workbookFile.empty()) {
        error = "--recover needs --export or --xlsx: the file to write the run to";
        return false;
    }
    if (!options.checkFile.empty() &&
        (!options.scenarioFile.empty() || options.simulate || !options.ports.empty() ||
         !options.exportFile.empty() || !options.workbookFile.empty())) {
        error = "--check only loads a scenario: it takes no other option";
        return false;
    }
    if (!options.brokerConfigFolder.empty() && !options.classLink.className) {
        error = "--broker-config needs --class: the class the broker serves";
        return false;
    }
    if (options.simulate && !options.ports.empty()) {
        error = "--simulate and --port exclude each other";
        return false;
    }
    return true;
}

}  // namespace vantrel
