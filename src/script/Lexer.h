#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// A place in the source: 1-based line and column (in bytes; a tab is one).
struct tScriptPos {
    int line = 0;
    int column = 0;
};

// "unit.Routine(line:column): reason", or "unit(line:column): reason"
// outside routines: the one form of every compile and run-time message.
std::string scriptErrorText(std::string_view unit, std::string_view routine, tScriptPos pos,
                            std::string_view reason);

enum class tScriptTokenKind : std::uint8_t {
    EndOfFile,
    Identifier,
    Integer,
    Real,
    String,
    // Reserved words.
    And,
    Array,
    Begin,
    Case,
    Const,
    Div,
    Do,
    Downto,
    Else,
    End,
    Finalization,
    For,
    Function,
    Goto,
    If,
    Implementation,
    In,
    Initialization,
    Interface,
    Label,
    Mod,
    Not,
    Of,
    Or,
    Procedure,
    Record,
    Repeat,
    Set,
    Shl,
    Shr,
    Then,
    To,
    Type,
    Unit,
    Until,
    Uses,
    Var,
    While,
    With,
    Xor,
    // Symbols.
    Plus,
    Minus,
    Star,
    Slash,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    LeftParen,
    RightParen,
    LeftBracket,
    RightBracket,
    Comma,
    Semicolon,
    Colon,
    Assign,
    Dot,
    DotDot,
};

struct tScriptToken {
    tScriptTokenKind kind = tScriptTokenKind::EndOfFile;
    tScriptPos pos;
    std::string text;  // identifier as written, or the string literal's value
    std::int64_t integer = 0;
    double real = 0;
};

// How messages name a token: 'then', identifier 'x', end of file...
std::string scriptTokenName(const tScriptToken& token);
std::string scriptTokenKindName(tScriptTokenKind kind);

// Splits a unit's source into tokens. Comments ({ }, (* *), //) and blanks
// are dropped; reserved words are recognised without regard to letter case.
class tScriptLexer {
public:
    // Longest source accepted: far beyond any unit, small enough that a
    // hostile one cannot exhaust memory.
    static constexpr std::size_t kMaxSourceLength = std::size_t{4} << 20;

    // tError ("script(line:column): reason") for a source that cannot be
    // split: illegal characters, unterminated strings or comments, numbers
    // out of range.
    static std::vector<tScriptToken> Tokenize(std::string_view source);
};

}  // namespace vantrel
