#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace vantrel {

// One argument of a script call: an integer, a real or nothing at all.
struct tScriptArg {
    enum class tKind { Empty, Integer, Real };
    tKind kind = tKind::Empty;
    double value = 0;

    static tScriptArg Integer(int v) { return {tKind::Integer, static_cast<double>(v)}; }
    static tScriptArg Real(double v) { return {tKind::Real, v}; }
};

// A compiled scenario script, as the experiment uses it. The interpreter
// behind it is sandboxed: it sees its arguments and nothing of the program.
class iScriptProgram {
public:
    virtual ~iScriptProgram() = default;

    virtual void SetSource(std::string source) = 0;
    // tError with the interpreter's message when the source does not compile.
    virtual void Compile() = 0;
    // Calls `function` with `args` and casts its result to a 32-bit integer.
    // tError when the function is missing, fails, or its result does not cast.
    virtual int Call(std::string_view function, std::span<const tScriptArg> args) = 0;
};

// The program's own interpreter (tScriptProgram).
std::unique_ptr<iScriptProgram> makeScriptProgram();

}  // namespace vantrel
