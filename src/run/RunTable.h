#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "run/RunData.h"
#include "run/Selection.h"

namespace vantrel {

// The run as a table: a row per record in time order, the columns time,
// the record's mark in the selection and the seven quantities as shown (a
// relative reading as its difference, with the value list's decimals). The
// window's table and what it copies read their texts here, in the captured
// decimal separator.
class tRunTable {
public:
    static constexpr int kTimeColumn = 0;
    static constexpr int kMarkColumn = 1;
    static constexpr int kColumnCount = kQuantityCount + 2;
    static constexpr int kTimeDecimals = 3;  // as the export writes time
    static constexpr std::string_view kMarkText = "\u2713";

    static constexpr int QuantityColumn(int i) { return i + 2; }

    tRunTable(const tRunData& run, const tSelection& selection)
        : run_(run), selection_(selection) {}

    // Empty outside the run or the columns.
    std::string Cell(std::size_t row, int column) const;
    // As a spreadsheet takes it: `titles` (one per column), then a line per
    // row in the order given, tab-separated, lines ending in CR LF. Rows
    // outside the run give no line.
    std::string Text(const std::vector<std::string>& titles,
                     const std::vector<std::size_t>& rows) const;

private:
    const tRunData& run_;
    const tSelection& selection_;
};

}  // namespace vantrel
