// Feeds arbitrary bytes as a language file, looks its translations up the
// way the windows do, and applies its constants and messages as the
// controller does before formatting every run-time text with arguments.
// Every translation read must be found again by its object and property.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Texts.h"
#include "lang/LanguageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrel;
    const tLanguageFile file =
        tLanguageFile::FromText(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string text;
    for (std::string_view section : tLanguageFile::kSections) {
        for (const tTranslation& t : file.Translations(section)) {
            if (t.object.empty() || t.property.empty() || t.object.find('.') != std::string::npos ||
                !file.Find(section, t.object, t.property, text)) {
                std::abort();
            }
            if (splitItems(t.text).empty()) {
                std::abort();
            }
        }
    }
    file.Find("TfmMain", "vleData", "Keys", text);
    file.Find("TfrActuator", "lbName", "Caption", text);

    for (const auto& [name, value] : file.Constants()) {
        setConstantTranslation(name, value);
    }
    setMessageTranslations(file.Messages());
    setMessageLanguage(file.LanguageId());
    for (std::string_view name : constantNames()) {
        formatText(constantText(name), {"COM3", "7"});
    }
    for (int number : messageNumbers()) {
        formatMessage(number, {"vantrel.cfg"});
    }
    for (const auto& [number, value] : file.Messages()) {
        if (messageText(number) != value) {
            std::abort();
        }
    }
    clearConstantTranslations();
    setMessageLanguage(kLangRussian);
    return 0;
}
