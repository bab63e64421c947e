#include "ui/ActionMirror.h"

#include <QAction>
#include <QKeySequence>
#include <QWidget>

#include "session/Action.h"
#include "ui/ActionIcons.h"
#include "ui/QtText.h"

namespace vantrel {

namespace {

// Tool tip: the hint, or the caption when the action has no hint.
QString toolTipOf(const std::string& hint, const std::string& caption) {
    return hint.empty() ? tActionMirror::PlainCaption(caption) : qs(hint);
}

}  // namespace

QString tActionMirror::PlainCaption(const std::string& caption) {
    const QString text = qs(caption);
    QString plain;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
        }
        plain += text[i];
    }
    return plain;
}

tActionMirror::tActionMirror(const std::vector<std::unique_ptr<tAction>>& actions, QWidget& window,
                             tTrigger trigger)
    : QObject(&window) {
    for (const auto& source : actions) {
        auto* qaction = new QAction(qs(source->Caption()), &window);
        qaction->setObjectName(qs(source->Name()));
        QList<QKeySequence> shortcuts;
        for (const auto& shortcut : source->Shortcuts()) {
            shortcuts.push_back(QKeySequence::fromString(qs(shortcut), QKeySequence::PortableText));
        }
        qaction->setShortcuts(shortcuts);
        qaction->setShortcutContext(Qt::WindowShortcut);
        qaction->setStatusTip(qs(source->Hint()));
        qaction->setToolTip(toolTipOf(source->Hint(), source->Caption()));
        qaction->setIcon(tActionIcons::ForAction(source->Name(), window.style()));
        qaction->setCheckable(source->ShowsCheckMark());
        qaction->setChecked(source->Checked());
        qaction->setEnabled(source->Enabled());
        qaction->setVisible(source->Visible());
        connect(qaction, &QAction::triggered, this,
                [trigger, name = source->Name()] { trigger(name); });
        window.addAction(qaction);
        byName_.emplace(source->Name(), qaction);
        mirrored_.push_back({source.get(), qaction, source->Caption(), source->Hint(),
                             source->Enabled(), source->Checked(), source->Visible()});
    }
}

QAction* tActionMirror::Find(const std::string& name) const {
    const auto found = byName_.find(name);
    return found == byName_.end() ? nullptr : found->second;
}

void tActionMirror::Sync() {
    for (tMirrored& m : mirrored_) {
        const tAction& source = *m.source;
        if (source.Enabled() != m.enabled) {
            m.enabled = source.Enabled();
            m.action->setEnabled(m.enabled);
        }
        // A checkable QAction toggles itself on a click; the controller's
        // mark is the one that counts.
        if (source.Checked() != m.checked || m.action->isChecked() != source.Checked()) {
            m.checked = source.Checked();
            if (m.action->isCheckable()) {
                m.action->setChecked(m.checked);
            }
        }
        if (source.Visible() != m.visible) {
            m.visible = source.Visible();
            m.action->setVisible(m.visible);
        }
        if (source.Caption() != m.caption || source.Hint() != m.hint) {
            m.caption = source.Caption();
            m.hint = source.Hint();
            m.action->setText(qs(m.caption));
            m.action->setStatusTip(qs(m.hint));
            m.action->setToolTip(toolTipOf(m.hint, m.caption));
        }
    }
}

}  // namespace vantrel
