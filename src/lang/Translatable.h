#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// A text of a window or frame that a language file translates.
struct tTranslatable {
    std::string_view section;  // TfmMain, TfmAbout, TfrActuator
    std::string key;           // objectName.Property
};

// Every translatable text of the program's windows and frames: what a
// complete language file holds besides its constants.
const std::vector<tTranslatable>& translatableTexts();

}  // namespace vantrel
