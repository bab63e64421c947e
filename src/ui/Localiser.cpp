#include "ui/Localiser.h"

#include <qcustomplot.h>
#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMetaProperty>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>

#include "base/Functions.h"
#include "ui/QtText.h"

namespace vantrel {

namespace {

// A frame (an actuator's) is a localisation root of its own.
bool isFrame(const QObject* object) {
    return object->inherits("vantrel::TfrActuator");
}

QObject* findUnder(QObject& root, const QString& name) {
    if (root.objectName() == name) {
        return &root;
    }
    for (QObject* candidate : root.findChildren<QObject*>(name)) {
        bool inFrame = false;
        for (QObject* up = candidate->parent(); up != nullptr && up != &root; up = up->parent()) {
            inFrame = inFrame || isFrame(up);
        }
        if (!inFrame) {
            return candidate;
        }
    }
    return nullptr;
}

bool setCaption(QObject* object, const QString& text) {
    if (auto* menu = qobject_cast<QMenu*>(object)) {
        menu->setTitle(text);
    } else if (auto* action = qobject_cast<QAction*>(object)) {
        action->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(object)) {
        box->setTitle(text);
    } else if (auto* bar = qobject_cast<QToolBar*>(object)) {
        bar->setWindowTitle(text);
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        button->setText(text);
    } else if (auto* widget = qobject_cast<QWidget*>(object)) {
        // A tab page: its text is the tab's; a window: its title.
        auto* stack = qobject_cast<QStackedWidget*>(widget->parentWidget());
        auto* tabs = stack != nullptr ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
        if (tabs != nullptr && tabs->indexOf(widget) >= 0) {
            tabs->setTabText(tabs->indexOf(widget), text);
        } else if (widget->isWindow()) {
            widget->setWindowTitle(text);
        } else {
            return false;
        }
    } else {
        return false;
    }
    return true;
}

bool setItems(QObject* object, const std::vector<std::string>& items) {
    if (auto* list = qobject_cast<QListWidget*>(object)) {
        for (int i = 0; i < list->count() && i < int(items.size()); ++i) {
            list->item(i)->setText(qs(items[std::size_t(i)]));
        }
        return true;
    }
    if (auto* box = qobject_cast<QGroupBox*>(object)) {
        const auto buttons = box->findChildren<QAbstractButton*>();
        for (int i = 0; i < buttons.size() && i < int(items.size()); ++i) {
            buttons[i]->setText(qs(items[std::size_t(i)]));
        }
        return true;
    }
    return false;
}

bool apply(QObject* object, const tTranslation& t) {
    const QString text = qs(t.text);
    if (equalsIgnoreCase(t.property, "Caption")) {
        return setCaption(object, text);
    }
    if (equalsIgnoreCase(t.property, "Hint")) {
        if (auto* action = qobject_cast<QAction*>(object)) {
            action->setToolTip(text);
            action->setStatusTip(text);
            return true;
        }
        if (auto* widget = qobject_cast<QWidget*>(object)) {
            widget->setToolTip(text);
            widget->setStatusTip(text);
            return true;
        }
        return false;
    }
    if (equalsIgnoreCase(t.property, "Title")) {
        if (auto* curve = qobject_cast<QCPAbstractPlottable*>(object)) {
            curve->setName(text);
            return true;
        }
        return false;
    }
    if (equalsIgnoreCase(t.property, "LeftAxisTitle")) {
        if (auto* plot = qobject_cast<QCustomPlot*>(object)) {
            plot->yAxis->setLabel(text);
            return true;
        }
        return false;
    }
    if (equalsIgnoreCase(t.property, "Items")) {
        return setItems(object, splitItems(t.text));
    }
    if (equalsIgnoreCase(t.property, "TitleCaptions")) {
        if (auto* table = qobject_cast<QTableWidget*>(object)) {
            QStringList titles;
            for (const std::string& title : splitItems(t.text)) {
                titles << qs(title);
            }
            table->setHorizontalHeaderLabels(titles);
            return true;
        }
        return false;
    }
    // Anything else by the property's own name ("toolTip", "windowTitle").
    const QByteArray name = QString::fromStdString(t.property).toLatin1();
    const int index = object->metaObject()->indexOfProperty(name.constData());
    return index >= 0 && object->metaObject()->property(index).isWritable() &&
           object->setProperty(name.constData(), text);
}

}  // namespace

std::vector<std::string> localise(QObject& root, const std::vector<tTranslation>& translations,
                                  const std::function<bool(const tTranslation&)>& leave) {
    std::vector<std::string> unmatched;
    for (const tTranslation& t : translations) {
        if (leave && leave(t)) {
            continue;
        }
        QObject* object = findUnder(root, qs(t.object));
        if (object == nullptr || !apply(object, t)) {
            unmatched.push_back(t.object + "." + t.property);
        }
    }
    return unmatched;
}

QString tFileTranslator::translate(const char* context, const char* sourceText,
                                   const char* /*disambiguation*/, int /*n*/) const {
    if (context == nullptr || sourceText == nullptr) {
        return {};
    }
    const auto found = texts_.find(std::string(context) + "|" + sourceText);
    return found == texts_.end() ? QString() : qs(found->second);
}

}  // namespace vantrel
