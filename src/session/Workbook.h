#pragma once

#include <string>

namespace vantrel {

class tRunData;
struct tRunSummary;

// Writes the run as a spreadsheet workbook with three sheets, named and
// headed in the current language: every record of the run as numbers in
// real units with a mark column, the marked points, and the summary (title
// facts, equivalence point, fits, statistics, each with the stretch it was
// made over). The columns are the export's: the visible curves, relative
// ones as their differences, times from the time origin. Written through a
// temporary file, so a failure leaves what was there; tError saying why.
void writeWorkbook(const std::string& fileName, const tRunData& run, const tRunSummary& summary);

}  // namespace vantrel
