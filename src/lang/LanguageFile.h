#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// One translatable text of a window or frame: "objectName.Property".
struct tTranslation {
    std::string object;    // the widget's, action's or series' objectName
    std::string property;  // Caption, Hint, Title, Items, ...
    std::string text;
};

// A language file (*.lng): UTF-8 (or Windows-1251) text in INI layout.
//   [Header]     LANGID=1087 (decimal), optionally Name=display name
//   [TfmMain], [TfmAbout], [TfrActuator]
//                objectName.Property=text, one per translatable text;
//                lists ("Items") separate their entries with "|"
//   [Constants]  DK_...=text, the run-time texts
//   [Messages]   number=text, the numbered messages
//   [Qt]         Context|source text=text, the toolkit's own texts (dialog
//                buttons and labels) where the toolkit has no translation
// "\n" in a text stands for a line break.
class tLanguageFile {
public:
    static constexpr std::string_view kSections[] = {"TfmMain", "TfmAbout", "TfrActuator",
                                                     "TfmClass"};

    // tError when the file cannot be read (a missing one too).
    static tLanguageFile FromFile(const std::string& fileName);
    static tLanguageFile FromText(std::string_view text, std::string fileName = {});

    // 0 when the header names none (or no number).
    int LanguageId() const { return languageId_; }
    const std::string& DisplayName() const { return displayName_; }
    const std::string& FileName() const { return fileName_; }

    // The translations of one window or frame, in file order.
    const std::vector<tTranslation>& Translations(std::string_view section) const;
    // A translation by object and property ("" and false when absent).
    bool Find(std::string_view section, std::string_view object, std::string_view property,
              std::string& text) const;
    const std::map<std::string, std::string, std::less<>>& Constants() const { return constants_; }
    const std::map<int, std::string>& Messages() const { return messages_; }
    const std::map<std::string, std::string, std::less<>>& QtTexts() const { return qtTexts_; }

private:
    int languageId_ = 0;
    std::string displayName_;
    std::string fileName_;
    std::map<std::string, std::vector<tTranslation>, std::less<>> translations_;
    std::map<std::string, std::string, std::less<>> constants_;
    std::map<int, std::string> messages_;
    std::map<std::string, std::string, std::less<>> qtTexts_;
};

// "a|b|c" -> {"a", "b", "c"}; the form lists take in a language file.
std::vector<std::string> splitItems(std::string_view items);

}  // namespace vantrel
