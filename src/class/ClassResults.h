#pragma once

#include <optional>
#include <string>
#include <vector>

#include "class/ClassRoster.h"

namespace vantrel {

// The class's results: a row per station that published one, and for each
// number column the class's mean, standard deviation, each group's
// deviation from the mean, and the groups more than two standard
// deviations off (outliers).
struct tClassResults {
    enum tColumn { Duration, Records, Volume, PH, FitA, FitB, FitC, FitR2, kColumns };
    struct tRow {
        std::string station;
        std::string experiment;
        std::string fit;  // the fit's model and curve, e.g. "linear LT(t)"
        std::optional<double> values[kColumns];
        std::optional<double> deviations[kColumns];
        bool outlier[kColumns] = {};
    };
    struct tSummary {
        int count = 0;  // groups with a value
        double mean = 0;
        double sd = 0;  // sample standard deviation (n − 1); 0 for one group
    };
    std::vector<tRow> rows;
    tSummary summary[kColumns];

    static tClassResults From(const tClassRoster& roster);
    static tClassResults From(std::vector<tRow> rows);

    // Tab-separated: a header of `titles` (kColumns + 3 of them: station,
    // experiment, fit, then the number columns), a line per group, the mean
    // and the standard deviation. Numbers with '.' or `decimal`.
    std::string Text(const std::vector<std::string>& titles, const std::string& meanTitle,
                     const std::string& sdTitle, char decimal) const;
};

}  // namespace vantrel
