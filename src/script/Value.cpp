#include "script/Value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "script/Fault.h"

namespace vantrel {

namespace {

constexpr std::int64_t kMaxInt = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMinInt = std::numeric_limits<std::int64_t>::min();
// 2^63: the first double above the Int64 range.
constexpr double kIntLimit = 9223372036854775808.0;

[[noreturn]] void overflow() {
    scriptFailOverflow();
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Whether a type `bits` wide (below 64) holds `a`.
bool holds(std::int64_t a, int bits, bool isSigned) {
    const std::int64_t span = std::int64_t{1} << bits;
    return isSigned ? a >= -span / 2 && a < span / 2 : a >= 0 && a < span;
}

// The low `bits` of `u` as a value of the type.
std::int64_t narrowed(std::uint64_t u, int bits, bool isSigned) {
    const std::uint64_t span = std::uint64_t{1} << bits;
    u &= span - 1;
    if (isSigned && u >= span / 2) {
        return static_cast<std::int64_t>(u) - static_cast<std::int64_t>(span);
    }
    return static_cast<std::int64_t>(u);
}

// For a number text from_chars found out of range: whether it is too small
// (its first significant digit lies after the decimal point once the
// exponent is applied) rather than too large.
bool belowRealRange(std::string_view text) {
    const std::size_t e = std::min(text.find_first_of("eE"), text.size());
    const std::string_view mantissa = text.substr(0, e);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) {
        return true;
    }
    std::int64_t order = first < point ? static_cast<std::int64_t>(point - first) - 1
                                       : -static_cast<std::int64_t>(first - point);
    std::string_view exponent = text.substr(std::min(e + 1, text.size()));
    const bool negative = !exponent.empty() && exponent.front() == '-';
    if (!exponent.empty() && (exponent.front() == '-' || exponent.front() == '+')) {
        exponent.remove_prefix(1);
    }
    // Saturated: far beyond any double, and no overflow however long.
    std::int64_t power = 0;
    for (char c : exponent) {
        power = std::min<std::int64_t>(power * 10 + (c - '0'), 1'000'000'000);
    }
    order += negative ? -power : power;
    return order < 0;
}

std::int64_t checkedRealToInt(double v) {
    if (std::isnan(v)) {
        throw tScriptFault("invalid floating point operation");
    }
    if (!(v >= -kIntLimit && v < kIntLimit)) {
        throw tScriptFault(scriptFormatReal(v) + " does not fit an integer");
    }
    return static_cast<std::int64_t>(v);
}

// A Variant read as a number: integers stay integers, strings become
// whichever kind they spell.
struct tNumber {
    bool isInteger = true;
    std::int64_t i = 0;
    double r = 0;

    double Real() const { return isInteger ? static_cast<double>(i) : r; }
};

tNumber numberOf(const tScriptValue& v) {
    using K = tScriptValue::tKind;
    tNumber n;
    switch (v.kind) {
        case K::Empty:
            break;
        case K::Integer:
            n.i = v.i;
            break;
        case K::Real:
            n.isInteger = false;
            n.r = v.r;
            break;
        case K::Boolean:
            n.i = v.b ? -1 : 0;
            break;
        case K::String:
            if (!scriptParseInteger(v.s, n.i)) {
                n.isInteger = false;
                if (!scriptParseReal(v.s, n.r)) {
                    throw tScriptFault("cannot convert " + v.Describe() + " to a number");
                }
            }
            break;
    }
    return n;
}

// The text of a string value; stale text behind another kind is ignored.
std::string_view textOf(const tScriptValue& v) {
    return v.kind == tScriptValue::tKind::String ? std::string_view(v.s) : std::string_view();
}

bool isTextual(const tScriptValue& v) {
    return v.kind == tScriptValue::tKind::String || v.kind == tScriptValue::tKind::Empty;
}

bool isLogical(const tScriptValue& v) {
    return v.kind == tScriptValue::tKind::Boolean || v.kind == tScriptValue::tKind::Empty;
}

}  // namespace

tScriptValue tScriptValue::Integer(std::int64_t v) {
    tScriptValue value;
    value.SetInteger(v);
    return value;
}

tScriptValue tScriptValue::Real(double v) {
    tScriptValue value;
    value.SetReal(v);
    return value;
}

tScriptValue tScriptValue::Boolean(bool v) {
    tScriptValue value;
    value.SetBoolean(v);
    return value;
}

tScriptValue tScriptValue::String(std::string v) {
    tScriptValue value;
    value.kind = tKind::String;
    value.s = std::move(v);
    return value;
}

std::int64_t tScriptValue::ToInteger() const {
    switch (kind) {
        case tKind::Empty:
            return 0;
        case tKind::Integer:
            return i;
        case tKind::Real:
            return scriptRound(r);
        case tKind::Boolean:
            return b ? -1 : 0;
        case tKind::String: {
            std::int64_t value = 0;
            if (!scriptParseInteger(s, value)) {
                throw tScriptFault("cannot convert " + Describe() + " to an integer");
            }
            return value;
        }
    }
    return 0;
}

double tScriptValue::ToReal() const {
    switch (kind) {
        case tKind::Empty:
            return 0;
        case tKind::Integer:
            return static_cast<double>(i);
        case tKind::Real:
            return r;
        case tKind::Boolean:
            return b ? -1 : 0;
        case tKind::String: {
            double value = 0;
            if (!scriptParseReal(s, value)) {
                throw tScriptFault("cannot convert " + Describe() + " to a real");
            }
            return value;
        }
    }
    return 0;
}

bool tScriptValue::ToBoolean() const {
    switch (kind) {
        case tKind::Empty:
            return false;
        case tKind::Integer:
            return i != 0;
        case tKind::Real:
            return r != 0;
        case tKind::Boolean:
            return b;
        case tKind::String: {
            const std::string_view text = trimBlanks(s);
            auto equalsWord = [&](std::string_view word) {
                if (text.size() != word.size()) {
                    return false;
                }
                for (std::size_t k = 0; k < text.size(); ++k) {
                    char c = text[k];
                    if (c >= 'A' && c <= 'Z') {
                        c = static_cast<char>(c - 'A' + 'a');
                    }
                    if (c != word[k]) {
                        return false;
                    }
                }
                return true;
            };
            if (equalsWord("true")) {
                return true;
            }
            if (equalsWord("false")) {
                return false;
            }
            throw tScriptFault("cannot convert " + Describe() + " to a boolean");
        }
    }
    return false;
}

std::string tScriptValue::ToString() const {
    switch (kind) {
        case tKind::Empty:
            return {};
        case tKind::Integer:
            return std::to_string(i);
        case tKind::Real:
            return scriptFormatReal(r);
        case tKind::Boolean:
            return b ? "True" : "False";
        case tKind::String:
            return s;
    }
    return {};
}

std::string tScriptValue::Describe() const {
    switch (kind) {
        case tKind::Empty:
            return "empty";
        case tKind::String: {
            constexpr std::size_t kShown = 40;
            std::string shown = "'";
            shown += std::string_view(s).substr(0, kShown);
            shown += s.size() > kShown ? "...'" : "'";
            return shown;
        }
        default:
            return ToString();
    }
}

const char* scriptKindName(tScriptValue::tKind kind) {
    switch (kind) {
        case tScriptValue::tKind::Empty:
            return "empty";
        case tScriptValue::tKind::Integer:
            return "Integer";
        case tScriptValue::tKind::Real:
            return "Real";
        case tScriptValue::tKind::Boolean:
            return "Boolean";
        case tScriptValue::tKind::String:
            return "String";
    }
    return "?";
}

std::int64_t scriptAdd(std::int64_t a, std::int64_t b) {
    if ((b > 0 && a > kMaxInt - b) || (b < 0 && a < kMinInt - b)) {
        overflow();
    }
    return a + b;
}

std::int64_t scriptSubtract(std::int64_t a, std::int64_t b) {
    if ((b < 0 && a > kMaxInt + b) || (b > 0 && a < kMinInt + b)) {
        overflow();
    }
    return a - b;
}

std::int64_t scriptMultiply(std::int64_t a, std::int64_t b) {
    if (a > 0) {
        if (b > 0 ? a > kMaxInt / b : b < kMinInt / a) {
            overflow();
        }
    } else if (a < 0) {
        if (b > 0 ? a < kMinInt / b : (b != 0 && b < kMaxInt / a)) {
            overflow();
        }
    }
    return a * b;
}

std::int64_t scriptNegate(std::int64_t a) {
    if (a == kMinInt) {
        overflow();
    }
    return -a;
}

std::int64_t scriptIntDiv(std::int64_t a, std::int64_t b) {
    if (b == 0) {
        throw tScriptFault("division by zero");
    }
    if (a == kMinInt && b == -1) {
        overflow();
    }
    return a / b;
}

std::int64_t scriptMod(std::int64_t a, std::int64_t b) {
    if (b == 0) {
        throw tScriptFault("division by zero");
    }
    if (b == -1) {
        return 0;
    }
    return a % b;
}

std::int64_t scriptNot(std::int64_t a, int bits, bool isSigned) {
    if (bits >= 64 || !holds(a, bits, isSigned)) {
        return ~a;
    }
    return narrowed(~static_cast<std::uint64_t>(a), bits, isSigned);
}

// The count modulo the width, as the processor's shift instructions take it.
std::int64_t scriptShl(std::int64_t a, std::int64_t count, int bits, bool isSigned) {
    if (bits >= 64 || !holds(a, bits, isSigned)) {
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) << (count & 63));
    }
    const auto n = static_cast<unsigned>(count & (bits - 1));
    return narrowed(static_cast<std::uint64_t>(a) << n, bits, isSigned);
}

