// Feeds arbitrary bytes as an export file to the reader the scenario replay
// uses. What it accepts must be a run the charts can take: distinct
// quantities, finite times and readings, zero for a quantity the file lacks.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/Error.h"
#include "run/ExportReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrel;
    tExportedRun run;
    try {
        run = readExportText(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const tError&) {
        return 0;
    }
    std::vector<int> sorted = run.quantities;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end() ||
        (!sorted.empty() && (sorted.front() < 0 || sorted.back() >= kQuantityCount))) {
        std::abort();
    }
    for (const tExportRow& row : run.rows) {
        if (!std::isfinite(row.time) || row.timeText.empty()) {
            std::abort();
        }
        for (int q = 0; q < kQuantityCount; ++q) {
            const bool inFile = std::binary_search(sorted.begin(), sorted.end(), q);
            if (!std::isfinite(row.readings[q]) || (!inFile && row.readings[q] != 0)) {
                std::abort();
            }
        }
    }
    return 0;
}
