#pragma once

// The compiled form of a unit: per routine a flat list of operations on the
// numbered places ("registers") of its frame. Names are gone; every
// variable is a register, a global's index or a reference.

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "script/Lexer.h"
#include "script/Value.h"

namespace vantrel {

// Declared types. Integers compute in 64 bits and are checked against
// their type's range when stored, but for these: + - * div and negation of
// Integers (Byte and Word widen to Integer) compute in 32 bits, overflow
// checked, and not, shl and shr work in their type's own width. Single is
// rounded to single precision.
enum class tScriptType : std::uint8_t {
    Byte,
    Word,
    Integer,
    Cardinal,
    Int64,
    Single,
    Real,
    Boolean,
    String,
    Variant,
    None,  // a procedure's result
};

// Int64 stands for every integer type, Real for both real types.
inline tScriptType scriptClassOf(tScriptType type);
// The name messages use; classes are named "Integer" and "Real".
const char* scriptTypeName(tScriptType type);
// Lower-case names as declarations spell them; None when unknown.
tScriptType scriptTypeFromName(std::string_view lowerName);
inline tScriptValue::tKind scriptKindOf(tScriptType type);
// Narrow integer types: their bounds, false for the others.
inline bool scriptTypeRange(tScriptType type, std::int64_t& low, std::int64_t& high);
// How not, shl and shr see an integer type: its width in bits and sign.
inline int scriptTypeBits(tScriptType type);
inline bool scriptTypeSigned(tScriptType type);

enum class tScriptOpCode : std::uint8_t {
    MoveScalar,     // a := b (Integer, Real, Boolean)
    MoveString,     // a := b
    MoveValue,      // a := b (any kind)
    LoadConst,      // a := constants[b]
    LoadGlobal,     // a := globals[b]
    StoreGlobal,    // globals[a] := b
    LoadRef,        // a := the variable b refers to
    StoreRef,       // the variable a refers to := b
    MakeRef,        // a := reference to register b
    MakeGlobalRef,  // a := reference to globals[b]
    Init,           // a := the zero of type `sub`
    AddInt,         // a := b + c, and so on
    SubInt,
    MulInt,
    DivInt,
    ModInt,
    AndInt,
    OrInt,
    XorInt,
    ShlInt,  // in the width of integer type `sub`, as NotInt
    ShrInt,
    NegInt,     // a := -b
    NotInt,     // a := not b in the width of integer type `sub`
    AddIntImm,  // a := b + c (c itself)
    AddInt32,   // a := b + c as Integers: a fault when it leaves 32 bits
    SubInt32,
    MulInt32,
    DivInt32,
    NegInt32,
    AddReal,
    SubReal,
    MulReal,
    DivReal,
    NegReal,
    IntToReal,  // a := b
    NotBool,    // a := not b
    XorBool,
    Concat,      // a := b + c
    CompareInt,  // a := b `sub` c
    CompareReal,
    CompareString,
    CompareBool,
    CompareValue,
    JumpInt,  // when (b `sub` c) differs from the negate bit of sub: go to a
    JumpReal,
    JumpString,
    Jump,        // go to a
    JumpIfTrue,  // if b: go to a
    JumpIfFalse,
    Case,       // go to the target of the range of cases[b] holding a
    ForUp,      // if a < b: a := a + 1, go to c
    ForDown,    // if a > b: a := a - 1, go to c
    Binary,     // a := b `sub` c on any kinds
    Unary,      // a := `sub` b
    ToInteger,  // a := b converted
    ToReal,
    ToBoolean,
    ToString,
    CheckRange,   // a in the range of type `sub`, else a fault
    RoundSingle,  // a := a in single precision
    Builtin,      // a := built-in c of the arguments in b, b + 1...
    Call,         // call routine b with its frame at a (result a, arguments a + 1...)
    Return,
};

// The jump's condition is inverted: "jump unless".
constexpr std::uint8_t kScriptJumpUnless = 0x80;

struct tScriptOp {
    tScriptOpCode code = tScriptOpCode::Return;
    std::uint8_t sub = 0;
    std::int32_t a = 0;
    std::int32_t b = 0;
    std::int32_t c = 0;
};

struct tScriptCaseTable {
    struct tRange {
        std::int64_t low = 0;
        std::int64_t high = 0;
        std::int32_t target = 0;
    };
    std::vector<tRange> ranges;  // sorted, without overlaps
    std::int32_t otherwise = 0;
};

struct tScriptParamInfo {
    std::string name;
    tScriptType type = tScriptType::Variant;
    bool byRef = false;
};

struct tScriptFunction {
    std::string name;  // empty for the initialization part
    tScriptPos pos;
    std::vector<tScriptParamInfo> params;    // registers 1, 2...
    tScriptType result = tScriptType::None;  // register 0
    std::int32_t frameSize = 1;
    std::vector<tScriptOp> code;
    std::vector<tScriptPos> positions;  // of each operation, for messages
    std::vector<tScriptValue> constants;
    std::vector<tScriptCaseTable> cases;
};

struct tScriptCode {
    std::string unitName;
    std::vector<tScriptFunction> functions;
    std::vector<tScriptType> globalTypes;
    std::vector<tScriptValue> globalStart;  // each global's value after a compile
    int initialization = -1;                // function run once after the compile

    // The routine callable from the program with this name (letter case
    // ignored); -1 when there is none.
    int FindRoutine(std::string_view name) const;
};

// Inline: the machine asks these for every argument and variable.
inline tScriptType scriptClassOf(tScriptType type) {
    switch (type) {
        case tScriptType::Byte:
        case tScriptType::Word:
        case tScriptType::Integer:
        case tScriptType::Cardinal:
        case tScriptType::Int64:
            return tScriptType::Int64;
        case tScriptType::Single:
        case tScriptType::Real:
            return tScriptType::Real;
        default:
            return type;
    }
}

inline tScriptValue::tKind scriptKindOf(tScriptType type) {
    switch (scriptClassOf(type)) {
        case tScriptType::Int64:
            return tScriptValue::tKind::Integer;
        case tScriptType::Real:
            return tScriptValue::tKind::Real;
        case tScriptType::Boolean:
            return tScriptValue::tKind::Boolean;
        case tScriptType::String:
            return tScriptValue::tKind::String;
        default:
            return tScriptValue::tKind::Empty;
    }
}

inline bool scriptTypeRange(tScriptType type, std::int64_t& low, std::int64_t& high) {
    switch (type) {
        case tScriptType::Byte:
            low = 0;
            high = 255;
            return true;
        case tScriptType::Word:
            low = 0;
            high = 65535;
            return true;
        case tScriptType::Integer:
            low = std::numeric_limits<std::int32_t>::min();
            high = std::numeric_limits<std::int32_t>::max();
            return true;
        case tScriptType::Cardinal:
            low = 0;
            high = std::numeric_limits<std::uint32_t>::max();
            return true;
        default:
            return false;
    }
}

inline int scriptTypeBits(tScriptType type) {
    switch (type) {
        case tScriptType::Byte:
            return 8;
        case tScriptType::Word:
            return 16;
        case tScriptType::Integer:
        case tScriptType::Cardinal:
            return 32;
        default:
            return 64;
    }
}

inline bool scriptTypeSigned(tScriptType type) {
    return type != tScriptType::Byte && type != tScriptType::Word && type != tScriptType::Cardinal;
}

}  // namespace vantrel
