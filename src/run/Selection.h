#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <set>
#include <vector>

#include "device/Readings.h"

namespace vantrel {

class tRunData;

// Records first..last of a run, both included; none when first > last.
struct tIndexRange {
    std::size_t first = 1;
    std::size_t last = 0;
};

// What the user chose on a run, whoever shows it: the time origin the times
// count from, the inspected record (the cursor), the marked records and the
// quantities shown. Exports, statistics, fits and reports ask it which
// records and quantities they take. Records are indices into the run
// (tRunData); an origin or a cursor outside the run counts as none.
class tSelection {
public:
    // Nothing chosen, every quantity visible.
    tSelection();

    std::optional<std::size_t> Origin() const { return origin_; }
    std::optional<std::size_t> Cursor() const { return cursor_; }
    void SetOrigin(std::optional<std::size_t> p) { origin_ = p; }
    void SetCursor(std::optional<std::size_t> p) { cursor_ = p; }
    // The cursor on the run's last record (the first of its time, as a click
    // there picks), so that the inspected stretch reaches the run's end;
    // nothing with fewer than two records.
    void InspectEnd(const tRunData& run);
    // Neither a time origin nor a cursor.
    void ClearInspection();
    // A new run: nothing inspected or marked; the visible quantities stay.
    void NewRun();
    // A record was put in at index p: the records from p on moved up one.
    void RecordInserted(std::size_t p);

    // A mark belongs to a record, whatever curves show it.
    bool Marked(std::size_t p) const { return marks_.count(p) != 0; }
    bool HasMarks() const { return !marks_.empty(); }
    const std::set<std::size_t>& Marks() const { return marks_; }
    // False outside `run`.
    bool ToggleMark(std::size_t p, const tRunData& run);

    // Unchecked: 0 <= i < kQuantityCount.
    bool Visible(int i) const { return visible_[static_cast<std::size_t>(i)]; }
    // Something is always shown: hiding the only visible quantity is
    // refused (false).
    bool SetVisible(int i, bool visible);
    // In index order.
    std::vector<int> VisibleQuantities() const;

    // The origin and the cursor when they lie within `run`.
    std::optional<std::size_t> OriginIn(const tRunData& run) const;
    std::optional<std::size_t> CursorIn(const tRunData& run) const;
    // From the time origin (the run's first record without one) to the
    // cursor, whichever comes first; none when no record is inspected.
    std::optional<tIndexRange> InspectedStretch(const tRunData& run) const;
    // The same up to the run's last record while none is inspected; none
    // (first > last) for an empty run.
    tIndexRange Stretch(const tRunData& run) const;

    std::size_t StorageBytes() const;

private:
    std::optional<std::size_t> origin_;
    std::optional<std::size_t> cursor_;
    std::set<std::size_t> marks_;
    std::array<bool, kQuantityCount> visible_{};
};

}  // namespace vantrel
