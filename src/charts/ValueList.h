#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

class tRunData;
class tSelection;

struct tValueRow {
    std::string key;
    std::string value;
};

// Keys of the value-list rows that point inspection fills. They are looked
// up by text, so a language file that renames them gets them appended.
inline constexpr std::string_view kOriginTimeKey = "t0, с";
inline constexpr std::string_view kCursorTimeKey = "t, с";
inline constexpr std::string_view kDeltaTimeKey = "dt, с";

// The value list beside the charts: a row per quantity with its reading at
// one record, as shown and with the quantity's decimals, then the times of
// the time origin and the inspected point and the time between them.
class tValueList {
public:
    tValueList();

    const std::vector<tValueRow>& Rows() const { return rows_; }
    // Every quantity row from record `p` of `run` (p < run.Count()), shown
    // curve or not: a list that mixes records tells nothing true.
    void ShowRecord(const tRunData& run, std::size_t p);
    // The time rows: the origin's time (0 without one), the cursor's and
    // their difference. False, and nothing changed, while no record of
    // `run` is inspected.
    bool ShowInspection(const tRunData& run, const tSelection& selection);
    // New key texts from a language file; values stay with their rows. The
    // seven quantity rows always exist (found by position).
    void SetKeys(const std::vector<std::string>& keys);

private:
    void SetValueByKey(std::string_view key, std::string value);

    std::vector<tValueRow> rows_;
    // Keys of the rows that point inspection fills (t0, t and dt).
    std::array<std::string, 3> timeKeys_{std::string(kOriginTimeKey), std::string(kCursorTimeKey),
                                         std::string(kDeltaTimeKey)};
};

}  // namespace vantrel