std::int64_t scriptShr(std::int64_t a, std::int64_t count, int bits, bool isSigned) {
    if (bits >= 64 || !holds(a, bits, isSigned)) {
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) >> (count & 63));
    }
    const auto n = static_cast<unsigned>(count & (bits - 1));
    const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
    return narrowed((static_cast<std::uint64_t>(a) & mask) >> n, bits, isSigned);
}

void scriptFailOverflow() {
    throw tScriptFault("integer overflow");
}

void scriptFailNotFinite(double v) {
    throw tScriptFault(std::isnan(v) ? "invalid floating point operation"
                                     : "floating point overflow");
}

double scriptDivide(double a, double b) {
    if (b == 0) {
        throw tScriptFault("division by zero");
    }
    return scriptCheckReal(a / b);
}

double scriptToSingle(double v) {
    if (std::fabs(v) > std::numeric_limits<float>::max()) {
        throw tScriptFault("floating point overflow");
    }
    return static_cast<double>(static_cast<float>(v));
}

std::int64_t scriptRound(double v) {
    // Not std::nearbyint: the host may have changed the rounding mode.
    double whole = std::floor(v);
    const double rest = v - whole;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0)) {
        whole += 1;
    }
    return checkedRealToInt(std::isnan(v) ? v : whole);
}

