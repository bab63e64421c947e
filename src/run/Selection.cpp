#include "run/Selection.h"

#include <algorithm>
#include <utility>

#include "run/RunData.h"

namespace vantrel {

tSelection::tSelection() {
    visible_.fill(true);
}

void tSelection::InspectEnd(const tRunData& run) {
    if (run.Count() >= 2) {
        cursor_ = run.NearestPoint(run.Time(run.Count() - 1));
    }
}

void tSelection::ClearInspection() {
    origin_.reset();
    cursor_.reset();
}

void tSelection::NewRun() {
    ClearInspection();
    marks_.clear();
}

void tSelection::RecordInserted(std::size_t p) {
    for (std::optional<std::size_t>* index : {&origin_, &cursor_}) {
        if (*index && **index >= p) {
            ++**index;
        }
    }
    if (!marks_.empty() && *marks_.rbegin() >= p) {
        std::set<std::size_t> shifted;
        for (std::size_t m : marks_) {
            shifted.insert(m >= p ? m + 1 : m);
        }
        marks_.swap(shifted);
    }
}

bool tSelection::ToggleMark(std::size_t p, const tRunData& run) {
    if (p >= run.Count()) {
        return false;
    }
    if (!marks_.erase(p)) {
        marks_.insert(p);
    }
    return true;
}

bool tSelection::SetVisible(int i, bool visible) {
    bool& shown = visible_[static_cast<std::size_t>(i)];
    if (!visible && shown && std::count(visible_.begin(), visible_.end(), true) == 1) {
        return false;
    }
    shown = visible;
    return true;
}

std::vector<int> tSelection::VisibleQuantities() const {
    std::vector<int> quantities;
    for (int i = 0; i < kQuantityCount; ++i) {
        if (Visible(i)) {
            quantities.push_back(i);
        }
    }
    return quantities;
}

std::optional<std::size_t> tSelection::OriginIn(const tRunData& run) const {
    return origin_ && *origin_ < run.Count() ? origin_ : std::nullopt;
}

std::optional<std::size_t> tSelection::CursorIn(const tRunData& run) const {
    return cursor_ && *cursor_ < run.Count() ? cursor_ : std::nullopt;
}

std::optional<tIndexRange> tSelection::InspectedStretch(const tRunData& run) const {
    if (!CursorIn(run)) {
        return std::nullopt;
    }
    return Stretch(run);
}

tIndexRange tSelection::Stretch(const tRunData& run) const {
    tIndexRange range;
    if (run.Empty()) {
        return range;
    }
    range.first = OriginIn(run).value_or(0);
    range.last = CursorIn(run).value_or(run.Count() - 1);
    if (range.first > range.last) {
        std::swap(range.first, range.last);
    }
    return range;
}

std::size_t tSelection::StorageBytes() const {
    // A set node holds the value, three links and a colour.
    constexpr std::size_t kMarkNodeBytes = sizeof(std::size_t) + 4 * sizeof(void*);
    return marks_.size() * kMarkNodeBytes;
}

}  // namespace vantrel
