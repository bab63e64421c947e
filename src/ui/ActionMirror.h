#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QWidget;

namespace vantrel {

class tAction;

// The controller's actions as QActions of a window: caption, shortcuts,
// hint (status bar and tool tip), picture, check mark where the user sees
// one. The controller owns every state; Sync() carries what changed over,
// and a triggered QAction only asks for its controller action to run.
class tActionMirror : public QObject {
    Q_OBJECT

public:
    using tTrigger = std::function<void(const std::string& name)>;

    // One QAction per action, owned by `window` and added to it so that the
    // shortcuts work everywhere in it.
    tActionMirror(const std::vector<std::unique_ptr<tAction>>& actions, QWidget& window,
                  tTrigger trigger);

    QAction* Find(const std::string& name) const;
    void Sync();

    // "П&одключение..." -> "Подключение..."; "&&" stands for a literal "&".
    static QString PlainCaption(const std::string& caption);

private:
    struct tMirrored {
        const tAction* source = nullptr;
        QAction* action = nullptr;
        std::string caption;
        std::string hint;
        bool enabled = true;
        bool checked = false;
        bool visible = true;
    };

    std::vector<tMirrored> mirrored_;
    std::map<std::string, QAction*, std::less<>> byName_;
};

}  // namespace vantrel
