#pragma once

#include <string>

namespace vantrel {

// The questions only a person at a window can answer.
class iDialogs {
public:
    virtual ~iDialogs() = default;

    // Modal question with a question icon and Yes/No; No is the default.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // One line of text with OK and Cancel; `text` comes in as the text to
    // edit and goes out as the user left it. False when cancelled.
    virtual bool InputText(const std::string& caption, const std::string& prompt,
                           std::string& text) = 0;
    // File choosers; false when cancelled. Filters are "text|mask|text|mask".
    virtual bool ChooseOpenFile(const std::string& filter, std::string& fileName) = 0;
    virtual bool ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                                std::string& fileName) = 0;
    // Opens the relative-readings drop-down menu below its tool button.
    virtual void ShowRelativeMenu() = 0;
    // Shows the about box modally.
    virtual void ShowAbout() = 0;
};

}  // namespace vantrel