std::int64_t scriptTrunc(double v) {
    return checkedRealToInt(std::trunc(v));
}

std::string scriptFormatReal(double v) {
    if (std::isnan(v)) {
        return "NAN";
    }
    if (std::isinf(v)) {
        return v < 0 ? "-INF" : "INF";
    }
    if (v == 0) {
        return "0";
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::scientific, 14);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = text.find('e');
    const bool negative = text.front() == '-';
    std::string digits;
    for (char c : text.substr(0, e)) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    int exponent = 0;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exponent);
    std::string out = negative ? "-" : "";
    if (exponent >= -5 && exponent < 15) {
        if (exponent < 0) {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += digits;
        } else {
            const auto whole = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= whole) {
                out += digits + std::string(whole - digits.size(), '0');
            } else {
                out += digits.substr(0, whole) + "." + digits.substr(whole);
            }
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'E';
        out += std::to_string(exponent);
    }
    return out;
}

bool scriptParseInteger(std::string_view text, std::int64_t& value) {
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return false;
    }
    std::uint64_t magnitude = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return false;
    }
    constexpr auto kLimit = static_cast<std::uint64_t>(kMaxInt);
    if (magnitude > kLimit + (negative ? 1 : 0)) {
        return false;
    }
    value =
        negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

bool scriptParseReal(std::string_view text, double& value) {
    text = trimBlanks(text);
    // One sign, taken here: from_chars would read "+-1" as the "-1" after it.
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Digits, one separator and an exponent only: from_chars alone would also
    // take "inf" and "nan". Units written on a Russian system use a comma.
    std::string plain;
    for (char c : text) {
        if (c == ',') {
            c = '.';
        }
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+')) {
            return false;
        }
        plain += c;
    }
    if (plain.empty() || plain.front() == '-' || plain.front() == '+') {
        return false;
    }
    double parsed = 0;
    const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), parsed);
    if (result.ptr != plain.data() + plain.size()) {
        return false;
    }
    if (result.ec == std::errc::result_out_of_range && belowRealRange(plain)) {
        parsed = 0;
    } else if (result.ec != std::errc()) {
        return false;
    }
    value = negative ? -parsed : parsed;
    return true;
}

