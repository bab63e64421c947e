#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/Readings.h"

namespace vantrel {

// A scenario's step during the run: the time and the state it entered.
struct tTransition {
    double time = 0.0;
    std::string state;
    // Not the scenario's step but the program's: something switched off
    // or refused for safety, `state` saying what.
    bool intervention = false;
};

// What a run was, beside its readings: for the workbook's and the report's
// title lines.
struct tRunInfo {
    std::string started;     // "2026-12-09 10:15:00", local time; empty: not known
    std::string experiment;  // the scenario's experiment name; empty: no scenario
    std::string scenario;    // the scenario file's name, without its folder
};

// One run as the station measured it: the times in seconds, the seven
// readings of every record in physical units, the relative bases and the
// scenario's steps. Everything that reads a run (charts, value list, export,
// statistics, fits, recorder) asks here, so that no two of them disagree
// about a value. What the user chose on it (marks, cursor) is its tSelection.
//
// Readings are kept in single precision, as the station sends them; times
// in double. Records stay in ascending time: a record older than the newest
// one is put in place, after records of equal time.
class tRunData {
public:
    // A new, empty run. A quantity relative in it counts from its first
    // reading; later changes of the choice wait for the next run.
    void Start(const std::array<bool, kQuantityCount>& relative);
    // Set after Start; Start forgets it.
    void SetInfo(tRunInfo info) { info_ = std::move(info); }
    const tRunInfo& Info() const { return info_; }

    // Adds a record and returns its index (O(1) amortised when in time order).
    std::size_t Add(double t, const tReadingValues& readings);
    void AddTransition(double t, std::string state, bool intervention = false);

    std::size_t Count() const { return time_.size(); }
    bool Empty() const { return time_.empty(); }
    // Unchecked, like vector indexing: p < Count(), 0 <= i < kQuantityCount.
    double Time(std::size_t p) const { return time_[p]; }
    // The reading as the station gave it.
    double Measured(int i, std::size_t p) const { return measured_[i][p]; }
    // The reading as charts, value list, export and scenario show it: for a
    // quantity relative in this run, its difference from the first reading.
    float Shown(int i, std::size_t p) const;

    bool Relative(int i) const { return relative_[i]; }
    // The first reading of a quantity relative in this run, else 0.
    double RelativeBase(int i) const { return base_[i]; }

    // The record nearest to time T: on a tie the lower index, so of records
    // of one time the first. None when the run is empty or T is no number.
    std::optional<std::size_t> NearestPoint(double T) const;
    // The record whose shown value of quantity i (the dependence chart's
    // abscissa) is nearest to `value`, the lower index on a tie. None when
    // `value` is not finite or no record has a number there.
    std::optional<std::size_t> NearestToValue(int i, double value) const;

    // In time order (the order they were reached in).
    const std::vector<tTransition>& Transitions() const { return transitions_; }

    std::size_t StorageBytes() const;

private:
    std::vector<double> time_;
    std::array<std::vector<float>, kQuantityCount> measured_;
    std::array<bool, kQuantityCount> relative_{};
    std::array<double, kQuantityCount> base_{};
    std::vector<tTransition> transitions_;
    tRunInfo info_;
};

}  // namespace vantrel
