#include "run/RunTable.h"

#include "base/Functions.h"
#include "run/Quantities.h"

namespace vantrel {

std::string tRunTable::Cell(std::size_t row, int column) const {
    if (row >= run_.Count()) {
        return {};
    }
    if (column == kTimeColumn) {
        return formatFixed(run_.Time(row), kTimeDecimals);
    }
    if (column == kMarkColumn) {
        return selection_.Marked(row) ? std::string(kMarkText) : std::string();
    }
    if (column >= QuantityColumn(0) && column < kColumnCount) {
        const int i = column - QuantityColumn(0);
        return formatFixed(run_.Shown(i, row), quantityInfo[i].decimals);
    }
    return {};
}

std::string tRunTable::Text(const std::vector<std::string>& titles,
                            const std::vector<std::size_t>& rows) const {
    std::string text = joinTexts(titles, "\t") + "\r\n";
    for (std::size_t row : rows) {
        if (row >= run_.Count()) {
            continue;
        }
        for (int column = 0; column < kColumnCount; ++column) {
            if (column > 0) {
                text += '\t';
            }
            text += Cell(row, column);
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace vantrel
