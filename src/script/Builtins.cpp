#include "script/Builtins.h"

#include <algorithm>
#include <cmath>

#include "script/Fault.h"

namespace vantrel {

namespace {

// Strings are UTF-8 inside the program; Length, Copy and Pos count
// characters, as a teacher writing 'Ёж' in a Windows editor expects.
bool startsCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

std::size_t charCount(std::string_view s) {
    return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), startsCharacter));
}

// Byte offset of character `chars` (the string's size past its end).
std::size_t byteOffset(std::string_view s, std::size_t chars) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (startsCharacter(s[i]) && chars-- == 0) {
            return i;
        }
    }
    return s.size();
}

using B = tScriptBuiltin;
using T = tScriptType;

constexpr T I = T::Int64;
constexpr T R = T::Real;
constexpr T S = T::String;
constexpr T N = T::None;

// In the order of tScriptBuiltin.
constexpr std::array<tScriptBuiltins::tInfo, 30> kTable{{
    {"abs", B::AbsInt, 1, {I, N, N}, I, true},
    {"abs", B::AbsReal, 1, {R, N, N}, R, false},
    {"sqr", B::SqrInt, 1, {I, N, N}, I, true},
    {"sqr", B::SqrReal, 1, {R, N, N}, R, false},
    {"sqrt", B::Sqrt, 1, {R, N, N}, R, false},
    {"round", B::Round, 1, {R, N, N}, I, false},
    {"trunc", B::Trunc, 1, {R, N, N}, I, false},
    {"int", B::Int, 1, {R, N, N}, R, false},
    {"frac", B::Frac, 1, {R, N, N}, R, false},
    {"exp", B::Exp, 1, {R, N, N}, R, false},
    {"ln", B::Ln, 1, {R, N, N}, R, false},
    {"sin", B::Sin, 1, {R, N, N}, R, false},
    {"cos", B::Cos, 1, {R, N, N}, R, false},
    {"arctan", B::ArcTan, 1, {R, N, N}, R, false},
    {"power", B::Power, 2, {R, R, N}, R, false},
    {"min", B::MinInt, 2, {I, I, N}, I, true},
    {"min", B::MinReal, 2, {R, R, N}, R, false},
    {"max", B::MaxInt, 2, {I, I, N}, I, true},
    {"max", B::MaxReal, 2, {R, R, N}, R, false},
    {"odd", B::Odd, 1, {I, N, N}, T::Boolean, false},
    {"inttostr", B::IntToStr, 1, {I, N, N}, S, false},
    {"floattostr", B::FloatToStr, 1, {R, N, N}, S, false},
    {"strtoint", B::StrToInt, 1, {S, N, N}, I, false},
    {"strtofloat", B::StrToFloat, 1, {S, N, N}, R, false},
    {"length", B::Length, 1, {S, N, N}, I, false},
    {"copy", B::Copy, 3, {S, I, I}, S, false},
    {"pos", B::Pos, 2, {S, S, N}, I, false},
    {"uppercase", B::UpperCase, 1, {S, N, N}, S, false},
    {"lowercase", B::LowerCase, 1, {S, N, N}, S, false},
    {"trim", B::Trim, 1, {S, N, N}, S, false},
}};

[[noreturn]] void badArgument(const char* function) {
    throw tScriptFault(std::string("invalid argument to ") + function);
}

void setString(tScriptValue& out, std::string text) {
    out.kind = tScriptValue::tKind::String;
    out.s = std::move(text);
}

}  // namespace

const tScriptBuiltins::tInfo* tScriptBuiltins::Find(std::string_view lowerName) {
    for (const tInfo& info : kTable) {
        if (info.name == lowerName) {
            return &info;
        }
    }
    return nullptr;
}

const tScriptBuiltins::tInfo& tScriptBuiltins::Get(tScriptBuiltin id) {
    return kTable[static_cast<std::size_t>(id)];
}

