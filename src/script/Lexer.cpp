#include "script/Lexer.h"

#include <array>
#include <charconv>
#include <system_error>
#include <utility>

#include "base/Error.h"
#include "script/Value.h"

namespace vantrel {

namespace {

using K = tScriptTokenKind;

constexpr std::array<std::pair<std::string_view, K>, 41> kReserved{{
    {"and", K::And},
    {"array", K::Array},
    {"begin", K::Begin},
    {"case", K::Case},
    {"const", K::Const},
    {"div", K::Div},
    {"do", K::Do},
    {"downto", K::Downto},
    {"else", K::Else},
    {"end", K::End},
    {"finalization", K::Finalization},
    {"for", K::For},
    {"function", K::Function},
    {"goto", K::Goto},
    {"if", K::If},
    {"implementation", K::Implementation},
    {"in", K::In},
    {"initialization", K::Initialization},
    {"interface", K::Interface},
    {"label", K::Label},
    {"mod", K::Mod},
    {"not", K::Not},
    {"of", K::Of},
    {"or", K::Or},
    {"procedure", K::Procedure},
    {"record", K::Record},
    {"repeat", K::Repeat},
    {"set", K::Set},
    {"shl", K::Shl},
    {"shr", K::Shr},
    {"then", K::Then},
    {"to", K::To},
    {"type", K::Type},
    {"unit", K::Unit},
    {"until", K::Until},
    {"uses", K::Uses},
    {"var", K::Var},
    {"while", K::While},
    {"with", K::With},
    {"xor", K::Xor},
    {"", K::EndOfFile},
}};

constexpr std::array<std::pair<std::string_view, K>, 20> kSymbols{{
    {"+", K::Plus},        {"-", K::Minus},         {"*", K::Star},      {"/", K::Slash},
    {"=", K::Equal},       {"<>", K::NotEqual},     {"<", K::Less},      {"<=", K::LessEqual},
    {">", K::Greater},     {">=", K::GreaterEqual}, {"(", K::LeftParen}, {")", K::RightParen},
    {"[", K::LeftBracket}, {"]", K::RightBracket},  {",", K::Comma},     {";", K::Semicolon},
    {":", K::Colon},       {":=", K::Assign},       {".", K::Dot},       {"..", K::DotDot},
}};

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

class tScanner {
public:
    explicit tScanner(std::string_view source) : source_(source) {}

    std::vector<tScriptToken> Run() {
        if (source_.size() > tScriptLexer::kMaxSourceLength) {
            fail("source longer than " + std::to_string(tScriptLexer::kMaxSourceLength) + " bytes");
        }
        if (source_.substr(0, 3) == "\xEF\xBB\xBF") {
            advance(3);
            column_ = 1;
        }
        std::vector<tScriptToken>& tokens = tokens_;
        for (;;) {
            skipBlanksAndComments();
            tScriptToken token;
            token.pos = {line_, column_};
            start_ = token.pos;
            if (at_ >= source_.size()) {
                tokens.push_back(std::move(token));
                return std::move(tokens);
            }
            const char c = source_[at_];
            if (isLetter(c)) {
                identifier(token);
            } else if (isDigit(c) || c == '$') {
                number(token);
            } else if (c == '\'' || c == '#') {
                string(token);
            } else {
                symbol(token);
            }
            tokens.push_back(std::move(token));
            // Only the unit's last "end" is followed by a dot: what comes
            // after it is the teacher's notes, never read.
            if (endsUnit()) {
                tScriptToken end;
                end.pos = {line_, column_};
                tokens.push_back(std::move(end));
                return std::move(tokens);
            }
        }
    }

private:
    [[noreturn]] void fail(const std::string& reason) const {
        // The unit's name when its heading was read before the fault.
        const bool named =
            tokens_.size() >= 2 && tokens_[0].kind == K::Unit && tokens_[1].kind == K::Identifier;
        throw tError(scriptErrorText(named ? tokens_[1].text : "script", "", start_, reason));
    }

