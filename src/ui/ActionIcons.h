#pragma once

#include <QIcon>
#include <string_view>

class QStyle;

namespace vantrel {

// The pictures of the main window's actions, shared by menus and tool bar.
// Each icon carries three looks: normal, highlighted (QIcon::Active, under
// the mouse) and disabled, so every place that shows an action agrees.
class tActionIcons {
public:
    // The icon of an action by its name; a null icon when it has none.
    static QIcon ForAction(std::string_view actionName, QStyle* style);
    // Builds the three looks from one picture.
    static QIcon ThreeStates(const QPixmap& normal);
};

}  // namespace vantrel
