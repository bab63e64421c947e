#include "charts/ValueList.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "base/Functions.h"
#include "run/Quantities.h"
#include "run/RunData.h"
#include "run/Selection.h"

namespace vantrel {

tValueList::tValueList() {
    for (int i = 0; i < kQuantityCount; ++i) {
        rows_.push_back({std::string(quantityInfo[i].valueKey), ""});
    }
    for (std::string_view key : {kOriginTimeKey, kCursorTimeKey, kDeltaTimeKey}) {
        rows_.push_back({std::string(key), ""});
    }
}

void tValueList::ShowRecord(const tRunData& run, std::size_t p) {
    for (int i = 0; i < kQuantityCount; ++i) {
        rows_[static_cast<std::size_t>(i)].value =
            formatFixed(run.Shown(i, p), quantityInfo[i].decimals);
    }
}

bool tValueList::ShowInspection(const tRunData& run, const tSelection& selection) {
    const std::optional<std::size_t> cursor = selection.CursorIn(run);
    if (!cursor) {
        return false;
    }
    const std::optional<std::size_t> origin = selection.OriginIn(run);
    const double t0 = origin ? run.Time(*origin) : 0.0;
    const double t1 = run.Time(*cursor);
    SetValueByKey(timeKeys_[0], formatFixed(t0, 3));
    SetValueByKey(timeKeys_[1], formatFixed(t1, 3));
    SetValueByKey(timeKeys_[2], formatFixed(t1 - t0, 3));
    return true;
}

void tValueList::SetValueByKey(std::string_view key, std::string value) {
    for (tValueRow& row : rows_) {
        if (row.key == key) {
            row.value = std::move(value);
            return;
        }
    }
    rows_.push_back({std::string(key), std::move(value)});
}

void tValueList::SetKeys(const std::vector<std::string>& keys) {
    std::vector<tValueRow> rows;
    rows.reserve(std::max<std::size_t>(keys.size(), kQuantityCount));
    for (std::size_t j = 0; j < keys.size(); ++j) {
        rows.push_back({keys[j], j < rows_.size() ? rows_[j].value : ""});
    }
    // A full list renames the three time rows too; they are then found by
    // their new keys instead of gaining Russian twins.
    if (keys.size() >= kQuantityCount + timeKeys_.size()) {
        for (std::size_t k = 0; k < timeKeys_.size(); ++k) {
            timeKeys_[k] = keys[kQuantityCount + k];
        }
    }
    // Quantity rows are found by position, so a short key list keeps them.
    for (std::size_t j = rows.size(); j < kQuantityCount; ++j) {
        rows.push_back(
            {std::string(quantityInfo[j].valueKey), j < rows_.size() ? rows_[j].value : ""});
    }
    rows_ = std::move(rows);
}

}  // namespace vantrel
