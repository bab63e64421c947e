// Feeds arbitrary bytes to the script interpreter as a unit's source and,
// when it compiles, calls each of its routines twice (globals live on) with
// the values the experiment passes. Every fault must come back as tError:
// no crash, no hang, no other exception, nothing a sanitizer objects to.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Error.h"
#include "script/ScriptProgram.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrel;
    tScriptProgram program;
    // Small limits keep every input fast; the limits themselves are what
    // is being tried.
    program.SetStepBudget(200'000);
    program.SetCallDepthLimit(200);
    program.SetSource(std::string(reinterpret_cast<const char*>(data), size));
    try {
        program.Compile();
    } catch (const tError& e) {
        if (e.what()[0] == '\0') {
            std::abort();
        }
        return 0;
    }
    std::vector<tScriptArg> args(17);
    args[0] = tScriptArg::Integer(static_cast<int>(size % 7));
    for (std::size_t k = 1; k < 15; ++k) {
        args[k] = tScriptArg::Real(static_cast<double>(k) * 10.5 - 40);
    }
    for (const std::string& routine : program.Routines()) {
        for (int round = 0; round < 2; ++round) {
            try {
                program.Call(routine, args);
            } catch (const tError& e) {
                if (e.what()[0] == '\0') {
                    std::abort();
                }
            }
        }
    }
    return 0;
}
