#include "session/ActionList.h"

#include "base/Error.h"
#include "base/Functions.h"
#include "lang/LanguageFile.h"

namespace vantrel {

tAction& tActionList::Add(std::string name, std::string caption, std::vector<std::string> shortcuts,
                          std::string hint, tAction::tHandler execute, tAction::tHandler update) {
    tAction::tHandler rule = [this, update = std::move(update)](tAction& a) {
        if (update) {
            update(a);
        } else {
            a.SetEnabled(true);
        }
        if (held_ && a.Name() != exempt_) {
            a.SetEnabled(false);
        }
    };
    actions_.push_back(std::make_unique<tAction>(std::move(name), std::move(caption),
                                                 std::move(shortcuts), std::move(hint),
                                                 std::move(execute), std::move(rule)));
    return *actions_.back();
}

tAction* tActionList::Find(std::string_view name) const {
    for (const auto& a : actions_) {
        if (a->Name() == name) {
            return a.get();
        }
    }
    return nullptr;
}

tAction& tActionList::Get(std::string_view name) const {
    tAction* a = Find(name);
    if (a == nullptr) {
        throw tError("Unknown action " + std::string(name));
    }
    return *a;
}

void tActionList::UpdateAll() {
    for (const auto& a : actions_) {
        a->Update();
    }
}

void tActionList::Translate(const tLanguageFile& file, const std::string& section) {
    for (const tTranslation& t : file.Translations(section)) {
        tAction* a = Find(t.object);
        if (a == nullptr) {
            continue;
        }
        if (equalsIgnoreCase(t.property, "Caption")) {
            a->SetCaption(t.text);
        } else if (equalsIgnoreCase(t.property, "Hint")) {
            a->SetHint(t.text);
        } else if (equalsIgnoreCase(t.property, "SecondaryShortCuts") && !a->Shortcuts().empty()) {
            std::vector<std::string> keys{a->Shortcuts().front()};
            for (std::string& key : splitItems(t.text)) {
                if (!key.empty()) {
                    keys.push_back(std::move(key));
                }
            }
            a->SetShortcuts(std::move(keys));
        }
    }
}

}  // namespace vantrel
