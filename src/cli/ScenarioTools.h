#pragma once

#include <limits>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "charts/StretchFit.h"
#include "station/SafetyRules.h"

namespace vantrel {

class tAnalysis;
class tRunData;
class tSelection;
struct tRunInfo;

// A teacher's tools for a scenario before class, with no station.

// Loads and compiles `scenarioFile` and lists it on `out`: the name, the
// start and final states and one line per state (number, name, actions).
// 0, or 3 with the message on `messages` when it does not load. What loads
// but looks mistaken (a count that is not a number, a start state without
// a section) is a warning on `messages`, here and in replayScenario.
int checkScenario(const std::string& scenarioFile, std::ostream& out, std::ostream& messages);

// Feeds an exported run through the scenario, one reading per line, with
// the rates of change the charts would compute and the safety rules of
// `limits` applied as on the station, and prints every transition (time as
// in the file, old and new state, the new state's actions that would be
// sent), after it one line per action the rules refused (time, "SAFETY:
// REFUSED <command>" as the log names it, the reason told to the user), and
// "finished" when a final state ends the run. 0, or 3 with the message of
// the load or step that failed (1 when the run cannot be read).
// With `equivalence` (qV1..qV3) the equivalence line of the whole run on
// that volume follows, once the run was read; an empty `scenarioFile` then
// replays no scenario. The lines of `analyses` (fits and areas over the
// records from `from` to `to` seconds) come last.
// With `workbookFile` the run also goes to that workbook (see writeRunWorkbook);
// 5 when it cannot be written.
int replayScenario(const std::string& scenarioFile, const std::string& runFile, std::ostream& out,
                   std::ostream& messages, int equivalence = -1,
                   const std::vector<tStretchRequest>& analyses = {},
                   double from = -std::numeric_limits<double>::infinity(),
                   double to = std::numeric_limits<double>::infinity(),
                   const std::string& workbookFile = {},
                   const tSafetyLimits& limits = tSafetyLimits());

// Writes `run` to the workbook `fileName`, its summary with the fits of
// `analyses` (those with a model) over the records timed from `from` to
// `to`, as the printed lines take them, made by `analysis` (of that run),
// the equivalence point on `equivalence` (qV1..qV3, else none) and the
// statistics of the whole run from the time origin of `selection`, which
// also names the marks and the columns. False, told on `messages`, when it
// cannot be written; "workbook written to" otherwise.
bool writeRunWorkbook(const tRunData& run, const tSelection& selection, tAnalysis& analysis,
                      const std::string& fileName, int equivalence,
                      const std::vector<tStretchRequest>& analyses, double from, double to,
                      std::ostream& messages);
// The same for a run file (an export or a journal) read with an analysis of
// its own; `info`, when given, replaces the title facts the file holds. 0,
// 1 when the file cannot be read, 5 when the workbook cannot be written.
int writeFileRunWorkbook(const std::string& runFile, const tRunInfo* info,
                         const std::string& workbookFile, int equivalence,
                         const std::vector<tStretchRequest>& analyses, double from, double to,
                         std::ostream& messages);

// Writes every reading of a run file (an export or a journal) to the export
// file `exportFile`, as a recording's export. 0, 1 when the run cannot be
// read, 5 when the export cannot be written; told on `messages`.
int writeFileRunExport(const std::string& runFile, const std::string& exportFile,
                       std::ostream& messages);

// The line "equivalence<TAB>V=ml<TAB>pH=value" (three decimals, always
// ".") of a titration's readings in run order, or "equivalence<TAB>none"
// when the pH never jumps.
std::string equivalenceLine(std::span<const double> volume, std::span<const double> pH);

}  // namespace vantrel
