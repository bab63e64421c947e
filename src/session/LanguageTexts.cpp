#include "session/LanguageTexts.h"

#include <string>

#include "base/NumberSetting.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "lang/LanguageFile.h"
#include "lang/LanguageList.h"
#include "run/Quantities.h"

namespace vantrel {

void applyLanguageTexts(const tLanguageFile& file, int languageId) {
    for (const auto& [name, text] : file.Constants()) {
        setConstantTranslation(name, text);
    }
    setMessageTranslations(file.Messages());
    setMessageLanguage(languageId);
    for (int n = 0; n < kQuantityCount; ++n) {
        quantityNames[n] = constantText("DK_SENS_" + std::to_string(n));
    }
}

void applyConfiguredLanguage(const tSettings& settings,
                             const std::vector<std::string>& languageFolders) {
    const int id = static_cast<int>(readNumberSetting(settings, keys::kLanguageId));
    const tLanguageList languages = tLanguageList::Scan(languageFolders);
    addExportTitles(languages.ExportTitles());
    const tLanguage& language =
        languages.Entries()[static_cast<std::size_t>(languages.IndexOf(id))];
    if (language.fileName.empty()) {
        return;
    }
    try {
        applyLanguageTexts(tLanguageFile::FromFile(language.fileName), language.id);
    } catch (const std::exception&) {
        // A damaged file: the built-in texts, as the window falls back to them.
    }
}

}  // namespace vantrel
