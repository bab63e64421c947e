#include "script/Code.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace vantrel {

namespace {

constexpr std::array<std::pair<std::string_view, tScriptType>, 14> kTypeNames{{
    {"byte", tScriptType::Byte},
    {"word", tScriptType::Word},
    {"integer", tScriptType::Integer},
    {"longint", tScriptType::Integer},
    {"cardinal", tScriptType::Cardinal},
    {"longword", tScriptType::Cardinal},
    {"int64", tScriptType::Int64},
    {"single", tScriptType::Single},
    {"real", tScriptType::Real},
    {"double", tScriptType::Real},
    {"extended", tScriptType::Real},
    {"boolean", tScriptType::Boolean},
    {"string", tScriptType::String},
    {"variant", tScriptType::Variant},
}};

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

}  // namespace

tScriptType scriptClassOf(tScriptType type) {
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

const char* scriptTypeName(tScriptType type) {
    switch (type) {
        case tScriptType::Byte:
            return "Byte";
        case tScriptType::Word:
            return "Word";
        case tScriptType::Integer:
            return "Integer";
        case tScriptType::Cardinal:
            return "Cardinal";
        case tScriptType::Int64:
            return "Integer";
        case tScriptType::Single:
            return "Single";
        case tScriptType::Real:
            return "Real";
        case tScriptType::Boolean:
            return "Boolean";
        case tScriptType::String:
            return "String";
        case tScriptType::Variant:
            return "Variant";
        case tScriptType::None:
            return "no value";
    }
    return "?";
}

tScriptType scriptTypeFromName(std::string_view lowerName) {
    for (const auto& [name, type] : kTypeNames) {
        if (name == lowerName) {
            return type;
        }
    }
    return tScriptType::None;
}

tScriptValue::tKind scriptKindOf(tScriptType type) {
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

bool scriptTypeRange(tScriptType type, std::int64_t& low, std::int64_t& high) {
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

int tScriptCode::FindRoutine(std::string_view name) const {
    for (std::size_t k = 0; k < functions.size(); ++k) {
        if (static_cast<int>(k) != initialization && !functions[k].name.empty() &&
            sameName(functions[k].name, name)) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

}  // namespace vantrel
