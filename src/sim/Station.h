#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim/Chemistry.h"
#include "sim/Simulator.h"

namespace vantrel::sim {

enum class tCommandKind { identify, start, stop, period, query, actuator, ignored };

// The station's own logic, apart from the line: what each command does, the
// actuators, the record schedule and the records themselves. Time is the
// station's clock in milliseconds, passed in by the caller, so that all of it
// runs the same way in a test as on the pseudo-terminal.
class tStation {
public:
    static constexpr int kActuatorCount = 5;
    static constexpr std::string_view kIds[kActuatorCount] = {"H0", "M0", "D1", "D2", "D3"};
    static constexpr std::string_view kIdentification = "A-VANTREL\r\n";
    static constexpr int kMinPeriodMs = 200;
    static constexpr int kMaxPeriodMs = 60000;

    tStation(std::uint32_t seed = 1, bool noise = true, int periodMs = 200);

    // Carries out one received line (line end removed) at station time nowMs
    // and says what it was; a line the station does not understand changes nothing.
    tCommandKind Handle(std::string_view line, double nowMs);

    bool Measuring() const { return measuring_; }
    int PeriodMs() const { return periodMs_; }
    void Actuator(int index, int& state, int& speed) const;
    std::string QueryReply() const;  // the actuator groups, CR LF included

    // Station time at which the next record falls due (meaningful while measuring).
    double NextRecordMs() const { return startMs_ + nextTt_; }
    // Measures at the due time and moves the schedule on by one period.
    tSentRecord NextRecord();
    // Drops the records that fell due before nowMs less one period, so that a
    // stalled line does not end in a burst of stale records.
    void SkipLateRecords(double nowMs);
    void Halt() { measuring_ = false; }

    const tChemistry& Chemistry() const { return chemistry_; }

private:
    bool SetActuator(std::string_view line);
    void AdvanceTo(double nowMs);
    tDrive Drive() const;

    tChemistry chemistry_;
    double modelMs_ = 0;  // station time the chemistry has reached
    bool measuring_ = false;
    int periodMs_;
    double startMs_ = 0;  // station time of the start command
    double lastTt_ = 0;   // TT of the newest record
    double nextTt_ = 0;
    int state_[kActuatorCount] = {};
    int speed_[kActuatorCount] = {};
};

}  // namespace vantrel::sim
