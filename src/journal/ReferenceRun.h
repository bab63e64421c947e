#pragma once

#include <array>
#include <string>
#include <vector>

#include "device/Readings.h"

namespace vantrel {

// An earlier run shown faded behind the current one, for comparing two
// titrations or this year's heating curve with last year's. Readings in
// physical units (V in ml), as the export or the journal holds them.
struct tReferenceRun {
    std::string fileName;
    std::vector<double> times;  // seconds
    std::array<std::vector<double>, kQuantityCount> readings;
    std::array<bool, kQuantityCount> present{};  // quantities the file holds
};

// Reads an export file of this program (any language, "." or ",") or a run
// journal (".journal"). tError naming the file and what is wrong when it is
// neither or holds no reading.
tReferenceRun loadReferenceRun(const std::string& fileName);

}  // namespace vantrel