void tScriptBuiltins::Run(tScriptBuiltin id, const tScriptValue* args, tScriptValue& out) {
    const tScriptValue& x = args[0];
    switch (id) {
        case B::AbsInt:
            out.SetInteger(x.i < 0 ? scriptNegate(x.i) : x.i);
            return;
        case B::AbsReal:
            out.SetReal(std::fabs(x.r));
            return;
        case B::SqrInt:
            out.SetInteger(scriptMultiply(x.i, x.i));
            return;
        case B::SqrReal:
            out.SetReal(scriptCheckReal(x.r * x.r));
            return;
        case B::Sqrt:
            if (x.r < 0) {
                badArgument("Sqrt");
            }
            out.SetReal(scriptCheckReal(std::sqrt(x.r)));
            return;
        case B::Round:
            out.SetInteger(scriptRound(x.r));
            return;
        case B::Trunc:
            out.SetInteger(scriptTrunc(x.r));
            return;
        case B::Int:
            out.SetReal(std::trunc(x.r));
            return;
        case B::Frac:
            out.SetReal(scriptCheckReal(x.r - std::trunc(x.r)));
            return;
        case B::Exp:
            out.SetReal(scriptCheckReal(std::exp(x.r)));
            return;
        case B::Ln:
            if (!(x.r > 0)) {
                badArgument("Ln");
            }
            out.SetReal(scriptCheckReal(std::log(x.r)));
            return;
        case B::Sin:
            out.SetReal(scriptCheckReal(std::sin(x.r)));
            return;
        case B::Cos:
            out.SetReal(scriptCheckReal(std::cos(x.r)));
            return;
        case B::ArcTan:
            out.SetReal(scriptCheckReal(std::atan(x.r)));
            return;
        case B::Power:
            if (x.r == 0 && args[1].r < 0) {
                throw tScriptFault("division by zero");
            }
            out.SetReal(scriptCheckReal(std::pow(x.r, args[1].r)));
            return;
        case B::MinInt:
            out.SetInteger(std::min(x.i, args[1].i));
            return;
        case B::MinReal:
            out.SetReal(std::fmin(x.r, args[1].r));
            return;
        case B::MaxInt:
            out.SetInteger(std::max(x.i, args[1].i));
            return;
        case B::MaxReal:
            out.SetReal(std::fmax(x.r, args[1].r));
            return;
        case B::Odd:
            out.SetBoolean((x.i & 1) != 0);
            return;
        case B::IntToStr:
            setString(out, std::to_string(x.i));
            return;
        case B::FloatToStr:
            setString(out, scriptFormatReal(x.r));
            return;
        case B::StrToInt: {
            std::int64_t value = 0;
            if (!scriptParseInteger(x.s, value)) {
                throw tScriptFault(x.Describe() + " is not a valid integer value");
            }
            out.SetInteger(value);
            return;
        }
        case B::StrToFloat: {
            double value = 0;
            if (!scriptParseReal(x.s, value) || value - value != 0) {
                throw tScriptFault(x.Describe() + " is not a valid floating point value");
            }
            out.SetReal(value);
            return;
        }
        case B::Length:
            out.SetInteger(static_cast<std::int64_t>(charCount(x.s)));
            return;
        case B::Copy: {
            // Out-of-range positions and counts shrink to what the string has.
            const auto size = static_cast<std::int64_t>(charCount(x.s));
            const std::int64_t first = std::max<std::int64_t>(args[1].i, 1);
            std::int64_t count = std::max<std::int64_t>(args[2].i, 0);
            if (first > size) {
                count = 0;
            } else {
                count = std::min(count, size - first + 1);
            }
            std::string part;
            if (count > 0) {
                const std::size_t from = byteOffset(x.s, static_cast<std::size_t>(first - 1));
                const std::size_t to = byteOffset(x.s, static_cast<std::size_t>(first - 1 + count));
                part = x.s.substr(from, to - from);
            }
            setString(out, std::move(part));
            return;
        }
        case B::Pos: {
            const std::size_t at = x.s.empty() ? std::string::npos : args[1].s.find(x.s);
            out.SetInteger(at == std::string::npos
                               ? 0
                               : static_cast<std::int64_t>(charCount(args[1].s.substr(0, at))) + 1);
            return;
        }
        case B::UpperCase:
        case B::LowerCase: {
            std::string text = x.s;
            for (char& c : text) {
                if (id == B::UpperCase && c >= 'a' && c <= 'z') {
                    c = static_cast<char>(c - 'a' + 'A');
                } else if (id == B::LowerCase && c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c - 'A' + 'a');
                }
            }
            setString(out, std::move(text));
            return;
        }
        case B::Trim: {
            // As the Pascal library trims: blanks and control characters.
            std::size_t first = 0;
            std::size_t last = x.s.size();
            while (first < last && static_cast<unsigned char>(x.s[first]) <= ' ') {
                ++first;
            }
            while (last > first && static_cast<unsigned char>(x.s[last - 1]) <= ' ') {
                --last;
            }
            setString(out, x.s.substr(first, last - first));
            return;
        }
    }
}

}  // namespace vantrel
