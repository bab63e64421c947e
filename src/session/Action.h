#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vantrel {

// One user command of the main window. The update rule decides enabled,
// checked and visible; executing from code runs the rule first, and a
// disabled action does not execute.
class tAction {
public:
    using tHandler = std::function<void(tAction&)>;

    // Shortcuts are written "Alt+C", "Ctrl+O" (one or more).
    tAction(std::string name, std::string caption, std::vector<std::string> shortcuts,
            std::string hint, tHandler execute, tHandler update);

    const std::string& Name() const { return name_; }
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption) { caption_ = std::move(caption); }
    const std::vector<std::string>& Shortcuts() const { return shortcuts_; }
    void SetShortcuts(std::vector<std::string> shortcuts) { shortcuts_ = std::move(shortcuts); }
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint) { hint_ = std::move(hint); }

    bool Checked() const { return checked_; }
    void SetChecked(bool checked) { checked_ = checked; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }
    // The user sees the check mark (menu item and tool button show it);
    // other actions keep theirs for their own use only.
    bool ShowsCheckMark() const { return showsCheckMark_; }
    void SetShowsCheckMark(bool shows) { showsCheckMark_ = shows; }
    // Runs the update rule (nothing for an action without one).
    void Update();
    // Update, then the execute operation when enabled. True when it ran.
    bool Execute();

private:
    std::string name_;
    std::string caption_;
    std::vector<std::string> shortcuts_;
    std::string hint_;
    tHandler execute_;
    tHandler update_;
    bool checked_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    bool showsCheckMark_ = false;
};

}  // namespace vantrel
