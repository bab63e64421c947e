#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "charts/Equivalence.h"
#include "charts/Export.h"
#include "charts/Statistics.h"
#include "run/RunData.h"
#include "run/Selection.h"
#include "session/Analysis.h"

namespace vantrel {

// What a lab report or a workbook says about the run beside its readings,
// taken at the moment it is written: the run's title facts, the equivalence
// point, the fits and tangents as drawn, the statistics of the stretch, and
// which records the export takes.
struct tRunSummary {
    tRunInfo info;
    std::size_t records = 0;
    double duration = 0;  // seconds from the first record to the last
    // The volume the equivalence point was sought on (qV1..qV3), -1: not sought.
    int equivalenceVolume = -1;
    std::optional<tEquivalencePoint> equivalence;  // none: sought, no jump found
    std::vector<tFitCurve> fits;
    tStretchStatistics statistics;  // no quantities: no point inspected
    tExportTable table;
};

// Of `run` as `selection` chooses its stretch, quantities and marks.
tRunSummary runSummary(const tRunData& run, const tSelection& selection, const tAnalysis& analysis);

// The title lines, in the current language: experiment, scenario, start,
// duration, points and (when sought) the equivalence point; label and text.
std::vector<std::pair<std::string, std::string>> summaryLines(const tRunSummary& summary);

// "Температура, °C"; "pH" for a quantity without a unit.
std::string quantityTitleWithUnit(int quantity);

// "2026-12-09 10:15:00" in the user's date and time formats; as it stands
// when it is not in that form.
std::string startedText(const std::string& started);

// A run's length as a person writes it, in the current language: "12.5 с"
// under a minute, "1 мин 4 с" under an hour, "2 ч 05 мин" beyond.
std::string durationText(double seconds);

// "От 0.000 до 33.400 с, точек: 168": a stretch of `records` records from
// `from` to `to` run seconds, its times counted from `origin` as the
// readings beside it are.
std::string stretchText(double from, double to, std::size_t records, double origin);
// What a fit or a tangent was made over, in those words: its stretch, a
// tangent's point ("t = 12.300 с"), or "нет" for a stretch without records.
std::string fitStretchText(const tFitCurve& fit, double origin);

}  // namespace vantrel
