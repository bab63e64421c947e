#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "session/Action.h"

namespace vantrel {

class tLanguageFile;

// The main window's actions in menu order, found by name. While the list is
// held (a search for the station runs), every action but the one named
// stays disabled whatever its own rule says, also when executed from code.
class tActionList {
public:
    tAction& Add(std::string name, std::string caption, std::vector<std::string> shortcuts,
                 std::string hint, tAction::tHandler execute, tAction::tHandler update);

    const std::vector<std::unique_ptr<tAction>>& All() const { return actions_; }
    tAction* Find(std::string_view name) const;
    // tError for a name the list does not hold.
    tAction& Get(std::string_view name) const;
    void UpdateAll();
    // Captions, hints and further shortcuts of the actions a language file
    // translates in `section` (the first shortcut stays).
    void Translate(const tLanguageFile& file, const std::string& section);

    void Hold(std::string exempt) {
        held_ = true;
        exempt_ = std::move(exempt);
    }
    void Release() { held_ = false; }

private:
    std::vector<std::unique_ptr<tAction>> actions_;
    bool held_ = false;
    std::string exempt_;
};

}  // namespace vantrel
