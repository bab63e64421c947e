#pragma once

#include <limits>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "charts/StretchFit.h"

namespace vantrel {

// A teacher's tools for a scenario before class, with no station.

// Loads and compiles `scenarioFile` and lists it on `out`: the name, the
// start and final states and one line per state (number, name, actions).
// 0, or 3 with the message on `messages` when it does not load. What loads
// but looks mistaken (a count that is not a number, a start state without
// a section) is a warning on `messages`, here and in replayScenario.
int checkScenario(const std::string& scenarioFile, std::ostream& out, std::ostream& messages);

// Feeds an exported run through the scenario, one reading per line, with
// the rates of change the charts would compute, and prints every transition
// (time as in the file, old and new state, the new state's actions) and
// "finished" when a final state ends the run. 0, or 3 with the message of
// the load or step that failed (1 when the run cannot be read).
// With `equivalence` (qV1..qV3) the equivalence line of the whole run on
// that volume follows, once the run was read; an empty `scenarioFile` then
// replays no scenario. The lines of `analyses` (fits and areas over the
// records from `from` to `to` seconds) come last.
int replayScenario(const std::string& scenarioFile, const std::string& runFile, std::ostream& out,
                   std::ostream& messages, int equivalence = -1,
                   const std::vector<tStretchRequest>& analyses = {},
                   double from = -std::numeric_limits<double>::infinity(),
                   double to = std::numeric_limits<double>::infinity());

// The line "equivalence<TAB>V=ml<TAB>pH=value" (three decimals, always
// ".") of a titration's readings in run order, or "equivalence<TAB>none"
// when the pH never jumps.
std::string equivalenceLine(std::span<const double> volume, std::span<const double> pH);

}  // namespace vantrel
