#include "lang/LanguageList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/LogFile.h"
#include "base/Paths.h"
#include "base/Texts.h"
#include "charts/Quantities.h"
#include "lang/LanguageFile.h"

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

std::string localeTagOf(int id) {
    for (const tKnownLanguage& known : kKnown) {
        if (known.id == id) {
            return known.tag;
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
            if (path.extension() != ".lng" || !it->is_regular_file(ec)) {
                continue;
            }
            try {
                const tLanguageFile file = tLanguageFile::FromFile(utf8FromPath(path));
                const int id = file.LanguageId();
                // Exports written in that language name its quantities so.
                for (int q = 0; q < kQuantityCount; ++q) {
                    const auto name = file.Constants().find(quantityInfo[q].nameConstant);
                    if (name != file.Constants().end()) {
                        addQuantityAlias(q, name->second);
                    }
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
