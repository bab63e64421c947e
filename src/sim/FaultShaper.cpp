#include "sim/FaultShaper.h"

#include <algorithm>

namespace vantrel::sim {

tFaultShaper::tFaultShaper(const tFaults& faults) : random_(faults.seed) {
    SetFaults(faults);
}

void tFaultShaper::SetFaults(const tFaults& faults) {
    faults_ = faults;
    strayLeft_ = faults.strayByteCount;
}

std::string tFaultShaper::IdentificationReply(std::string_view identification) {
    if (faults_.ignoreIdentify) {
        return {};
    }
    std::string reply;
    if (faults_.strayByteBeforeId && strayLeft_ > 0) {
        --strayLeft_;
        reply += static_cast<char>(faults_.strayByte);
    }
    reply.append(identification);
    return reply;
}

std::string tFaultShaper::QueryReply(const std::string& reply) const {
    return faults_.ignoreQuery ? std::string() : reply;
}

bool tFaultShaper::HangUpDue(int recordsSent) const {
    return faults_.hangUpAfterRecords >= 0 && recordsSent >= faults_.hangUpAfterRecords;
}

tFaultShaper::tOutput tFaultShaper::Shape(const std::string& line) {
    ++recordSlots_;
    tOutput output;
    if (faults_.silent ||
        (faults_.silentAfterRecords >= 0 && recordSlots_ > faults_.silentAfterRecords)) {
        output.kind = tOutput::tKind::Nothing;
        return output;
    }
    if (faults_.garbageEvery > 0 && recordSlots_ % faults_.garbageEvery == 0) {
        output.kind = tOutput::tKind::Garbage;
        output.bytes = Garbage(line);
    } else {
        output.bytes = line;
    }
    output.bytes += "\r\n";
    if (faults_.splitRecords) {
        output.split = SplitPlan(output.bytes.size());
    }
    return output;
}

std::vector<tFaultShaper::tPiece> tFaultShaper::SplitPlan(std::size_t size) {
    const int maxPause = std::max(faults_.splitPauseMs, 0);
    std::uniform_int_distribution<int> cuts(1, 5);
    std::uniform_int_distribution<int> pause(std::min(1, maxPause), maxPause);
    std::vector<tPiece> pieces;
    std::size_t pos = 0;
    for (int piecesLeft = cuts(random_); pos < size; --piecesLeft) {
        std::size_t length = size - pos;
        if (piecesLeft > 1 && length > 1) {
            length = std::uniform_int_distribution<std::size_t>(1, length - 1)(random_);
        }
        pos += length;
        pieces.push_back({length, pos < size ? pause(random_) : 0});
    }
    return pieces;
}

std::string tFaultShaper::Garbage(const std::string& record) {
    switch (std::uniform_int_distribution<int>(0, 3)(random_)) {
        case 0: {  // a decimal comma, as from a wrongly configured station
            std::string line = record;
            std::replace(line.begin(), line.end(), '.', ',');
            return line;
        }
        case 1: {  // cut before the time value
            const std::size_t tt = record.find("TT:");
            const std::size_t end = tt == std::string::npos ? record.size() : tt + 3;
            return record.substr(0, std::uniform_int_distribution<std::size_t>(0, end)(random_));
        }
        case 2: {  // line noise
            std::string line(std::uniform_int_distribution<std::size_t>(1, 80)(random_), ' ');
            std::uniform_int_distribution<int> byte(0, 255);
            for (char& c : line) {
                do {
                    c = static_cast<char>(byte(random_));
                } while (c == '\r' || c == '\n');
            }
            return line;
        }
        default: {
            std::string line(std::uniform_int_distribution<std::size_t>(1, 60)(random_), ' ');
            std::uniform_int_distribution<int> printable(0x20, 0x7E);
            for (char& c : line) {
                c = static_cast<char>(printable(random_));
            }
            return line;
        }
    }
}

}  // namespace vantrel::sim
