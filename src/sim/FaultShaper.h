#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "sim/Simulator.h"

namespace vantrel::sim {

// What the faults make of the station's output before it reaches the line:
// stray bytes in front of the identification reply, replies left out or
// delayed, records replaced by garbage or swallowed (silence), records cut
// into pieces, and the hang-up after a number of records. Holds the faults
// and their random source; not thread-safe (the simulator calls it under
// its lock).
class tFaultShaper {
public:
    // One piece of a record written in pieces, and the pause after it.
    struct tPiece {
        std::size_t length = 0;
        int pauseMs = 0;
    };
    // What goes on the line in the place of one record.
    struct tOutput {
        enum class tKind { Record, Garbage, Nothing };
        tKind kind = tKind::Record;
        std::string bytes;          // with CR LF; empty for Nothing
        std::vector<tPiece> split;  // empty: written at once
    };

    explicit tFaultShaper(const tFaults& faults);

    // New faults; the count of stray bytes starts again, the random source
    // keeps its course.
    void SetFaults(const tFaults& faults);
    const tFaults& Faults() const { return faults_; }

    // The reply to "I" (empty: left unanswered), stray byte included.
    std::string IdentificationReply(std::string_view identification);
    // The reply to "?" as the station gives it, or empty.
    std::string QueryReply(const std::string& reply) const;
    int ReplyDelayMs() const { return faults_.replyDelayMs; }

    // The port goes away before the record after `recordsSent` records.
    bool HangUpDue(int recordsSent) const;
    // The record `line` (without CR LF) as it goes on the line.
    tOutput Shape(const std::string& line);

private:
    std::string Garbage(const std::string& record);
    std::vector<tPiece> SplitPlan(std::size_t size);

    tFaults faults_;
    int strayLeft_ = 0;
    long recordSlots_ = 0;
    std::mt19937 random_;
};

}  // namespace vantrel::sim
