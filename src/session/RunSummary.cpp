#include "session/RunSummary.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "base/Functions.h"
#include "base/Locale.h"
#include "base/Texts.h"
#include "run/Quantities.h"

namespace vantrel {

tRunSummary runSummary(const tRunData& run, const tSelection& selection,
                       const tAnalysis& analysis) {
    tRunSummary s;
    s.info = run.Info();
    s.records = run.Count();
    if (!run.Empty()) {
        s.duration = run.Time(run.Count() - 1) - run.Time(0);
    }
    s.equivalenceVolume = analysis.EquivalenceVolume();
    s.equivalence = analysis.Equivalence();
    s.fits = analysis.Fits();
    s.statistics = stretchStatistics(run, selection);
    s.table = exportTable(run, selection);
    return s;
}

std::string quantityTitleWithUnit(int quantity) {
    const std::string unit = unitOf(quantity);
    const std::string& name = quantityNames[static_cast<std::size_t>(quantity)];
    return unit.empty() ? name : name + ", " + unit;
}

std::string startedText(const std::string& started) {
    std::tm parts{};
    char rest = 0;
    if (std::sscanf(started.c_str(), "%d-%d-%d %d:%d:%d%c", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &rest) != 6) {
        return started;
    }
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    parts.tm_isdst = -1;
    const std::time_t when = std::mktime(&parts);
    if (when == static_cast<std::time_t>(-1)) {
        return started;
    }
    const tLocaleFacts facts = localeFacts();
    return formatDateTime(facts.shortDateFormat + " " + facts.longTimeFormat,
                          std::chrono::system_clock::from_time_t(when));
}

std::string durationText(double seconds) {
    if (!(seconds > 0)) {
        seconds = 0;
    }
    // Rounded to what is shown first, so 59.96 s reads a minute, not "60.0 с".
    if (std::round(seconds * 10) < 600) {
        return formatText(constantText("DK_DURATION_SECONDS"), {formatFixed(seconds, 1)});
    }
    const auto wholeSeconds = static_cast<long long>(std::llround(seconds));
    if (wholeSeconds < 3600) {
        return formatText(constantText("DK_DURATION_MINUTES"),
                          {std::to_string(wholeSeconds / 60), std::to_string(wholeSeconds % 60)});
    }
    const auto minutes = static_cast<long long>(std::llround(seconds / 60));
    const std::string minutesText = std::to_string(minutes % 60);
    return formatText(
        constantText("DK_DURATION_HOURS"),
        {std::to_string(minutes / 60), minutesText.size() < 2 ? "0" + minutesText : minutesText});
}

std::string stretchText(double from, double to, std::size_t records, double origin) {
    return formatText(
        constantText("DK_STAT_RANGE"),
        {formatFixed(from - origin, 3), formatFixed(to - origin, 3), std::to_string(records)});
}

std::string fitStretchText(const tFitCurve& fit, double origin) {
    if (fit.records == 0) {
        return constantText("DK_SUM_NONE");
    }
    if (fit.tangent) {
        return formatText(constantText("DK_HOVER_TIME"), {formatFixed(fit.from - origin, 3)});
    }
    return stretchText(fit.from, fit.to, fit.records, origin);
}

std::vector<std::pair<std::string, std::string>> summaryLines(const tRunSummary& summary) {
    const std::string none = constantText("DK_SUM_NONE");
    auto orNone = [&](const std::string& text) { return text.empty() ? none : text; };
    std::vector<std::pair<std::string, std::string>> lines = {
        {constantText("DK_SUM_EXPERIMENT"), orNone(summary.info.experiment)},
        {constantText("DK_SUM_SCENARIO"), orNone(summary.info.scenario)},
        {constantText("DK_SUM_STARTED"), orNone(startedText(summary.info.started))},
        {constantText("DK_SUM_DURATION"), durationText(summary.duration)},
        {constantText("DK_SUM_RECORDS"), std::to_string(summary.records)},
    };
    if (summary.equivalenceVolume >= 0) {
        const std::string volume(
            kQuantityCodes[static_cast<std::size_t>(summary.equivalenceVolume)]);
        lines.emplace_back(constantText("DK_EQUIV_CAPTION") + " (" + volume + ")",
                           summary.equivalence
                               ? formatText(constantText("DK_EQUIV_FOUND"),
                                            {formatFixed(summary.equivalence->volume, 3),
                                             formatFixed(summary.equivalence->pH, 3)})
                               : none);
    }
    return lines;
}

}  // namespace vantrel
