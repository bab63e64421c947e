#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "charts/StretchFit.h"
#include "class/ClassStation.h"
#include "device/Readings.h"

namespace vantrel {

inline constexpr int kDefaultPeriodMs = 200;

// What the headless recorder was asked to do.
struct tCliOptions {
    std::string configFile;          // empty: the program's path with ".cfg"
    std::vector<std::string> ports;  // replaces the configured port list when not empty
    bool simulate = false;
    int periodMs = kDefaultPeriodMs;
    std::optional<double> durationSeconds;
    std::optional<std::int64_t> records;
    std::array<bool, kQuantityCount> relative{};
    std::string exportFile;    // empty: nothing is exported
    std::string workbookFile;  // empty: no workbook
    std::string scenarioFile;  // run this scenario from the start of acquisition
    std::string checkFile;     // load and compile this scenario only, print it
    std::string replayFile;    // feed this exported run through the scenario, no station
    int equivalence = -1;      // qV1..qV3: print the run's equivalence point on this volume
    std::vector<tStretchRequest> analyses;  // --fit and --area, in the order given
    std::optional<double> from;             // the stretch they take, run seconds
    std::optional<double> to;
    // The stretch in run seconds, an open end as an infinity.
    double FromSeconds() const { return from.value_or(-std::numeric_limits<double>::infinity()); }
    double ToSeconds() const { return to.value_or(std::numeric_limits<double>::infinity()); }
    bool help = false;
    bool version = false;
    bool listRuns = false;
    bool recover = false;
    std::string recoverFile;         // empty: the newest run that did not finish
    int reconnectSeconds = 0;        // 0: a lost link ends the run
    tClassOptions classLink;         // --class-broker, --class, --station
    std::string brokerConfigFolder;  // write a class's broker configuration there
};

// The text printed by --help.
extern const std::string_view kCliUsage;

// Reads the arguments (without the program name). The log switches (-LOG,
// -LOG_MEASURE, also with "/") are accepted and left to the log. False, with
// `error` telling what is wrong, for anything it cannot use.
bool parseCliOptions(const std::vector<std::string>& args, tCliOptions& options,
                     std::string& error);

}  // namespace vantrel
