#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "device/Readings.h"

namespace vantrel {

// One data line of an export file.
struct tExportRow {
    std::string timeText;  // as written in the file
    double time = 0;       // seconds
    tReadingValues readings{};
    bool marked = false;
};

// A run as this program exported it: which quantities the file holds and
// every line's time and readings (quantities the file lacks read 0).
struct tExportedRun {
    std::vector<int> quantities;  // the file's columns after "t", in order
    bool markColumn = false;      // a last column with "*" on the marked records
    std::vector<tExportRow> rows;
};

// The column title of quantity i in any form this program writes it: the
// current names (a language may have renamed them), the built-in Russian
// ones and the short codes (LT, LP, LC, LE, V1, V2, V3). -1 for no quantity.
int quantityOfTitle(std::string_view title);

// Reads an export file (Windows-1251 or UTF-8, tab-separated, "." or "," as
// the decimal separator, CR LF or LF, with or without the mark column).
// tError naming the line and what is wrong when it is no export of this
// program.
tExportedRun readExportText(std::string_view text);
tExportedRun readExportFile(const std::string& fileName);

}  // namespace vantrel