    bool endsUnit() const {
        const std::size_t n = tokens_.size();
        return n >= 2 && tokens_[n - 1].kind == K::Dot && tokens_[n - 2].kind == K::End;
    }

    char peek(std::size_t ahead = 0) const {
        return at_ + ahead < source_.size() ? source_[at_ + ahead] : '\0';
    }

    void advance(std::size_t count = 1) {
        for (std::size_t k = 0; k < count && at_ < source_.size(); ++k) {
            if (source_[at_++] == '\n') {
                ++line_;
                column_ = 1;
            } else {
                ++column_;
            }
        }
    }

    void skipBlanksAndComments() {
        for (;;) {
            start_ = {line_, column_};
            const char c = peek();
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
                advance();
            } else if (c == '/' && peek(1) == '/') {
                while (at_ < source_.size() && peek() != '\n') {
                    advance();
                }
            } else if (c == '{') {
                const std::size_t close = source_.find('}', at_);
                if (close == std::string_view::npos) {
                    fail("unterminated comment");
                }
                advance(close + 1 - at_);
            } else if (c == '(' && peek(1) == '*') {
                const std::size_t close = source_.find("*)", at_ + 2);
                if (close == std::string_view::npos) {
                    fail("unterminated comment");
                }
                advance(close + 2 - at_);
            } else {
                return;
            }
        }
    }

    void identifier(tScriptToken& token) {
        const std::size_t begin = at_;
        while (isLetter(peek()) || isDigit(peek())) {
            advance();
        }
        token.text = std::string(source_.substr(begin, at_ - begin));
        token.kind = K::Identifier;
        if (token.text.size() > 255) {
            fail("identifier longer than 255 characters");
        }
        std::string key;
        for (char c : token.text) {
            key += lower(c);
        }
        for (const auto& [word, kind] : kReserved) {
            if (word == key) {
                token.kind = kind;
                return;
            }
        }
    }

