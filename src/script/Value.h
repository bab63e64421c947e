#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/Operators.h"

namespace vantrel {

// One value of a script. A variable of a declared type always holds that
// type's kind; a Variant holds any kind. Only the field of the kind is
// meaningful (separate fields rather than a union keep copies well defined).
struct tScriptValue {
    enum class tKind : std::uint8_t { Empty, Integer, Real, Boolean, String };

    // Longest string a script may build.
    static constexpr std::size_t kMaxStringLength = std::size_t{1} << 20;

    tKind kind = tKind::Empty;
    bool b = false;
    std::int64_t i = 0;
    double r = 0;
    std::string s;

    static tScriptValue Integer(std::int64_t v);
    static tScriptValue Real(double v);
    static tScriptValue Boolean(bool v);
    static tScriptValue String(std::string v);

    void SetInteger(std::int64_t v) {
        kind = tKind::Integer;
        i = v;
    }
    void SetReal(double v) {
        kind = tKind::Real;
        r = v;
    }
    void SetBoolean(bool v) {
        kind = tKind::Boolean;
        b = v;
    }

    // Conversions as a Variant converts; tScriptFault when one cannot.
    // Reals round to the nearest integer (ties to even), booleans are -1 and
    // 0, strings must spell a number, empty is 0, '' or False.
    std::int64_t ToInteger() const;
    double ToReal() const;
    bool ToBoolean() const;
    std::string ToString() const;

    // How messages show the value: 12, 1.5, True, 'text', empty.
    std::string Describe() const;
};

const char* scriptKindName(tScriptValue::tKind kind);

// Integer arithmetic of the language: 64-bit, tScriptFault on overflow.
std::int64_t scriptAdd(std::int64_t a, std::int64_t b);
std::int64_t scriptSubtract(std::int64_t a, std::int64_t b);
std::int64_t scriptMultiply(std::int64_t a, std::int64_t b);
std::int64_t scriptNegate(std::int64_t a);
// A result of Integers: tScriptFault when it leaves 32 bits.
inline std::int64_t scriptInteger32(std::int64_t a);
[[noreturn]] void scriptFailOverflow();
std::int64_t scriptIntDiv(std::int64_t a, std::int64_t b);
std::int64_t scriptMod(std::int64_t a, std::int64_t b);

// not, shl and shr on a value of an integer type `bits` wide (8, 16, 32 or
// 64; shifts take 32 or 64), signed or not: computed in that width, the
// count taken modulo it, and read back as a value of the type. A value the
// type cannot hold (a wider intermediate result) is taken in 64 bits.
std::int64_t scriptNot(std::int64_t a, int bits, bool isSigned);
std::int64_t scriptShl(std::int64_t a, std::int64_t count, int bits, bool isSigned);
std::int64_t scriptShr(std::int64_t a, std::int64_t count, int bits, bool isSigned);

// A real result: tScriptFault when it overflowed or is not a number.
inline double scriptCheckReal(double v);
double scriptDivide(double a, double b);

// The value in single precision; tScriptFault beyond its range.
double scriptToSingle(double v);

// Round (ties to even) and Trunc: tScriptFault outside the Int64 range.
std::int64_t scriptRound(double v);
std::int64_t scriptTrunc(double v);

// FloatToStr: up to 15 significant digits, "." as decimal separator, an
// exponent ("1.5E20", "1E-7") only for very large or small values.
std::string scriptFormatReal(double v);
// StrToInt and StrToFloat without the exception: false when `text` is not
// a number (blanks around it are allowed). A real too small for a double
// reads as zero; one too large is not a number.
bool scriptParseInteger(std::string_view text, std::int64_t& value);
bool scriptParseReal(std::string_view text, double& value);

// Operators on Variants (any kinds); `out` may be one of the operands.
void scriptApply(tScriptOperator op, const tScriptValue& a, const tScriptValue& b,
                 tScriptValue& out);
void scriptApplyUnary(tScriptOperator op, const tScriptValue& a, tScriptValue& out);
bool scriptCompare(tScriptOperator op, const tScriptValue& a, const tScriptValue& b);

void scriptFailNotFinite(double v);

inline std::int64_t scriptInteger32(std::int64_t a) {
    if (a < -2147483648LL || a > 2147483647LL) {
        scriptFailOverflow();
    }
    return a;
}

inline double scriptCheckReal(double v) {
    // v - v is 0 for finite values only: one test for both infinities and NaN.
    if (v - v != 0) {
        scriptFailNotFinite(v);
    }
    return v;
}

}  // namespace vantrel
