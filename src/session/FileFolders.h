#pragma once

#include <string>

#include "session/Dialogs.h"

namespace vantrel {

// Where the file choosers open. At first in the user's documents folder
// (the scenario chooser in the installed examples), never where the program
// happens to run from (an installed program's own, read-only folder); then
// where the last file of that kind was chosen, remembered for the user
// between runs. Scenarios are remembered apart: the examples' folder may be
// read-only, and an export must not start there. A chooser the caller
// points at a folder of its own (the runs' journal folder) opens there and
// is not remembered. Every other question goes to the window as it is.
class tFileFolders final : public iDialogs {
public:
    explicit tFileFolders(iDialogs& dialogs) : dialogs_(dialogs) {}

    struct tPlaces {
        std::string documents;    // the user's documents folder (or home)
        std::string examples;     // the installed example scenarios; may be empty
        std::string stateFolder;  // where the folders are remembered; empty: nowhere
    };
    void SetPlaces(tPlaces places) { places_ = std::move(places); }

    bool ChooseScenario(const std::string& filter, std::string& fileName);

    // ---- iDialogs
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        return dialogs_.AskYesNo(text, caption);
    }
    bool InputText(const std::string& caption, const std::string& prompt,
                   std::string& text) override {
        return dialogs_.InputText(caption, prompt, text);
    }
    bool ChooseOpenFile(const std::string& filter, std::string& fileName) override;
    bool ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                        std::string& fileName) override;
    void ShowRelativeMenu() override { dialogs_.ShowRelativeMenu(); }
    void ShowAbout() override { dialogs_.ShowAbout(); }

private:
    enum class tKind { Files, Scenario };
    std::string MemoryFile(tKind kind) const;
    // The folder a chooser of `kind` opens in; empty when none is known.
    std::string StartFolder(tKind kind) const;
    // `fileName` put in the start folder unless it names a folder of its
    // own, then `choose`; the chosen file's folder remembered.
    template <class F>
    bool Choose(tKind kind, std::string& fileName, F&& choose);

    iDialogs& dialogs_;
    tPlaces places_;
};

}  // namespace vantrel
