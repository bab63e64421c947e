#pragma once

#include <string>

namespace vantrel {

class tChartModel;
struct tRunSummary;

// Writes the run as a spreadsheet workbook with three sheets, named and
// headed in the current language: the readings of the export's stretch as
// numbers in real units with a mark column, the marked points, and the
// summary (title facts, equivalence point, fits, statistics). The columns
// are the export's: the visible curves, relative ones as their differences,
// times from the time origin. Written through a temporary file, so a
// failure leaves what was there; tError saying why.
void writeWorkbook(const std::string& fileName, const tChartModel& charts,
                   const tRunSummary& summary);

}  // namespace vantrel
