#pragma once

#include <string>
#include <vector>

namespace vantrel {

class tLanguageFile;
class tSettings;

// A language file's constants, numbered messages and quantity names: what
// every text the program writes (files, messages) is made of, beside the
// window's own texts.
void applyLanguageTexts(const tLanguageFile& file, int languageId);

// Without a window: the language `settings` name (LanguageID), looked up
// among the .lng files of `languageFolders`, gets its texts applied; the
// built-in texts stay when it is the built-in one, unknown or damaged.
// Exports written in any of those languages read back afterwards.
void applyConfiguredLanguage(const tSettings& settings,
                             const std::vector<std::string>& languageFolders);

}  // namespace vantrel
