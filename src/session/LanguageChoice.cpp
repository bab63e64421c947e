#include "session/LanguageChoice.h"

#include <exception>
#include <string>

#include "base/LogFile.h"
#include "base/NumberSetting.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "lang/LanguageFile.h"
#include "run/Quantities.h"
#include "session/LanguageTexts.h"
#include "session/SessionView.h"
#include "session/WindowParts.h"

namespace vantrel {

tLanguageChoice::tLanguageChoice(tSettings& settings, iSessionView& view, iWindowParts& window)
    : settings_(settings), view_(view), window_(window) {}

bool tLanguageChoice::Apply(const std::vector<std::string>& folders, const tOwnTexts& ownTexts) {
    languages_ = tLanguageList::Scan(folders, [this](int id) { return window_.LanguageName(id); });
    // Exports written in any of them read back, whichever one is chosen.
    addExportTitles(languages_.ExportTitles());
    index_ = languages_.IndexOf(static_cast<int>(readNumberSetting(settings_, keys::kLanguageId)));
    std::vector<std::string> names;
    for (const tLanguage& language : languages_.Entries()) {
        names.push_back(language.name);
    }
    window_.SetLanguageMenu(names, index_);

    const tLanguage& language = languages_.Entries()[static_cast<std::size_t>(index_)];
    std::unique_ptr<tLanguageFile> file;
    if (!language.fileName.empty()) {
        try {
            file = std::make_unique<tLanguageFile>(tLanguageFile::FromFile(language.fileName));
        } catch (const std::exception& e) {
            logFile->WriteLine(e.what());
        }
    }
    if (file == nullptr) {
        window_.ApplyLanguage(kLangRussian, nullptr);
        return false;
    }
    applyLanguageTexts(*file, language.id);
    ownTexts(*file);
    window_.ApplyLanguage(language.id, file.get());
    return true;
}

void tLanguageChoice::Change(int index) {
    if (index < 0 || index >= static_cast<int>(languages_.Entries().size())) {
        index = 0;
    }
    if (index == index_) {
        return;
    }
    settings_.SetSettingByName(
        "LanguageID", std::to_string(languages_.Entries()[static_cast<std::size_t>(index)].id));
    settings_.Save();
    index_ = index;
    window_.CheckLanguage(index);
    view_.ShowInformation("Restart application to apply changes.", messageText(20001));
}

}  // namespace vantrel