    void number(tScriptToken& token) {
        if (peek() == '$') {
            advance();
            const std::size_t begin = at_;
            while (isHexDigit(peek())) {
                advance();
            }
            if (at_ == begin) {
                fail("hexadecimal digits expected after '$'");
            }
            token.kind = K::Integer;
            integerValue(token, source_.substr(begin, at_ - begin), 16);
            return;
        }
        const std::size_t begin = at_;
        while (isDigit(peek())) {
            advance();
        }
        bool real = false;
        // "1..5" is a range, not the real "1." followed by ".5".
        if (peek() == '.' && isDigit(peek(1))) {
            real = true;
            advance();
            while (isDigit(peek())) {
                advance();
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            const std::size_t sign = (peek(1) == '+' || peek(1) == '-') ? 1 : 0;
            if (!isDigit(peek(1 + sign))) {
                fail("digits expected in the exponent of a real constant");
            }
            real = true;
            advance(1 + sign);
            while (isDigit(peek())) {
                advance();
            }
        }
        if (isLetter(peek())) {
            fail("invalid number");
        }
        const std::string_view text = source_.substr(begin, at_ - begin);
        if (!real) {
            token.kind = K::Integer;
            integerValue(token, text, 10);
            return;
        }
        token.kind = K::Real;
        // As StrToFloat reads it: too small is zero, too large an error.
        if (!scriptParseReal(text, token.real)) {
            fail("real constant out of range");
        }
    }

    void integerValue(tScriptToken& token, std::string_view digits, int base) {
        std::uint64_t value = 0;
        const auto result =
            std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
        if (result.ec != std::errc() || value > static_cast<std::uint64_t>(INT64_MAX)) {
            fail("integer constant too large");
        }
        token.integer = static_cast<std::int64_t>(value);
    }

    // 'It''s'#13#10'next': quoted parts and character codes, side by side.
    void string(tScriptToken& token) {
        token.kind = K::String;
        std::string value;
        for (;;) {
            if (peek() == '\'') {
                advance();
                for (;;) {
                    if (at_ >= source_.size() || peek() == '\n' || peek() == '\r') {
                        fail("unterminated string");
                    }
                    if (peek() == '\'') {
                        if (peek(1) != '\'') {
                            advance();
                            break;
                        }
                        advance();
                    }
                    value += peek();
                    advance();
                }
            } else if (peek() == '#') {
                advance();
                int base = 10;
                if (peek() == '$') {
                    base = 16;
                    advance();
                }
                const std::size_t begin = at_;
                while (base == 16 ? isHexDigit(peek()) : isDigit(peek())) {
                    advance();
                }
                unsigned code = 256;
                const std::string_view digits = source_.substr(begin, at_ - begin);
                std::from_chars(digits.data(), digits.data() + digits.size(), code, base);
                if (digits.empty() || code > 255) {
                    fail("character code 0 to 255 expected after '#'");
                }
                value += static_cast<char>(code);
            } else {
                break;
            }
            if (value.size() > tScriptValue::kMaxStringLength) {
                fail("string constant too long");
            }
        }
        token.text = std::move(value);
    }

    void symbol(tScriptToken& token) {
        const std::string_view two = source_.substr(at_, 2);
        for (const auto& [text, kind] : kSymbols) {
            if (text.size() == 2 && text == two) {
                token.kind = kind;
                advance(2);
                return;
            }
        }
        for (const auto& [text, kind] : kSymbols) {
            if (text.size() == 1 && text[0] == peek()) {
                token.kind = kind;
                advance();
                return;
            }
        }
        const auto byte = static_cast<unsigned char>(peek());
        if (byte >= 0x20 && byte < 0x7F) {
            fail(std::string("illegal character '") + peek() + "'");
        }
        char code[8];
        const auto end = std::to_chars(code, code + sizeof code, byte, 16).ptr;
        fail("illegal character #$" + std::string(code, end));
    }

    std::string_view source_;
    std::vector<tScriptToken> tokens_;
    std::size_t at_ = 0;
    int line_ = 1;
    int column_ = 1;
    tScriptPos start_{1, 1};
};

}  // namespace

std::string scriptErrorText(std::string_view unit, std::string_view routine, tScriptPos pos,
                            std::string_view reason) {
    std::string text(unit);
    if (!routine.empty()) {
        text += '.';
        text += routine;
    }
    text += '(' + std::to_string(pos.line) + ':' + std::to_string(pos.column) + "): ";
    text += reason;
    return text;
}

std::string scriptTokenKindName(tScriptTokenKind kind) {
    switch (kind) {
        case K::EndOfFile:
            return "end of file";
        case K::Identifier:
            return "identifier";
        case K::Integer:
            return "integer constant";
        case K::Real:
            return "real constant";
        case K::String:
            return "string constant";
        default:
            break;
    }
    // Appended rather than "'" + text: GCC 12 warns falsely on that form.
    std::string quoted = "'";
    for (const auto& [word, reserved] : kReserved) {
        if (reserved == kind) {
            quoted += word;
        }
    }
    for (const auto& [text, symbol] : kSymbols) {
        if (symbol == kind) {
            quoted += text;
        }
    }
    quoted += '\'';
    return quoted;
}

std::string scriptTokenName(const tScriptToken& token) {
    switch (token.kind) {
        case K::Identifier:
            return "identifier '" + token.text + "'";
        case K::Integer:
            return "integer " + std::to_string(token.integer);
        case K::Real:
            return "real " + scriptFormatReal(token.real);
        case K::String:
            return "string constant";
        default:
            return scriptTokenKindName(token.kind);
    }
}

std::vector<tScriptToken> tScriptLexer::Tokenize(std::string_view source) {
    return tScanner(source).Run();
}

}  // namespace vantrel
