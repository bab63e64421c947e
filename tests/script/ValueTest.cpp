// Variants across kinds, and the number texts of FloatToStr, StrToInt and
// StrToFloat at their edges.

#include "script/Value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "script/Fault.h"

namespace vantrel {
namespace {

using V = tScriptValue;
using O = tScriptOperator;

std::string applied(O op, const V& a, const V& b) {
    try {
        V out;
        scriptApply(op, a, b, out);
        return std::string(scriptKindName(out.kind)) + " " + out.Describe();
    } catch (const tScriptFault& fault) {
        return fault.what();
    }
}

TEST(ValueTest, VariantOperatorsMixKindsAsPascalDoes) {
    struct tCase {
        O op;
        V a;
        V b;
        const char* expected;
    };
    const tCase cases[] = {
        {O::Add, V(), V(), "Integer 0"},
        {O::Add, V(), V::Integer(2), "Integer 2"},
        {O::Add, V(), V::String("a"), "String 'a'"},
        {O::Add, V::String("1"), V::Integer(2), "Integer 3"},
        {O::Add, V::String("1.5"), V::Integer(2), "Real 3.5"},
        {O::Add, V::String("x"), V::Integer(2), "cannot convert 'x' to a number"},
        {O::Add, V::Boolean(true), V::Integer(1), "Integer 0"},
        {O::Multiply, V::Integer(3), V::Real(0.5), "Real 1.5"},
        {O::Divide, V::Integer(3), V::Integer(2), "Real 1.5"},
        {O::Divide, V::Integer(3), V(), "division by zero"},
        {O::IntDiv, V::Real(7.5), V::Integer(2), "Integer 4"},
        {O::Mod, V::Integer(7), V::String("4"), "Integer 3"},
        {O::And, V::Boolean(true), V(), "Boolean False"},
        {O::Or, V::Boolean(false), V::Boolean(true), "Boolean True"},
        {O::And, V::Integer(6), V::Integer(3), "Integer 2"},
        {O::Xor, V::Boolean(true), V::Integer(1), "Integer -2"},
        {O::Less, V::String("abc"), V::String("abd"), "Boolean True"},
        {O::Greater, V::String("10"), V::Integer(9), "Boolean True"},
        {O::Equal, V(), V::Integer(0), "Boolean True"},
        {O::Equal, V(), V::String(""), "Boolean True"},
        {O::Less, V::Boolean(false), V::Boolean(true), "Boolean True"},
        {O::Subtract, V::Integer(std::numeric_limits<std::int64_t>::min()), V::Integer(1),
         "integer overflow"},
        {O::Multiply, V::Real(1e300), V::Real(1e300), "floating point overflow"},
    };
    for (const tCase& c : cases) {
        EXPECT_EQ(applied(c.op, c.a, c.b), c.expected)
            << c.a.Describe() << " " << static_cast<int>(c.op) << " " << c.b.Describe();
    }
    // The result may be one of the operands.
    V s = V::String("ab");
    scriptApply(O::Add, s, s, s);
    EXPECT_EQ(s.s, "abab");
    // Text left behind by an earlier string is not read as the value.
    V stale = V::String("stale");
    stale.kind = V::tKind::Empty;
    EXPECT_EQ(applied(O::Add, stale, V::String("x")), "String 'x'");
}

TEST(ValueTest, NumbersReadAndWrittenAsTheLibraryDoes) {
    struct tFormat {
        double value;
        const char* text;
    };
    const tFormat formats[] = {
        {0, "0"},
        {-0.0, "0"},
        {100, "100"},
        {123456789012345, "123456789012345"},
        {1234567890123456, "1.23456789012346E15"},
        {0.1 + 0.2, "0.3"},
        {-0.000012, "-0.000012"},
        {0.0000012, "1.2E-6"},
        {1e-300, "1E-300"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {std::nan(""), "NAN"},
    };
    for (const tFormat& f : formats) {
        EXPECT_EQ(scriptFormatReal(f.value), f.text) << f.text;
    }

    struct tParse {
        const char* text;
        bool ok;
        std::int64_t value;
    };
    const tParse integers[] = {
        {"42", true, 42},
        {"  -17\t", true, -17},
        {"+5", true, 5},
        {"$7fffffffffffffff", true, std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", true, std::numeric_limits<std::int64_t>::min()},
        {"9223372036854775808", false, 0},
        {"--1", false, 0},
        {"1 2", false, 0},
        {"", false, 0},
        {"$", false, 0},
        {"1.0", false, 0},
    };
    for (const tParse& p : integers) {
        std::int64_t value = 0;
        EXPECT_EQ(scriptParseInteger(p.text, value), p.ok) << p.text;
        if (p.ok) {
            EXPECT_EQ(value, p.value) << p.text;
        }
    }
    struct tParseReal {
        const char* text;
        bool ok;
        double value;
    };
    const tParseReal reals[] = {
        {" -1.25e2 ", true, -125},
        {"+.5", true, 0.5},
        {"1e-310", true, 1e-310},
        // Below the smallest double: zero, keeping the sign.
        {"1e-400", true, 0},
        {"-0.0001e-400", true, -0.0},
        {"2e-324", true, 0},
        {"1e400", false, 0},
        {"100000e305", false, 0},
        {"+-1", false, 0},
        {"-+1", false, 0},
        {"--1", false, 0},
        {"1e+-5", false, 0},
        {"inf", false, 0},
        {"nan", false, 0},
        {"1e", false, 0},
        {"0x10", false, 0},
        {"1.5.5", false, 0},
        {"", false, 0},
        {" ", false, 0},
        {"-", false, 0},
    };
    for (const tParseReal& p : reals) {
        double value = 42;
        EXPECT_EQ(scriptParseReal(p.text, value), p.ok) << p.text;
        if (p.ok) {
            EXPECT_EQ(value, p.value) << p.text;
            EXPECT_EQ(std::signbit(value), std::signbit(p.value)) << p.text;
        }
    }
}

TEST(ValueTest, RoundAndTruncStayInsideInt64) {
    EXPECT_EQ(scriptRound(-0.5), 0);
    EXPECT_EQ(scriptRound(-1.5), -2);
    EXPECT_EQ(scriptRound(0.49999999999999994), 0);
    EXPECT_EQ(scriptRound(4503599627370497.0), 4503599627370497);
    EXPECT_EQ(scriptRound(-9223372036854775808.0), std::numeric_limits<std::int64_t>::min());
    EXPECT_THROW(scriptRound(9223372036854775808.0), tScriptFault);
    EXPECT_THROW(scriptRound(std::nan("")), tScriptFault);
    EXPECT_EQ(scriptTrunc(-2.9), -2);
    EXPECT_THROW(scriptTrunc(-1e19), tScriptFault);
}

}  // namespace
}  // namespace vantrel
