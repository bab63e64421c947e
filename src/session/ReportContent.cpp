#include "session/ReportContent.h"

#include <cmath>

#include "base/Functions.h"
#include "base/Texts.h"
#include "lang/LanguageFile.h"
#include "run/Quantities.h"
#include "run/RunData.h"
#include "session/RunSummary.h"

namespace vantrel {

namespace {

int decimalsOf(int quantity) {
    return quantityInfo[static_cast<std::size_t>(quantity)].decimals;
}

// A quantity the run has no reading of leaves its cell empty.
std::string cell(double value, int decimals) {
    return std::isfinite(value) ? formatFixed(value, decimals) : std::string();
}

bool hasReadingOf(const tRunData& run, int quantity) {
    for (std::size_t p = 0; p < run.Count(); ++p) {
        if (std::isfinite(run.Shown(quantity, p))) {
            return true;
        }
    }
    return false;
}

}  // namespace

tReportContent reportContent(const tRunSummary& summary, const tRunData& run, int abscissa,
                             const std::string& student) {
    tReportContent c;
    c.none = constantText("DK_SUM_NONE");
    c.title = constantText("DK_REPORT_TITLE");
    c.facts = summaryLines(summary);
    c.studentLabel = constantText("DK_REPORT_STUDENT");
    c.student = student;
    c.timeChart = constantText("DK_REPORT_TIME_CHART");
    if (abscissa >= 0 && abscissa < kQuantityCount && hasReadingOf(run, abscissa)) {
        c.dependChart = formatText(constantText("DK_REPORT_DEPEND_CHART"),
                                   {quantityNames[static_cast<std::size_t>(abscissa)]});
    }

    c.results = constantText("DK_REPORT_RESULTS");
    if (summary.equivalenceVolume >= 0 && !c.facts.empty()) {
        // The title block's last line, so both say the same.
        c.equivalence.push_back(c.facts.back());
    }
    c.fitsTitle = constantText("DK_SUM_FITS");
    // Each with the stretch it was made over, in the times the marked
    // points below count in.
    for (const tFitCurve& fit : summary.fits) {
        c.fits.push_back(fit.caption + "\n" + fitStretchText(fit, summary.table.origin));
    }

    c.statisticsTitle = constantText("DK_STAT_CAPTION");
    const tStretchStatistics& st = summary.statistics;
    if (!st.quantities.empty()) {
        c.statisticsRange = stretchText(st.from, st.to, st.points, summary.table.origin);
        c.statistics.titles = splitItems(constantText("DK_STAT_TITLES"));
        for (const tQuantityStatistics& q : st.quantities) {
            const int d = decimalsOf(q.quantity);
            c.statistics.rows.push_back({quantityTitleWithUnit(q.quantity), cell(q.minimum, d),
                                         cell(q.maximum, d), cell(q.mean, d), cell(q.change, d),
                                         cell(q.ratePerMinute, d + 1)});
        }
    }

    c.marksTitle = constantText("DK_REPORT_MARKS");
    const tExportTable& table = summary.table;
    c.marks.titles.push_back(constantText("DK_TABLE_TIME"));
    for (int q : table.quantities) {
        c.marks.titles.push_back(quantityTitleWithUnit(q));
    }
    for (std::size_t p : table.marked) {
        if (p >= run.Count()) {
            continue;
        }
        std::vector<std::string> row{formatFixed(run.Time(p) - table.origin, 3)};
        for (int q : table.quantities) {
            row.push_back(cell(run.Shown(q, p), decimalsOf(q)));
        }
        c.marks.rows.push_back(std::move(row));
    }
    return c;
}

std::string reportPageText(int page, int pages) {
    return formatText(constantText("DK_REPORT_PAGE"),
                      {std::to_string(page), std::to_string(pages)});
}

}  // namespace vantrel
