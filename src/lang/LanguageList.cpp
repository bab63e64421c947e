#include "lang/LanguageList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/Files.h"
#include "base/LogFile.h"
#include "base/Paths.h"
#include "base/Texts.h"
#include "lang/LanguageFile.h"
#include "run/Quantities.h"

namespace vantrel {

namespace {

struct tKnownLanguage {
    int id;
    const char* tag;
    const char* name;  // as its speakers write it
};

constexpr tKnownLanguage kKnown[] = {
    {1049, "ru_RU", "Русский"},    {1087, "kk_KZ", "Қазақ тілі"}, {1033, "en_US", "English"},
    {1058, "uk_UA", "Українська"}, {1059, "be_BY", "Беларуская"}, {1091, "uz_UZ", "Oʻzbek"},
    {1092, "tt_RU", "Татар"},      {1055, "tr_TR", "Türkçe"},     {1031, "de_DE", "Deutsch"},
    {1036, "fr_FR", "Français"},
};

}  // namespace

// Windows' primary language numbers (the low ten bits of a language
// identifier) and their ISO 639 codes: enough for Qt to name a language
// that the program does not ship.
struct tPrimaryLanguage {
    int primary;
    const char* code;
};

constexpr tPrimaryLanguage kPrimary[] = {
    {0x01, "ar"}, {0x02, "bg"}, {0x03, "ca"}, {0x04, "zh"}, {0x05, "cs"}, {0x06, "da"},
    {0x07, "de"}, {0x08, "el"}, {0x09, "en"}, {0x0a, "es"}, {0x0b, "fi"}, {0x0c, "fr"},
    {0x0d, "he"}, {0x0e, "hu"}, {0x0f, "is"}, {0x10, "it"}, {0x11, "ja"}, {0x12, "ko"},
    {0x13, "nl"}, {0x14, "nb"}, {0x15, "pl"}, {0x16, "pt"}, {0x18, "ro"}, {0x19, "ru"},
    {0x1a, "hr"}, {0x1b, "sk"}, {0x1c, "sq"}, {0x1d, "sv"}, {0x1e, "th"}, {0x1f, "tr"},
    {0x20, "ur"}, {0x21, "id"}, {0x22, "uk"}, {0x23, "be"}, {0x24, "sl"}, {0x25, "et"},
    {0x26, "lv"}, {0x27, "lt"}, {0x28, "tg"}, {0x29, "fa"}, {0x2a, "vi"}, {0x2b, "hy"},
    {0x2c, "az"}, {0x2d, "eu"}, {0x2f, "mk"}, {0x36, "af"}, {0x37, "ka"}, {0x39, "hi"},
    {0x3e, "ms"}, {0x3f, "kk"}, {0x40, "ky"}, {0x41, "sw"}, {0x42, "tk"}, {0x43, "uz"},
    {0x44, "tt"}, {0x50, "mn"},
};

std::string localeTagOf(int id) {
    for (const tKnownLanguage& known : kKnown) {
        if (known.id == id) {
            return known.tag;
        }
    }
    for (const tPrimaryLanguage& language : kPrimary) {
        if (language.primary == (id & 0x3ff)) {
            return language.code;
        }
    }
    return {};
}

std::string languageDisplayName(int id, const std::string& systemName) {
    if (!systemName.empty()) {
        return systemName;
    }
    for (const tKnownLanguage& known : kKnown) {
        if (known.id == id) {
            return known.name;
        }
    }
    return std::to_string(id);
}

tLanguageList tLanguageList::Scan(const std::vector<std::string>& folders,
                                  const tSystemName& systemName) {
    const auto nameOf = [&](int id) {
        return languageDisplayName(id, systemName ? systemName(id) : std::string());
    };
    tLanguageList list;
    list.entries_.push_back({kLangRussian, nameOf(kLangRussian), {}});
    for (const std::string& folder : folders) {
        std::error_code ec;
        for (std::filesystem::directory_iterator it(pathFromUtf8(folder), ec), end;
             !ec && it != end; it.increment(ec)) {
            const std::filesystem::path& path = it->path();
            if (!hasExtension(utf8FromPath(path), ".lng") || !it->is_regular_file(ec)) {
                continue;
            }
            try {
                const tLanguageFile file = tLanguageFile::FromFile(utf8FromPath(path));
                const int id = file.LanguageId();
                for (int q = 0; q < kQuantityCount; ++q) {
                    const auto name = file.Constants().find(quantityInfo[q].nameConstant);
                    if (name != file.Constants().end()) {
                        list.exportTitles_.quantities[static_cast<std::size_t>(q)].push_back(
                            name->second);
                    }
                }
                const auto mark = file.Constants().find("DK_TABLE_MARK");
                if (mark != file.Constants().end()) {
                    list.exportTitles_.mark.push_back(mark->second);
                }
                if (id == 0 || id == kLangRussian || list.IndexOf(id) != 0) {
                    continue;
                }
                list.entries_.push_back({id, nameOf(id), utf8FromPath(path)});
            } catch (const std::exception& e) {
                // One unreadable file costs its language, not the start.
                logFile->WriteLine(e.what());
            }
        }
    }
    return list;
}

int tLanguageList::IndexOf(int id) const {
    for (std::size_t i = 1; i < entries_.size(); ++i) {
        if (entries_[i].id == id) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

}  // namespace vantrel