void scriptApply(tScriptOperator op, const tScriptValue& a, const tScriptValue& b,
                 tScriptValue& out) {
    using O = tScriptOperator;
    switch (op) {
        case O::Add:
            if (isTextual(a) && isTextual(b) &&
                (a.kind != b.kind || a.kind != tScriptValue::tKind::Empty)) {
                const std::string_view p = textOf(a);
                const std::string_view q = textOf(b);
                if (p.size() + q.size() > tScriptValue::kMaxStringLength) {
                    throw tScriptFault("string longer than " +
                                       std::to_string(tScriptValue::kMaxStringLength) +
                                       " characters");
                }
                std::string joined;
                joined.reserve(p.size() + q.size());
                joined += p;
                joined += q;
                out.kind = tScriptValue::tKind::String;
                out.s = std::move(joined);
                return;
            }
            [[fallthrough]];
        case O::Subtract:
        case O::Multiply: {
            const tNumber x = numberOf(a);
            const tNumber y = numberOf(b);
            if (x.isInteger && y.isInteger) {
                out.SetInteger(op == O::Add        ? scriptAdd(x.i, y.i)
                               : op == O::Subtract ? scriptSubtract(x.i, y.i)
                                                   : scriptMultiply(x.i, y.i));
            } else {
                const double p = x.Real();
                const double q = y.Real();
                out.SetReal(scriptCheckReal(op == O::Add        ? p + q
                                            : op == O::Subtract ? p - q
                                                                : p * q));
            }
            return;
        }
        case O::Divide: {
            const double p = numberOf(a).Real();
            const double q = numberOf(b).Real();
            out.SetReal(scriptDivide(p, q));
            return;
        }
        case O::And:
        case O::Or:
        case O::Xor:
            if (isLogical(a) && isLogical(b)) {
                const bool p = a.kind == tScriptValue::tKind::Boolean && a.b;
                const bool q = b.kind == tScriptValue::tKind::Boolean && b.b;
                out.SetBoolean(op == O::And ? (p && q) : op == O::Or ? (p || q) : (p != q));
                return;
            }
            [[fallthrough]];
        case O::IntDiv:
        case O::Mod:
        case O::Shl:
        case O::Shr: {
            const std::int64_t p = a.ToInteger();
            const std::int64_t q = b.ToInteger();
            std::int64_t v = 0;
            switch (op) {
                case O::IntDiv:
                    v = scriptIntDiv(p, q);
                    break;
                case O::Mod:
                    v = scriptMod(p, q);
                    break;
                case O::Shl:
                    v = scriptShl(p, q, 64, true);
                    break;
                case O::Shr:
                    v = scriptShr(p, q, 64, true);
                    break;
                case O::And:
                    v = p & q;
                    break;
                case O::Or:
                    v = p | q;
                    break;
                default:
                    v = p ^ q;
                    break;
            }
            out.SetInteger(v);
            return;
        }
        case O::Equal:
        case O::NotEqual:
        case O::Less:
        case O::LessEqual:
        case O::Greater:
        case O::GreaterEqual:
            out.SetBoolean(scriptCompare(op, a, b));
            return;
        case O::Not:
        case O::Negate:
            scriptApplyUnary(op, a, out);
            return;
    }
}

void scriptApplyUnary(tScriptOperator op, const tScriptValue& a, tScriptValue& out) {
    if (op == tScriptOperator::Not) {
        if (a.kind == tScriptValue::tKind::Boolean) {
            out.SetBoolean(!a.b);
        } else {
            out.SetInteger(~a.ToInteger());
        }
        return;
    }
    const tNumber x = numberOf(a);
    if (x.isInteger) {
        out.SetInteger(scriptNegate(x.i));
    } else {
        out.SetReal(-x.r);
    }
}

bool scriptCompare(tScriptOperator op, const tScriptValue& a, const tScriptValue& b) {
    using K = tScriptValue::tKind;
    if (isTextual(a) && isTextual(b) && (a.kind == K::String || b.kind == K::String)) {
        return scriptRelation(op, textOf(a), textOf(b));
    }
    if (a.kind == K::Boolean && b.kind == K::Boolean) {
        return scriptRelation(op, a.b, b.b);
    }
    const tNumber x = numberOf(a);
    const tNumber y = numberOf(b);
    if (x.isInteger && y.isInteger) {
        return scriptRelation(op, x.i, y.i);
    }
    return scriptRelation(op, x.Real(), y.Real());
}

}  // namespace vantrel
