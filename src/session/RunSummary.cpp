#include "session/RunSummary.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "base/Functions.h"
#include "base/Locale.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "charts/Quantities.h"

namespace vantrel {

tRunSummary runSummary(const tChartModel& charts, const tAnalysis& analysis) {
    const tRunData& run = charts.Data();
    tRunSummary s;
    s.info = run.Info();
    s.records = run.Count();
    if (!run.Empty()) {
        s.duration = run.Time(run.Count() - 1) - run.Time(0);
    }
    s.equivalenceVolume = analysis.EquivalenceVolume();
    s.equivalence = analysis.Equivalence();
    s.fits = analysis.Fits();
    s.statistics = stretchStatistics(charts);
    s.table = exportTable(charts);
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

std::vector<std::pair<std::string, std::string>> summaryLines(const tRunSummary& summary) {
    const std::string none = constantText("DK_SUM_NONE");
    auto orNone = [&](const std::string& text) { return text.empty() ? none : text; };
    std::vector<std::pair<std::string, std::string>> lines = {
        {constantText("DK_SUM_EXPERIMENT"), orNone(summary.info.experiment)},
        {constantText("DK_SUM_SCENARIO"), orNone(summary.info.scenario)},
        {constantText("DK_SUM_STARTED"), orNone(startedText(summary.info.started))},
        {constantText("DK_SUM_DURATION"),
         longTimeText(
             std::chrono::milliseconds(static_cast<long long>(summary.duration * 1000.0 + 0.5)))},
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
