#include "lang/LanguageFile.h"

#include "base/Encoding.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "base/IniFile.h"

namespace vantrel {

namespace {

// "\n" written in the file is a line break in the text.
std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> splitItems(std::string_view items) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t bar = items.find('|', pos);
        parts.emplace_back(items.substr(pos, bar == std::string_view::npos ? bar : bar - pos));
        if (bar == std::string_view::npos) {
            return parts;
        }
        pos = bar + 1;
    }
}

tLanguageFile tLanguageFile::FromFile(const std::string& fileName) {
    std::string bytes;
    if (!readFileIfExists(fileName, bytes)) {
        throw tError(fileOpenErrorText(fileName, systemErrorText(ENOENT)));
    }
    std::string text;
    decodeWindowsText(bytes, text);
    return FromText(text, fileName);
}

tLanguageFile tLanguageFile::FromText(std::string_view text, std::string fileName) {
    const tIniFile ini = tIniFile::FromText(text);
    tLanguageFile file;
    file.fileName_ = std::move(fileName);
    int id = 0;
    file.languageId_ = tryParseInt(ini.ReadString("Header", "LANGID"), id) ? id : 0;
    file.displayName_ = ini.ReadString("Header", "Name");
    for (std::string_view section : kSections) {
        std::vector<tTranslation>& list = file.translations_[std::string(section)];
        for (const auto& [key, value] : ini.ReadSection(section)) {
            const std::size_t dot = key.find('.');
            if (dot == std::string::npos || dot == 0 || dot + 1 == key.size()) {
                continue;  // not objectName.Property: nothing it could apply to
            }
            list.push_back({key.substr(0, dot), key.substr(dot + 1), unescape(value)});
        }
    }
    for (const auto& [key, value] : ini.ReadSection("Constants")) {
        file.constants_[key] = unescape(value);
    }
    for (const auto& [key, value] : ini.ReadSection("Messages")) {
        int number = 0;
        if (tryParseInt(key, number)) {
            file.messages_[number] = unescape(value);
        }
    }
    for (const auto& [key, value] : ini.ReadSection("Qt")) {
        file.qtTexts_[key] = unescape(value);
    }
    return file;
}

const std::vector<tTranslation>& tLanguageFile::Translations(std::string_view section) const {
    static const std::vector<tTranslation> none;
    const auto found = translations_.find(section);
    return found == translations_.end() ? none : found->second;
}

bool tLanguageFile::Find(std::string_view section, std::string_view object,
                         std::string_view property, std::string& text) const {
    for (const tTranslation& t : Translations(section)) {
        if (equalsIgnoreCase(t.object, object) && equalsIgnoreCase(t.property, property)) {
            text = t.text;
            return true;
        }
    }
    return false;
}

}  // namespace vantrel
