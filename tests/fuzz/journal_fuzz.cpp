// Feeds arbitrary bytes to the run journal's reader twice: as they are, and
// with every line after a magic line sealed by its checksum, so that the
// fields behind the checksum are reached too. A journal that reads must
// come back the same once written out again: that is what recovery relies on.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Error.h"
#include "journal/Journal.h"

namespace {

using namespace vantrel;

bool same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool same(const tJournalRun& a, const tJournalRun& b) {
    if (!same(a.header.volumeCoefficient, b.header.volumeCoefficient) ||
        a.header.relative != b.header.relative || a.readings.size() != b.readings.size() ||
        a.transitions.size() != b.transitions.size() || a.marks != b.marks ||
        a.finished != b.finished) {
        return false;
    }
    for (std::size_t i = 0; i < a.readings.size(); ++i) {
        if (!same(a.readings[i].time, b.readings[i].time)) {
            return false;
        }
        for (int q = 0; q < kQuantityCount; ++q) {
            if (!same(a.readings[i].readings[q], b.readings[i].readings[q])) {
                return false;
            }
        }
    }
    for (std::size_t i = 0; i < a.transitions.size(); ++i) {
        if (!same(a.transitions[i].time, b.transitions[i].time) ||
            a.transitions[i].state != b.transitions[i].state) {
            return false;
        }
    }
    return true;
}

void check(std::string_view text) {
    tJournalRun run;
    try {
        run = parseJournal(text);
    } catch (const tError&) {
        return;
    }
    std::string written = encodeHeader(run.header);
    for (const tJournalReading& reading : run.readings) {
        written += encodeReading(reading.time, reading.readings);
    }
    for (const tJournalTransition& transition : run.transitions) {
        written += encodeTransition(transition.time, transition.state, transition.name);
    }
    for (int mark : run.marks) {
        written += encodeMark(mark);
    }
    if (run.finished) {
        written += encodeEnd(0);
    }
    const tJournalRun again = parseJournal(written);
    if (!same(run, again) || again.droppedLines != 0) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check(text);

    std::string sealed = std::string(kJournalMagic) + "\n";
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        sealed += journalLine(text.substr(pos, end - pos));
        pos = end + 1;
    }
    check(sealed);
    return 0;
}
