#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "class/ClassResults.h"
#include "class/ClassRoster.h"

namespace vantrel {

// A station's card as the class view shows it, in the current language.
struct tCardText {
    std::string title;
    std::string presence;  // online, or when it was last heard
    std::string state;     // what the station does and its scenario step
    std::string values;    // the newest LT, LP, LC, LE with their units
    std::string outputs;   // heater, stirrer and pumps on or off
    std::string safety;    // the last safety intervention; empty: none
    std::string stop;      // the answer to the teacher's stop; empty: none asked
    bool grey = false;
    bool anyOn = false;
};
tCardText cardText(const tStationCard& card, std::chrono::steady_clock::time_point now);

// The view's line about who is missing: nobody ever connected (with the
// address to use and the usual causes), or the stations gone silent.
std::string classDiagnosis(const tClassRoster& roster, const std::string& brokerAddress,
                           std::chrono::steady_clock::time_point now);

class tRunData;
struct tFitCurve;
// What a station publishes of its run for the class's results: its length,
// the equivalence point on `volumeQuantity` (none: -1, or none found), the
// newest of `fits` that is a fit.
classlink::tResult classResultOf(const tRunData& run, int volumeQuantity,
                                 const std::vector<tFitCurve>& fits);

// The results table's column titles: station, experiment, fit, then the
// number columns.
std::vector<std::string> classResultTitles();

}  // namespace vantrel
