#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vantrel {

class tRunData;
struct tRunSummary;

// A table of the report: column titles and rows of cells, as printed.
struct tReportTable {
    std::vector<std::string> titles;
    std::vector<std::vector<std::string>> rows;
};

// Every text of the lab report, in the current language and the program's
// number formats; the window only lays it out, draws the charts beside it
// and numbers the pages.
struct tReportContent {
    std::string title;
    std::vector<std::pair<std::string, std::string>> facts;  // label, text
    std::string studentLabel;
    std::string student;  // empty: a line is left to write on
    std::string timeChart;
    std::string dependChart;  // empty: no reading of the abscissa to draw against
    std::string results;
    // The equivalence point, when it was sought: label and text.
    std::vector<std::pair<std::string, std::string>> equivalence;
    std::string fitsTitle;
    // The captions as the charts show them, each with a last line naming
    // its stretch.
    std::vector<std::string> fits;
    std::string statisticsTitle;
    std::string statisticsRange;  // empty with the table: no point inspected
    tReportTable statistics;
    std::string marksTitle;
    tReportTable marks;  // time from the origin, then the visible quantities
    std::string none;    // what an empty section says
};

// Of `run` as `summary` sums it up; `abscissa` is the dependence chart's.
tReportContent reportContent(const tRunSummary& summary, const tRunData& run, int abscissa,
                             const std::string& student);

// "Страница 2 из 3".
std::string reportPageText(int page, int pages);

}  // namespace vantrel
