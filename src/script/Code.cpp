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
