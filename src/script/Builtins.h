#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "script/Code.h"
#include "script/Value.h"

namespace vantrel {

enum class tScriptBuiltin : std::uint8_t {
    AbsInt,
    AbsReal,
    SqrInt,
    SqrReal,
    Sqrt,
    Round,
    Trunc,
    Int,
    Frac,
    Exp,
    Ln,
    Sin,
    Cos,
    ArcTan,
    Power,
    MinInt,
    MinReal,
    MaxInt,
    MaxReal,
    Odd,
    IntToStr,
    FloatToStr,
    StrToInt,
    StrToFloat,
    Length,
    Copy,
    Pos,
    UpperCase,
    LowerCase,
    Trim,
};

// The functions every unit sees. Each one computes from nothing but its
// arguments: no files, clocks or anything else of the machine.
class tScriptBuiltins {
public:
    struct tInfo {
        std::string_view name;  // lower case
        tScriptBuiltin id;
        int count;
        std::array<tScriptType, 3> params;  // classes: Int64, Real, String...
        tScriptType result;
        // Abs, Sqr, Min and Max: this form when every argument is an integer,
        // the next entry (the real form) otherwise.
        bool integerForm;
    };

    // The entry for `lowerName` (the integer form of an overloaded one);
    // nullptr when there is none.
    static const tInfo* Find(std::string_view lowerName);
    static const tInfo& Get(tScriptBuiltin id);

    // Arguments arrive converted to the entry's parameter classes.
    // tScriptFault for an argument the function does not take.
    static void Run(tScriptBuiltin id, const tScriptValue* args, tScriptValue& out);
};

}  // namespace vantrel
