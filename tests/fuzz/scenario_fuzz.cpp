// Feeds arbitrary bytes as a scenario file (.exp) beside a fixed script that
// stays in its state, and runs a scenario that loads for a few readings. A
// file that cannot be a scenario must come back as tError; a loaded one
// must be one: a name, final states, states numbered in order.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"
#include "experiment/Experiment.h"
#include "fuzz/FuzzScratch.h"

namespace {

using vantrel::test::writeFile;

using namespace vantrel;

constexpr std::string_view kScript =
    "unit S; function NewState(State: Integer): Integer; begin Result := State; end; end.";

// The scenario's folder for the run, with its script; removed at exit.
class tWorkDirectory {
public:
    tWorkDirectory() { writeFile(scratch_.path() + "/lesson.tra", kScript); }
    tWorkDirectory(const tWorkDirectory&) = delete;
    tWorkDirectory& operator=(const tWorkDirectory&) = delete;

    std::string scenario() const { return scratch_.path() + "/lesson.exp"; }

private:
    vantrel::test::tFuzzScratch scratch_{"scenario-fuzz"};
};

const tWorkDirectory& workDirectory() {
    static const tWorkDirectory directory;
    return directory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = workDirectory().scenario();
    writeFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
    tExperiment experiment;
    try {
        experiment.Load(path);
    } catch (const tError&) {
        if (experiment.GetStatus() != esEmpty) {
            std::abort();
        }
        return 0;
    }
    if (experiment.GetStatus() != esLoaded || experiment.GetName().empty() ||
        experiment.FinalStates().empty() || experiment.StartState() == -1) {
        std::abort();
    }
    for (std::size_t i = 0; i < experiment.States().size(); ++i) {
        const tState& state = *experiment.States()[i];
        if (state.Number() != static_cast<int>(i) || state.Name().empty()) {
            std::abort();
        }
    }
    const tState* start = experiment.Start();
    if (start != experiment.FindState(experiment.StartState())) {
        std::abort();
    }
    const std::vector<float> values(2 * 7, 21.5f);
    for (int step = 0; step < 3; ++step) {
        try {
            if (experiment.Update(values)) {
                std::abort();  // the script stays where it is
            }
        } catch (const tError&) {
            if (start != nullptr) {
                std::abort();  // only a missing start state fails this script
            }
            break;
        }
    }
    experiment.Stop();
    return 0;
}
