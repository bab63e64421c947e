#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lang/LanguageList.h"

namespace vantrel {

class iSessionView;
class iWindowParts;
class tLanguageFile;
class tSettings;

// The language of the program's texts: the languages the .lng files offer,
// the one the configuration names (LanguageID) applied at start, and a new
// choice stored for the next start.
class tLanguageChoice {
public:
    // Nothing is owned.
    tLanguageChoice(tSettings& settings, iSessionView& view, iWindowParts& window);

    // What the controller translates of its own (actions, keys, choosers),
    // between the texts every file and message is made of and the window's.
    using tOwnTexts = std::function<void(const tLanguageFile&)>;
    // The list from the .lng files of `folders` (the program's folder
    // first), the language menu, and the configured language applied. A
    // file gone since the list was made is logged and the built-in texts
    // stay. True when a language file was applied.
    bool Apply(const std::vector<std::string>& folders, const tOwnTexts& ownTexts);
    // A language menu item was chosen: stored at once for the next start.
    void Change(int index);

    const tLanguageList& Languages() const { return languages_; }
    int Index() const { return index_; }

private:
    tSettings& settings_;
    iSessionView& view_;
    iWindowParts& window_;
    tLanguageList languages_;
    int index_ = 0;
};

}  // namespace vantrel
