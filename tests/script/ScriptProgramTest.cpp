// The interpreter as the experiment and the teachers' units use it: small
// programs with their expected results or messages, grouped by feature.

#include "script/ScriptProgram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/Error.h"

namespace vantrel {
namespace {

// What a call gave: its result as messages show values, or the message of
// the error (compile or run).
std::string outcome(tScriptProgram& program, const std::string& source,
                    const std::vector<tScriptValue>& args = {}, const std::string& function = "F") {
    try {
        program.SetSource(source);
        program.Compile();
        return program.CallValue(function, args).Describe();
    } catch (const tError& e) {
        return std::string("error: ") + e.what();
    }
}

std::string outcome(const std::string& source, const std::vector<tScriptValue>& args = {},
                    const std::string& function = "F") {
    tScriptProgram program;
    return outcome(program, source, args, function);
}

// ---------------------------------------------------------------------------
// Expressions, each computed twice: from parameters at run time, and folded
// by the compiler from constants of the same values. Both must agree.

struct tExpressionCase {
    const char* expression;
    const char* expected;  // a value as Describe() shows it, or an error's reason
};

const tExpressionCase kExpressions[] = {
    // Precedence: not and unary minus, then * / div mod and shl shr, then
    // + - or xor, then comparisons.
    {"A + B * 2", "13"},
    {"(A + B) * 2", "20"},
    {"A - B - 1", "3"},
    {"-A * B", "-21"},
    {"-A + B", "-4"},
    {"A div B", "2"},
    {"A mod B", "1"},
    {"-A div B", "-2"},
    {"-A mod B", "-1"},
    {"A / B", "2.33333333333333"},
    {"B / 2", "1.5"},
    {"A / B * B", "7"},
    {"A shl 2", "28"},
    {"A shr 1", "3"},
    {"A and 3", "3"},
    {"A or 8", "15"},
    {"A xor B", "4"},
    {"not A", "-8"},
    {"A > B", "True"},
    {"A <= B", "False"},
    {"A = 7", "True"},
    {"A <> 7", "False"},
    {"not (A > B)", "False"},
    {"(A > B) and (X < 0)", "False"},
    {"(A > B) or (X < 0)", "True"},
    {"(A > B) xor (X > 0)", "False"},
    {"not T", "False"},
    // Integers widen to reals; reals never narrow by themselves.
    {"A + X", "8.5"},
    {"X * 2", "3"},
    {"X - Y", "4"},
    {"A < X", "False"},
    {"X = 1.5", "True"},
    {"1e-3 * 1000", "1"},
    {"-X", "-1.5"},
    {"2.5E2", "250"},
    // Too small for a real: zero, as literal and as text.
    {"1e-400 + StrToFloat('-1e-400') + A", "7"},
    {"$FF + 1", "256"},
    // Strings.
    {"S + '!'", "'abc!'"},
    {"S + #13#10 = 'abc'#13#10", "True"},
    {"'it''s'", "'it's'"},
    {"S < 'abd'", "True"},
    {"S = 'ABC'", "False"},
    {"Length(S + S)", "6"},
    // Built-ins.
    {"Abs(-A)", "7"},
    {"Abs(Y)", "2.5"},
    {"Sqr(A)", "49"},
    {"Sqr(X)", "2.25"},
    {"Sqrt(16)", "4"},
    {"Round(X)", "2"},
    {"Round(Y)", "-2"},
    {"Round(0.5)", "0"},
    {"Round(2.5000001)", "3"},
    {"Trunc(Y)", "-2"},
    {"Int(Y)", "-2"},
    {"Frac(Y)", "-0.5"},
    {"Round(Exp(1) * 1000)", "2718"},
    {"Ln(1)", "0"},
    {"Round(Sin(Pi / 2) * 100) + Round(Cos(0))", "101"},
    {"Round(ArcTan(1) * 4 * 1000)", "3142"},
    {"Power(2, 10)", "1024"},
    {"Min(A, B)", "3"},
    {"Max(A, X)", "7"},
    {"Min(X, Y)", "-2.5"},
    {"Odd(A)", "True"},
    {"Odd(B + 1)", "False"},
    {"IntToStr(A) + IntToStr(-B)", "'7-3'"},
    {"FloatToStr(X)", "'1.5'"},
    {"FloatToStr(1e20)", "'1E20'"},
    {"FloatToStr(1 / 3)", "'0.333333333333333'"},
    {"FloatToStr(0.00001)", "'0.00001'"},
    {"FloatToStr(-1.25e-7)", "'-1.25E-7'"},
    {"StrToInt(' 42 ') + 1", "43"},
    {"StrToInt('-$10')", "-16"},
    {"StrToFloat('2,5') + StrToFloat('0.5')", "3"},
    {"Copy(S, 2, 5)", "'bc'"},
    {"Copy(S, 0, 2)", "'ab'"},
    {"Copy(S, 4, 1)", "''"},
    {"Copy(S, 2, -1)", "''"},
    {"Pos('c', S)", "3"},
    {"Pos('x', S)", "0"},
    {"Pos('', S)", "0"},
    {"UpperCase(S) + LowerCase('XyZ')", "'ABCxyz'"},
    {"Trim('  a b '#9)", "'a b'"},
    {"Length('')", "0"},
    // Faults: the same reason whether found at run time or by the compiler.
    {"A div (B - 3)", "division by zero"},
    {"A mod (B - 3)", "division by zero"},
    {"X / (B - 3)", "division by zero"},
    {"9223372036854775807 + A", "integer overflow"},
    {"-9223372036854775807 - A", "integer overflow"},
    {"4611686018427387904 * B", "integer overflow"},
    {"Abs(-9223372036854775807 - 1)", "integer overflow"},
    {"Sqrt(Y)", "invalid argument to Sqrt"},
    {"Ln(B - 3)", "invalid argument to Ln"},
    {"Exp(1000 + A)", "floating point overflow"},
    {"Round(1e19 * X)", "1.5E19 does not fit an integer"},
    {"StrToInt(S)", "'abc' is not a valid integer value"},
    {"StrToFloat('1.5x')", "'1.5x' is not a valid floating point value"},
    {"StrToFloat('+-1')", "'+-1' is not a valid floating point value"},
    {"Power(0, -B)", "division by zero"},
};

constexpr const char* kParams = "A, B: Integer; X, Y: Real; S: String; T: Boolean";
constexpr const char* kConsts = "A = 7; B = 3; X = 1.5; Y = -2.5; S = 'abc'; T = True;";

std::string reasonOf(const std::string& result) {
    const std::size_t at = result.find("): ");
    return result.rfind("error: ", 0) == 0 && at != std::string::npos ? result.substr(at + 3)
                                                                      : result;
}

TEST(ScriptProgramTest, ExpressionsAtRunTimeAndFoldedAgree) {
    const std::vector<tScriptValue> args = {
        tScriptValue::Integer(7), tScriptValue::Integer(3),    tScriptValue::Real(1.5),
        tScriptValue::Real(-2.5), tScriptValue::String("abc"), tScriptValue::Boolean(true)};
    for (const tExpressionCase& c : kExpressions) {
        const std::string body = std::string("begin Result := ") + c.expression + "; end;";
        const std::string run = outcome(
            std::string("unit t; function F(") + kParams + "): Variant; " + body + " end.", args);
        EXPECT_EQ(reasonOf(run), c.expected) << "at run time: " << c.expression;
        const std::string folded = outcome(std::string("unit t; const ") + kConsts +
                                           " function F: Variant; " + body + " end.");
        EXPECT_EQ(reasonOf(folded), c.expected) << "folded: " << c.expression;
    }
}

// ---------------------------------------------------------------------------
// Whole programs: statements, routines, scopes. F is called with 7 and 3.

struct tProgramCase {
    const char* name;
    const char* source;
    const char* expected;
};

const tProgramCase kPrograms[] = {
    {"if and else",
     "unit t; function F(A, B: Integer): Integer;"
     "begin if A > B then Result := 1 else Result := 2; if A < B then Result := 3; end; end.",
     "1"},
    {"dangling else belongs to the inner if",
     "unit t; function F(A, B: Integer): Integer;"
     "begin Result := 0; if A > 0 then if B > 5 then Result := 1 else Result := 2; end; end.",
     "2"},
    {"case with lists, ranges and else",
     "unit t; function G(N: Integer): Integer; begin case N of 0: Result := 10; 1, 3..5: "
     "Result := 20; 6..8: begin Result := 30; end; else Result := -1; Result := Result * 2 "
     "end; end;"
     "function F(A, B: Integer): Integer; var I: Integer;"
     "begin Result := 0; for I := -1 to 9 do Result := Result * 3 + G(I) mod 7; end; end.",
     // G mod 7 for -1..9: -2 3 6 -2 6 6 6 2 2 2 -2 (mod keeps the sign)
     "-17663"},
    {"case otherwise and no match",
     "unit t; function F(A, B: Integer): Integer; begin Result := 5;"
     "case A of 1: Result := 1; otherwise Result := 9; end;"
     "case B of 1: Result := 0; end; end; end.",
     "9"},
    {"for to and downto, the limit read once",
     "unit t; function F(A, B: Integer): Integer; var I, N: Integer;"
     "begin N := 3; for I := 1 to N do begin N := N + 1; Result := Result * 10 + I; end;"
     "for I := B downto 1 do Result := Result * 10 + I; for I := 5 to 4 do Result := 0; end; "
     "end.",
     "123321"},
    {"while, repeat, break and continue",
     "unit t; function F(A, B: Integer): Integer; var I: Integer;"
     "begin I := 0; while True do begin Inc(I); if I mod 2 = 0 then Continue; if I > 7 then "
     "Break; Result := Result + I; end;"
     "repeat Dec(I, 2); if I = 5 then Continue; Result := Result + 100 until I < 4; end; end.",
     "216"},
    {"continue in a for loop steps on",
     "unit t; function F(A, B: Integer): Integer; var I: Integer;"
     "begin for I := 1 to 10 do begin if Odd(I) then Continue; Result := Result + I; end; "
     "end; end.",
     "30"},
    {"exit, with and without a value",
     "unit t; function G(N: Integer): Integer; begin Result := 1; if N > 0 then Exit(N * 2); "
     "Result := -1; end;"
     "procedure P(var N: Integer); begin N := 1; Exit; N := 2; end;"
     "function F(A, B: Integer): Integer; var K: Integer; begin P(K); Result := G(A) + G(0) * "
     "100 + K * 1000; end; end.",
     "914"},
    {"result through the function's own name",
     "unit t; function F(A, B: Integer): Integer; begin F := A; F := F2(Result); end;"
     "function F2(N: Integer): Integer; begin F2 := N * 2; end; end.",
     "14"},
    {"recursion, and a routine declared later",
     "unit t; function F(A, B: Integer): Integer; begin Result := Fib(A + B); end;"
     "function Fib(N: Integer): Integer; begin if N < 2 then Result := N else Result := "
     "Fib(N - 1) + Fib(N - 2); end; end.",
     "55"},
    {"forward declarations for mutual recursion",
     "unit t; function IsOdd(N: Integer): Boolean; forward;"
     "function IsEven(N: Integer): Boolean; begin if N = 0 then Result := True else Result "
     ":= IsOdd(N - 1); end;"
     "function IsOdd(N: Integer): Boolean; begin if N = 0 then Result := False else Result "
     ":= IsEven(N - 1); end;"
     "function F(A, B: Integer): Boolean; begin Result := IsOdd(A) and IsEven(B + 1); end; "
     "end.",
     "True"},
    {"var parameters reach locals, globals and other var parameters",
     "unit t; var G: Integer;"
     "procedure Swap(var X, Y: Integer); var T: Integer; begin T := X; X := Y; Y := T; end;"
     "procedure Twice(var X: Integer); begin Swap(X, G); Inc(X, 5); end;"
     "function F(A, B: Integer): Integer; begin G := 1; Swap(A, B); Twice(A); Result := A * "
     "100 + B * 10 + G; end; end.",
     "673"},
    {"value parameters are copies",
     "unit t; procedure P(N: Integer; S: String); begin N := 0; S := ''; end;"
     "function F(A, B: Integer): String; var S: String; begin S := 'keep'; P(A, S); Result "
     ":= S + IntToStr(A); end; end.",
     "'keep7'"},
    {"interface and implementation",
     "unit t; interface uses Windows, SysUtils; function F(A, B: Integer): Integer; "
     "implementation uses Math; function Helper(N: Integer): Integer; begin Result := N + 1; "
     "end; function F; begin Result := Helper(A * B); end; end.",
     "22"},
    {"initialization runs once after the compile",
     "unit t; var Base: Integer; Name: String;"
     "function F(A, B: Integer): String; begin Result := Name + IntToStr(Base + A); end;"
     "initialization Base := 100; Name := 'n'; end.",
     "'n107'"},
    {"begin ... end. as the initialization part",
     "unit t; var Base: Integer; function F(A, B: Integer): Integer; begin Result := Base; "
     "end; begin Base := 42; end.",
     "42"},
    {"constants, local and global, typed and initialised variables",
     "unit t; const Limit = 40; Half = Limit div 2; Name: String = 'x'; Ratio: Real = 3;"
     "var Count: Integer = 5;"
     "function F(A, B: Integer): String; const Local = Half + 1; var R: Real; "
     "begin R := Ratio; Result := Name + IntToStr(Local + Count) + FloatToStr(R / 2); end; "
     "end.",
     "'x261.5'"},
    {"variables start at the zero of their type",
     "unit t; var GI: Integer; GR: Real; GS: String; GB: Boolean; GV: Variant;"
     "function F(A, B: Integer): String; var I: Integer; R: Real; S: String; Q: Boolean; V: "
     "Variant; begin Result := IntToStr(I + GI) + FloatToStr(R + GR) + S + GS + '|'; if not "
     "(Q or GB) then Result := Result + 'f'; Result := Result + V + GV; end; end.",
     "'00|f'"},
    {"a local hides a global of the same name",
     "unit t; var N: Integer; function F(A, B: Integer): Integer; var N: Integer; begin N := "
     "A; Result := N + G; end; function G: Integer; begin N := 9; Result := N; end; end.",
     "16"},
    {"letter case does not matter",
     "UNIT T; FUNCTION f(a, b: INTEGER): integer; VAR Total: Integer; BEGIN TOTAL := A + b; "
     "result := total; END; End.",
     "10"},
    {"comments of all three kinds",
     "unit t; { braces } (* parens\n *) // line\nfunction F(A, B: Integer): Integer; begin "
     "Result := A { inside } + (* here *) B; // done\n end; end.",
     "10"},
    {"short-circuit and/or skip the right side",
     "unit t; var Calls: Integer; function Hit: Boolean; begin Inc(Calls); Result := True; "
     "end; function F(A, B: Integer): Integer; begin if (A < B) and Hit then ; if (A > B) or "
     "Hit then ; if False and Hit then ; if not ((A > B) or Hit) then ; Result := Calls; end; "
     "end.",
     "0"},
    {"boolean values from and/or",
     "unit t; var Calls: Integer; function Hit: Boolean; begin Inc(Calls); Result := False; "
     "end; function F(A, B: Integer): String; var P, Q: Boolean; begin P := (A > B) or Hit; Q "
     ":= Hit and (A > B); P := Q or P; Q := P and Q; Result := IntToStr(Calls); if P then "
     "Result := Result + 'P'; if Q then Result := Result + 'Q'; end; end.",
     "'1P'"},
    {"Variants mix kinds at run time",
     "unit t; function F(A, B: Integer): String; var V, W: Variant; S: String; begin V := A; "
     "W := '5'; V := V + W; W := 'x'; W := W + 'y'; V := V * 1.5; S := V; Result := W + S; "
     "if V > 17 then Result := Result + '!'; end; end.",
     "'xy18!'"},
    {"Variants convert when stored in typed variables",
     "unit t; function F(A, B: Integer): String; var V: Variant; I: Integer; R: Real; S: "
     "String; Q: Boolean; begin V := 2.5; I := V; R := V; S := V; V := 'true'; Q := V; "
     "Result := IntToStr(I) + FloatToStr(R) + S; if Q then Result := Result + 'T'; end; end.",
     "'22.52.5T'"},
    {"narrow integer types check their range",
     "unit t; function F(A, B: Integer): Integer; var W: Byte; begin W := 250; Inc(W, A); "
     "end; end.",
     "error: t.F(1:74): value 257 out of range for Byte"},
    {"Single rounds to single precision",
     "unit t; function F(A, B: Integer): Boolean; var S: Single; R: Real; begin S := 0.1; "
     "R := 0.1; Result := (S <> R) and (Abs(S - R) < 1e-8); end; end.",
     "True"},
    {"Int64 and Cardinal hold what Integer cannot",
     "unit t; function F(A, B: Integer): String; var L: Int64; C: Cardinal; begin L := "
     "3000000000; C := 4000000000; Result := IntToStr(L * 2) + ' ' + IntToStr(C); end; end.",
     "'6000000000 4000000000'"},
    {"a routine's call as a statement discards its value",
     "unit t; var N: Integer; function G: Integer; begin Inc(N); Result := 5; end; function "
     "F(A, B: Integer): Integer; begin G; G(); Result := N; end; end.",
     "2"},
    {"string built up in a loop",
     "unit t; function F(A, B: Integer): String; var I: Integer; begin for I := 1 to A do "
     "Result := Result + Copy('abcdefgh', I, 1); Result := UpperCase(Result); end; end.",
     "'ABCDEFG'"},
    {"calls nested in arguments keep their registers apart",
     "unit t; function G(N: Integer): Integer; begin Result := N * 10; end;"
     "function H(X, Y: Integer): Integer; begin Result := X - Y; end;"
     "function F(A, B: Integer): Integer; begin Result := H(G(A), G(B)) + H(H(G(1), 2), "
     "G(H(A, B))) * 1000; end; end.",
     "-31960"},
    {"a variable read on the right of its own assignment",
     "unit t; function F(A, B: Integer): String; var X: Integer; S: String; P, Q: Boolean; "
     "begin X := A; X := (X + 1) * X; S := 'b'; S := S + S; S := 'a' + S; S := S + IntToStr(X); "
     "P := False; Q := True; Q := P and Q; P := not P; P := Q or P; if P then S := S + 'P'; "
     "if Q then S := S + 'Q'; Result := S; end; end.",
     "'abb56P'"},
    {"break leaves the inner loop only, exit leaves the routine",
     "unit t; function F(A, B: Integer): Integer; var I, J: Integer; begin for I := 1 to 3 "
     "do for J := 1 to 10 do begin if J > I then Break; Result := Result + 1; end; while "
     "True do begin repeat Inc(Result, 100); if Result > 500 then Exit; until False; end; "
     "Result := -1; end; end.",
     "506"},
    {"a global as for-loop variable keeps its last value",
     "unit t; var I: Integer; procedure Count; begin for I := 10 downto 4 do ; end; function "
     "F(A, B: Integer): Integer; begin Count; Result := I; end; end.",
     "4"},
    {"Inc and Dec on globals, var parameters and with an expression step",
     "unit t; var G: Int64; procedure Bump(var N: Int64; By: Integer); begin Inc(N, By * 2); "
     "Dec(N); end; function F(A, B: Integer): Int64; begin G := 100; Bump(G, A); Inc(G); "
     "Dec(G, B - 10); Result := G; end; end.",
     "121"},
    {"Round ties to even at run time",
     "unit t; function F(A, B: Integer): String; var X: Real; I: Integer; begin X := -2.5; "
     "for I := 0 to 5 do begin Result := Result + IntToStr(Round(X)) + ' '; X := X + 1; end; "
     "end; end.",
     "'-2 -2 0 0 2 2 '"},
    {"a procedure's var parameter from the program is a copy",
     "unit t; function F(var A: Integer; B: Integer): Integer; begin A := A * B; Result := A; "
     "end; end.",
     "21"},
    {"Variant parameters take any kind; typed ones convert",
     "unit t; function K(V: Variant): String; begin Result := V; Result := Result + '/'; end; "
     "function F(A, B: Integer): String; begin Result := K(A) + K('s') + K(2.5) + K(A > B); "
     "end; end.",
     "'7/s/2.5/True/'"},
    {"typed constants and expressions of constants in case labels",
     "unit t; const Low = 2; High = Low * 3; function F(A, B: Integer): Integer; begin case "
     "A of Low..High: Result := 1; High + 1: Result := 2; end; end; end.",
     "2"},
};

TEST(ScriptProgramTest, ProgramsGiveTheirResults) {
    const std::vector<tScriptValue> args = {tScriptValue::Integer(7), tScriptValue::Integer(3)};
    for (const tProgramCase& c : kPrograms) {
        EXPECT_EQ(outcome(c.source, args), c.expected) << c.name;
    }
}

// ---------------------------------------------------------------------------
// Messages: routine, position and reason of compile and run-time faults.

const tProgramCase kErrors[] = {
    {"undeclared identifier",
     "unit proverka;\nfunction NewState(State: Integer): Integer;\nbegin\n  Result := pHH;\nend;\n"
     "end.",
     "proverka.NewState(4:13): undeclared identifier 'pHH'"},
    {"a routine's locals end with it",
     "unit t; function G: Integer; const K = 5; begin Result := K; end; const M = K + 1;\n"
     "function F(A, B: Integer): Integer; begin Result := M; end; end.",
     "t(1:77): undeclared identifier 'K'"},
    {"run-time division by zero at the operator",
     "unit proverka;\nfunction tra(A: Integer): Integer;\nbegin\n  Result := A div (A - "
     "A);\nend;\nfunction F(A, B: Integer): Integer; begin Result := tra(A); end; end.",
     "proverka.tra(4:15): division by zero"},
    {"missing then",
     "unit t; function F(A, B: Integer): Integer; begin if A > B Result := 1; end; end.",
     "t.F(1:60): 'then' expected but identifier 'Result' found"},
    {"missing end.", "unit t; function F(A, B: Integer): Integer; begin end;",
     "t(1:55): 'end' expected but end of file found"},
    {"missing end after the initialization", "unit t; var N: Integer; begin N := 1;",
     "t(1:38): 'end' expected but end of file found"},
    {"missing final dot", "unit t; function F(A, B: Integer): Integer; begin end; end",
     "t(1:59): '.' expected but end of file found"},
    {"a routine ended by end.", "unit t; function F(A, B: Integer): Integer; begin end. end.",
     "t.F(1:54): ';' expected but '.' found"},
    {"a failing built-in is no constant", "unit t; const N = StrToInt('TODO'); end.",
     "t(1:19): constant expression expected"},
    {"not a unit", "program x; begin end.",
     "script(1:1): 'unit' expected but identifier 'program' found"},
    {"missing semicolon",
     "unit t; function F(A, B: Integer): Integer; begin Result := 1 Result := 2; end; end.",
     "t.F(1:63): 'end' expected but identifier 'Result' found"},
    {"= for :=", "unit t; function F(A, B: Integer): Integer; begin Result = 1; end; end.",
     "t.F(1:58): ':=' expected but '=' found"},
    {"duplicate local", "unit t; function F(A, B: Integer): Integer; var A: Real; begin end; end.",
     "t.F(1:49): duplicate identifier 'A'"},
    {"duplicate global",
     "unit t; var N: Integer; const N = 1; function F(A, B: Integer): Integer; begin end; end.",
     "t(1:31): duplicate identifier 'N'"},
    {"duplicate routine",
     "unit t; procedure P; begin end; procedure P; begin end; function F(A, B: Integer): "
     "Integer; begin end; end.",
     "t(1:43): duplicate identifier 'P'"},
    {"wrong argument count",
     "unit t; function G(N: Integer): Integer; begin Result := N; end; function F(A, B: "
     "Integer): Integer; begin Result := G(A, B); end; end.",
     "t.F(1:118): wrong number of arguments for 'G': 1 expected, 2 given"},
    {"wrong built-in argument count",
     "unit t; function F(A, B: Integer): Integer; begin Result := Max(A); end; end.",
     "t.F(1:61): wrong number of arguments for 'Max': 2 expected, 1 given"},
    {"assignment to a constant",
     "unit t; const Limit = 4; function F(A, B: Integer): Integer; begin Limit := 5; end; end.",
     "t.F(1:68): cannot assign to constant 'Limit'"},
    {"assignment to a const parameter",
     "unit t; function F(const A: Integer; B: Integer): Integer; begin A := 5; end; end.",
     "t.F(1:66): cannot assign to constant parameter 'A'"},
    {"real into integer",
     "unit t; function F(A, B: Integer): Integer; begin Result := A / B; end; end.",
     "t.F(1:51): incompatible types: expected 'Integer', found 'Real'"},
    {"string and number",
     "unit t; function F(A, B: Integer): Integer; begin Result := A + 'x'; end; end.",
     "t.F(1:63): operator '+' cannot combine 'Integer' and 'String'"},
    {"integer condition",
     "unit t; function F(A, B: Integer): Integer; begin if A then Result := 1; end; end.",
     "t.F(1:54): Boolean expression expected, found 'Integer'"},
    {"div on reals",
     "unit t; function F(A, B: Integer): Real; begin Result := 1.5 div A; end; end.",
     "t.F(1:62): operator 'div' cannot combine 'Real' and 'Integer'"},
    {"boolean and integer",
     "unit t; function F(A, B: Integer): Boolean; begin Result := (A > B) and A; end; end.",
     "t.F(1:69): operator 'and' cannot combine 'Boolean' and 'Integer'"},
    {"var argument must be a variable",
     "unit t; procedure P(var N: Integer); begin end; function F(A, B: Integer): Integer; "
     "begin P(A + 1); end; end.",
     "t.F(1:95): a variable is expected for var parameter 'N'"},
    {"var argument of another type",
     "unit t; procedure P(var N: Integer); begin end; function F(A, B: Integer): Integer; var "
     "R: Real; begin P(R); end; end.",
     "t.F(1:106): var parameter 'N' needs a Integer variable, 'R' is Real"},
    {"procedure has no value",
     "unit t; procedure P; begin end; function F(A, B: Integer): Integer; begin Result := P; "
     "end; end.",
     "t.F(1:85): procedure 'P' has no value"},
    {"unknown type", "unit t; var X: TList; function F(A, B: Integer): Integer; begin end; end.",
     "t(1:16): unknown type 'TList'"},
    {"unsatisfied forward",
     "unit t; function G: Integer; forward; function F(A, B: Integer): Integer; begin end; "
     "end.",
     "t(1:18): unsatisfied forward declaration of 'G'"},
    {"heading differs from the interface",
     "unit t; interface function F(A, B: Integer): Integer; implementation function F(A: "
     "Integer): Integer; begin end; end.",
     "t(1:79): declaration of 'F' differs from its earlier declaration"},
    {"break outside a loop", "unit t; function F(A, B: Integer): Integer; begin Break; end; end.",
     "t.F(1:51): 'break' outside a loop"},
    {"duplicate case label",
     "unit t; function F(A, B: Integer): Integer; begin case A of 1..5: ; 7, 3: ; end; end; "
     "end.",
     "t.F(1:72): duplicate case label"},
    {"case label not constant",
     "unit t; function F(A, B: Integer): Integer; begin case A of B: ; end; end; end.",
     "t.F(1:61): constant integer expected as case label"},
    {"constant folding finds the fault",
     "unit t; const Z = 0; function F(A, B: Integer): Integer; begin Result := 10 div Z; end; "
     "end.",
     "t.F(1:77): division by zero"},
    {"constant out of range",
     "unit t; function F(A, B: Integer): Integer; var W: Byte; begin W := 256; end; end.",
     "t.F(1:64): value 256 out of range for Byte"},
    {"unterminated string", "unit t; const S = 'abc;\nend.", "t(1:19): unterminated string"},
    {"unterminated comment", "unit t; { forever\nend.", "t(1:9): unterminated comment"},
    {"illegal character", "unit t; var X: Integer; ? end.", "t(1:25): illegal character '?'"},
    {"illegal byte", "unit t; var \x01", "t(1:13): illegal character #$1"},
    {"integer literal too large", "unit t; const N = 9223372036854775808; end.",
     "t(1:19): integer constant too large"},
    {"nested routines are refused",
     "unit t; function F(A, B: Integer): Integer; procedure Inner; begin end; begin end; end.",
     "t.F(1:45): routines inside routines are not supported"},
    {"arrays are refused", "unit t; var X: array of Integer; end.",
     "t(1:16): 'array' types are not supported"},
    {"run-time conversion of a Variant",
     "unit t; function F(A, B: Integer): Integer; var V: Variant; begin V := 'x'; Result := "
     "V; end; end.",
     "t.F(1:77): cannot convert 'x' to an integer"},
    {"initialization faults fail the compile",
     "unit t; var N: Integer; function F(A, B: Integer): Integer; begin end; initialization "
     "N := 1 div N; end.",
     "t(1:94): division by zero"},
    {"Exit with a value in a procedure",
     "unit t; procedure F(A, B: Integer); begin Exit(1); end; end.",
     "t.F(1:43): only a function can exit with a value"},
    {"Inc of a real", "unit t; function F(A, B: Integer): Real; begin Inc(Result); end; end.",
     "t.F(1:52): 'Inc' needs an integer variable, 'Result' is Real"},
    {"Inc of a constant", "unit t; function F(A, B: Integer): Integer; begin Inc(5); end; end.",
     "t.F(1:55): a variable is expected for 'Inc'"},
    {"real for-loop variable",
     "unit t; function F(A, B: Integer): Integer; var R: Real; begin for R := 1 to 2 do ; "
     "end; end.",
     "t.F(1:68): for-loop variable must be a local or global integer variable"},
    {"case on a string",
     "unit t; function F(A, B: Integer): Integer; begin case 'a' of 1: ; end; end; end.",
     "t.F(1:56): integer expression expected, found 'String'"},
    {"a variable called as a procedure",
     "unit t; function F(A, B: Integer): Integer; begin A; end; end.",
     "t.F(1:51): 'A' is not a procedure"},
    {"assignment to a routine",
     "unit t; procedure P; begin end; function F(A, B: Integer): Integer; begin P := 1; end; "
     "end.",
     "t.F(1:75): cannot assign to routine 'P'"},
    {"a function without result type", "unit t; function F(A, B: Integer); begin end; end.",
     "t(1:18): result type of function 'F' expected"},
    {"an endless initialization fails the compile",
     "unit t; var N: Integer; initialization while True do Inc(N); end.",
     "t(1:40): step budget of 10000000 exhausted (endless loop?)"},
    {"character code beyond a byte", "unit t; const C = #300; end.",
     "t(1:19): character code 0 to 255 expected after '#'"},
    {"exponent without digits", "unit t; const C = 1e; end.",
     "t(1:19): digits expected in the exponent of a real constant"},
    {"Single overflow",
     "unit t; function F(A, B: Integer): Integer; var S: Single; begin S := 1e39 * A; end; "
     "end.",
     "t.F(1:66): floating point overflow"},
    {"the function the program asks for is missing",
     "unit t; function G(A, B: Integer): Integer; begin end; end.", "function 'F' not found"},
};

TEST(ScriptProgramTest, FaultsNameRoutinePositionAndReason) {
    const std::vector<tScriptValue> args = {tScriptValue::Integer(7), tScriptValue::Integer(3)};
    for (const tProgramCase& c : kErrors) {
        EXPECT_EQ(outcome(c.source, args), std::string("error: ") + c.expected) << c.name;
    }
}

// Teachers keep notes after the final "end.": the unit stops there.
TEST(ScriptProgramTest, TextAfterTheFinalEndIsNeverRead) {
    const std::vector<tScriptValue> args = {tScriptValue::Integer(7), tScriptValue::Integer(3)};
    const std::string unit =
        "unit t; function F(A, B: Integer): Integer; begin Result := A + B; end; end.";
    for (const char* note :
         {"\nЗаметки: pH 7", "\nIt's the acid's turn", "\n{ never closed", " end. ? begin"}) {
        EXPECT_EQ(outcome(unit + note, args), "10") << note;
    }
}

// A built-in that fails on constants is not a constant: the unit compiles,
// and the call fails when it runs, with the reason any argument would give.
TEST(ScriptProgramTest, BuiltinsThatFailOnConstantsFailWhenRun) {
    struct tCase {
        const char* type;
        const char* expression;
        const char* reason;
    };
    const tCase cases[] = {
        {"Integer", "StrToInt('TODO')", "'TODO' is not a valid integer value"},
        {"Real", "Sqrt(-1.0)", "invalid argument to Sqrt"},
        {"Integer", "10 div Pos('z', 'abc')", "division by zero"},
        {"Real", "Ln(Length(''))", "invalid argument to Ln"},
        {"Int64", "-(Length('a') - 9223372036854775807 - 2)", "integer overflow"},
        {"Boolean", "StrToFloat('x') > 0", "'x' is not a valid floating point value"},
        {"Byte", "Pos('c', 'abc') * 100", "value 300 out of range for Byte"},
    };
    for (const tCase& c : cases) {
        const std::string source = std::string("unit t; function G(A: Integer): ") + c.type +
                                   "; begin if A > 0 then Result := " + c.expression +
                                   "; end; end.";
        const std::string skipped = outcome(source, {tScriptValue::Integer(0)}, "G");
        EXPECT_EQ(skipped.rfind("error: ", 0), std::string::npos)
            << c.expression << ": " << skipped;
        const std::string taken = outcome(source, {tScriptValue::Integer(1)}, "G");
        EXPECT_EQ(taken.rfind("error: t.G(1:", 0), 0U) << c.expression << ": " << taken;
        EXPECT_EQ(reasonOf(taken), c.reason) << c.expression;
    }
}

// not, shl and shr work in the width of their operand's type (the left one
// for shifts): 32 bits unless it is an Int64; not keeps Byte, Word and
// Cardinal unsigned. Each case runs with X a parameter and X a typed
// constant the compiler folds; the result goes into a variable of X's type.
TEST(ScriptProgramTest, NotAndShiftsWorkInTheWidthOfTheirType) {
    struct tCase {
        const char* type;
        std::int64_t x;
        const char* expression;
        const char* expected;
    };
    const tCase cases[] = {
        {"Integer", -1, "X shr 1", "2147483647"},
        {"Integer", -1, "X shl 1", "-2"},
        {"Integer", 1, "X shl 31", "-2147483648"},
        {"Integer", 1, "X shl 33", "2"},
        {"Integer", 0, "X + 1 shl 33", "2"},
        {"Integer", 1, "X shl Round(33.0)", "2"},
        {"Byte", 200, "X shl 1", "value 400 out of range for Byte"},
        {"Word", 200, "X shl 10", "value 204800 out of range for Word"},
        {"Cardinal", 4294967295, "X shl 1", "4294967294"},
        {"Cardinal", 4294967295, "X shr 31", "1"},
        {"Int64", 1, "X shl 33", "8589934592"},
        {"Int64", -1, "X shr 1", "9223372036854775807"},
        {"Int64", 1, "(X + 1) shl 40", "2199023255552"},
        {"Byte", 5, "not X", "250"},
        {"Word", 5, "not X", "65530"},
        {"Cardinal", 5, "not X", "4294967290"},
        {"Integer", 5, "not X", "-6"},
        {"Int64", 5, "not X", "-6"},
        {"Byte", 5, "(not X) + 1", "251"},
        {"Integer", 5, "not X shr 28", "15"},
    };
    for (const tCase& c : cases) {
        const std::string body = std::string("; var R: ") + c.type +
                                 "; begin R := " + c.expression + "; Result := R; end; end.";
        const std::string run =
            outcome(std::string("unit t; function F(X: ") + c.type + "): Variant" + body,
                    {tScriptValue::Integer(c.x)});
        EXPECT_EQ(reasonOf(run), c.expected) << "at run time: " << c.type << " " << c.expression;
        const std::string folded = outcome(std::string("unit t; const X: ") + c.type + " = " +
                                           std::to_string(c.x) + "; function F: Variant" + body);
        EXPECT_EQ(reasonOf(folded), c.expected) << "folded: " << c.type << " " << c.expression;
    }
}

// Two Integers add, subtract, multiply, divide and negate in 32 bits and
// overflow before the result is used, whatever receives it; an Int64 or a
// constant beyond 32 bits makes it 64. Each case runs with X an Integer
// parameter, folded from an Integer constant, and as a constant declared
// from it, where the overflow is a compile error.
TEST(ScriptProgramTest, IntegersComputeInThirtyTwoBits) {
    struct tCase {
        std::int64_t x;
        const char* expression;
        const char* expected;
    };
    const tCase cases[] = {
        {2147483647, "X * 2", "integer overflow"},
        {2147483647, "(X * 2) div 2", "integer overflow"},
        {2147483647, "X + 1 - 1", "integer overflow"},
        {-2147483647, "X - 2", "integer overflow"},
        {-2147483647 - 1, "-X", "integer overflow"},
        {-2147483647 - 1, "X div -1", "integer overflow"},
        {2147483647, "-X - 1", "-2147483648"},
        {2147483647, "X * 3000000000", "6442450941000000000"},
        {2147483647, "X + 3000000000 - X", "3000000000"},
        {2147483647, "Round(X + 0.5)", "2147483648"},
        {2147483647, "X mod 2 + X div 2", "1073741824"},
        {65535, "X * X", "integer overflow"},
        {46340, "X * X", "2147395600"},
    };
    for (const tCase& c : cases) {
        const std::string body =
            std::string("; var R: Int64; begin R := ") + c.expression + "; Result := R; end; end.";
        const std::string run =
            outcome("unit t; function F(X: Integer): Variant" + body, {tScriptValue::Integer(c.x)});
        EXPECT_EQ(reasonOf(run), c.expected) << "at run time: " << c.expression;
        const std::string x = std::to_string(c.x);
        const std::string folded =
            outcome("unit t; const X: Integer = " + x + "; function F: Variant" + body);
        EXPECT_EQ(reasonOf(folded), c.expected) << "folded: " << c.expression;
        const std::string declared = outcome("unit t; const X = " + x + "; M = " + c.expression +
                                             "; function F: Variant; begin Result := M; end; end.");
        EXPECT_EQ(reasonOf(declared), c.expected) << "declared: " << c.expression;
    }
}

// ---------------------------------------------------------------------------
// The interface as the experiment uses it.

constexpr const char* kScenario = R"(unit proverka;
var Steps: Integer;

function Near(Value, Target, Tolerance: Real): Boolean;
begin
  Result := Abs(Value - Target) <= Tolerance;
end;

function NewState(State: Integer; LT, LP, LC, LE, V1, V2, V3, dLT, dLP, dLC, dLE, dV1, dV2,
  dV3: Real): Integer;
begin
  Inc(Steps);
  Result := State;
  case State of
    0: if LT > 40 then Result := 1;
    1: if Near(LP, 7, 0.2) and (dLP < 0.01) then Result := 2;
    2: if V3 > 0 then Result := 3 else if Steps > 3 then Result := 99;
  end;
end;

end.)";

std::vector<tScriptArg> stationArgs(int state, double lt, double lp, double v3 = 0) {
    std::vector<tScriptArg> args(17);
    args[0] = tScriptArg::Integer(state);
    for (int k = 1; k <= 14; ++k) {
        args[static_cast<std::size_t>(k)] = tScriptArg::Real(0);
    }
    args[1] = tScriptArg::Real(lt);
    args[2] = tScriptArg::Real(lp);
    args[7] = tScriptArg::Real(v3);
    return args;
}

TEST(ScriptProgramTest, NewStateWalksThroughAScenario) {
    const std::unique_ptr<iScriptProgram> program = makeScriptProgram();
    program->SetSource(kScenario);
    program->Compile();
    EXPECT_EQ(program->Call("NewState", stationArgs(0, 25, 5)), 0);
    EXPECT_EQ(program->Call("NEWSTATE", stationArgs(0, 40.5, 5)), 1);
    EXPECT_EQ(program->Call("newstate", stationArgs(1, 40.5, 7.15)), 2);
    EXPECT_EQ(program->Call("NewState", stationArgs(2, 40.5, 7.15, 1)), 3);
    // The global counter lives on from call to call: the fifth step gives up.
    EXPECT_EQ(program->Call("NewState", stationArgs(2, 40.5, 7.15)), 99);
    // A compile starts the globals afresh.
    program->Compile();
    EXPECT_EQ(program->Call("NewState", stationArgs(2, 40.5, 7.15)), 2);
    EXPECT_THROW(program->Call("OldState", stationArgs(0, 0, 0)), tError);
    // A new source is not callable until compiled.
    program->SetSource("unit x; end.");
    EXPECT_THROW(program->Call("NewState", stationArgs(0, 0, 0)), tError);
}

TEST(ScriptProgramTest, ArgumentsBindInOrderAndMissingOnesAreEmpty) {
    tScriptProgram program;
    program.SetSource(
        "unit t; function F(A: Integer; X: Real; S: String; V: Variant; B: Byte): String; "
        "var T: String; begin T := V; Result := IntToStr(A) + '|' + FloatToStr(X) + '|' + S + "
        "'|' + T + '|' + IntToStr(B); end; function Count(V: Variant): Integer; begin Result := V; "
        "end; end.");
    program.Compile();
    using V = tScriptValue;
    EXPECT_EQ(program.CallValue("F", {}).s, "0|0|||0");
    EXPECT_EQ(program
                  .CallValue("F", std::vector<V>{V::Real(2.5), V::Integer(3), V::Real(0.5),
                                                 V::Integer(4), V::Integer(255), V::Real(9)})
                  .s,
              "2|3|0.5|4|255");
    EXPECT_EQ(program.CallValue("F", std::vector<V>{V::Real(3.5), V(), V::Boolean(true)}).s,
              "4|0|True||0");
    try {
        program.CallValue("F", std::vector<V>{V(), V(), V(), V(), V::Integer(256)});
        ADD_FAILURE() << "256 went into a Byte";
    } catch (const tError& e) {
        EXPECT_STREQ(e.what(), "t.F(1:18): argument 5 (B): value 256 out of range for Byte");
    }
    // The program's own arguments, seventeen of them, to a shorter list.
    const std::vector<tScriptArg> args(17, tScriptArg::Real(1.5));
    EXPECT_EQ(program.Call("Count", args), 2);
    // An integer argument carrying what no integer is fails as a number would.
    using A = tScriptArg;
    const std::vector<A> odd = {A{A::tKind::Integer, 2.5}};
    EXPECT_EQ(program.Call("Count", odd), 2);
    for (double bad : {1e300, std::nan("")}) {
        const std::vector<A> huge = {A{A::tKind::Integer, bad}};
        EXPECT_THROW(program.Call("Count", huge), tError) << bad;
    }
}

TEST(ScriptProgramTest, ResultsCastToThirtyTwoBits) {
    struct tCase {
        const char* result;
        const char* type;
        const char* expected;  // the number, or the error's reason
    };
    const tCase cases[] = {
        {"2147483647", "Integer", "2147483647"},
        {"-2147483647 - 1", "Int64", "-2147483648"},
        {"2147483648", "Int64", "result 2147483648 does not fit a 32-bit integer"},
        {"2.5", "Real", "2"},
        {"3.5", "Real", "4"},
        {"-2.5", "Real", "-2"},
        {"1e10", "Real", "result 10000000000 does not fit a 32-bit integer"},
        {"True", "Boolean", "-1"},
        {"False", "Boolean", "0"},
        {"' 12'", "String", "12"},
        {"'1.5'", "String", "result: cannot convert '1.5' to an integer"},
        {"'abc'", "String", "result: cannot convert 'abc' to an integer"},
        {"V", "Variant", "0"},
    };
    for (const tCase& c : cases) {
        tScriptProgram program;
        program.SetSource(std::string("unit t; function F: ") + c.type +
                          "; var V: Variant; begin Result := " + c.result + "; end; end.");
        program.Compile();
        std::string got;
        try {
            got = std::to_string(program.Call("F", {}));
        } catch (const tError& e) {
            got = reasonOf(std::string("error: ") + e.what());
        }
        EXPECT_EQ(got, c.expected) << c.result;
    }
    tScriptProgram program;
    program.SetSource("unit t; procedure P; begin end; end.");
    program.Compile();
    EXPECT_EQ(program.Call("P", {}), 0);
}

// ---------------------------------------------------------------------------
// Limits: nothing a unit does may freeze or crash the program.

TEST(ScriptProgramTest, EndlessLoopsAndRecursionEndAtTheirLimits) {
    struct tCase {
        const char* body;
        const char* reason;
        bool spendsTheBudget;
    };
    const tCase cases[] = {
        {"while true do ;", "step budget of 5000 exhausted (endless loop?)", true},
        {"repeat until false;", "step budget of 5000 exhausted (endless loop?)", true},
        {"Result := F + 1;", "more than 20 nested calls (endless recursion?)", false},
    };
    for (const tCase& c : cases) {
        tScriptProgram program;
        program.SetStepBudget(5000);
        program.SetCallDepthLimit(20);
        const std::string result = outcome(
            program, std::string("unit t; function F: Integer; begin ") + c.body + " end; end.");
        EXPECT_EQ(reasonOf(result), c.reason) << c.body;
        if (c.spendsTheBudget) {
            EXPECT_EQ(program.StepsUsed(), 5000) << c.body;
        } else {
            EXPECT_LT(program.StepsUsed(), 5000) << c.body;
        }
    }
}

TEST(ScriptProgramTest, BudgetAndDepthAreSettable) {
    tScriptProgram program;
    program.SetStepBudget(1000);
    program.SetCallDepthLimit(10);
    program.SetSource(
        "unit t; function Loop(N: Integer): Integer; var I: Integer; begin for I := 1 to N do "
        "Inc(Result); end; function Down(N: Integer): Integer; begin if N > 0 then Result := "
        "Down(N - 1) + 1; end; end.");
    program.Compile();
    using V = tScriptValue;
    EXPECT_EQ(program.CallValue("Loop", std::vector<V>{V::Integer(100)}).i, 100);
    EXPECT_LT(program.StepsUsed(), 1000);
    EXPECT_GT(program.StepsUsed(), 100);
    EXPECT_THROW(program.CallValue("Loop", std::vector<V>{V::Integer(1000)}), tError);
    // Down(9) is ten routines active at once, Down(10) eleven.
    EXPECT_EQ(program.CallValue("Down", std::vector<V>{V::Integer(9)}).i, 9);
    EXPECT_THROW(program.CallValue("Down", std::vector<V>{V::Integer(10)}), tError);
    // The budget is per call: a failed call leaves the program usable.
    EXPECT_EQ(program.CallValue("Loop", std::vector<V>{V::Integer(10)}).i, 10);
    // Recursion within the default limit needs no native stack of its own.
    program.SetCallDepthLimit(1000);
    program.SetStepBudget(1'000'000);
    EXPECT_EQ(program.CallValue("Down", std::vector<V>{V::Integer(999)}).i, 999);
    EXPECT_THROW(program.CallValue("Down", std::vector<V>{V::Integer(1000)}), tError);
}

TEST(ScriptProgramTest, GrowingStringsAreCapped) {
    tScriptProgram program;
    program.SetSource(
        "unit t; function Grow: Integer; var S: String; begin S := 'x'; while True do S := S + "
        "S; end; function Churn: Integer; var S, T: String; I: Integer; begin S := 'x'; for I "
        ":= 1 to 19 do S := S + S; for I := 1 to 1000 do T := S; end; end.");
    program.Compile();
    const std::vector<tScriptValue> none;
    try {
        program.CallValue("Grow", none);
        ADD_FAILURE() << "no cap";
    } catch (const tError& e) {
        EXPECT_STREQ(e.what(), "t.Grow(1:85): string longer than 1048576 characters");
    }
    try {
        program.CallValue("Churn", none);
        ADD_FAILURE() << "no allowance";
    } catch (const tError& e) {
        EXPECT_EQ(reasonOf(std::string("error: ") + e.what()),
                  "strings of more than 64 MB built in one call");
    }
}

TEST(ScriptProgramTest, HostileSourcesFailCleanly) {
    const std::string deep = std::string(5000, '(') + "1" + std::string(5000, ')');
    std::string chain = "1";
    for (int k = 0; k < 5000; ++k) {
        chain += " + 1";
    }
    std::string nested;
    for (int k = 0; k < 5000; ++k) {
        nested += "begin ";
    }
    const std::string cases[] = {
        "unit t; const N = " + deep + "; end.",
        "unit t; const N = " + chain + "; end.",
        "unit t; const N = " + std::string(5000, '-') + "1; end.",
        "unit t; function F: Integer; begin " + nested + "end.",
        "unit t; function F: Integer; begin if 1 > 0 then" + std::string(3000, ' ') + "; end.",
        std::string("unit"),
        std::string(""),
        std::string("\0\0\0", 3),
    };
    for (const std::string& source : cases) {
        tScriptProgram program;
        program.SetSource(source);
        EXPECT_THROW(program.Compile(), tError) << source.substr(0, 60);
    }
    // Just inside the limits, it still compiles.
    tScriptProgram program;
    program.SetSource("unit t; const N = " + std::string(150, '(') + "1" + std::string(150, ')') +
                      "; function F: Integer; begin Result := N; end; end.");
    program.Compile();
    EXPECT_EQ(program.Call("F", {}), 1);
}

}  // namespace
}  // namespace vantrel
