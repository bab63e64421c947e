#pragma once

#include <QApplication>
#include <QFont>
#include <QString>
#include <string>
#include <string_view>

namespace vantrel {

// The program's UTF-8 texts as Qt strings.
inline QString qs(const std::string& text) {
    return QString::fromStdString(text);
}
inline QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), int(text.size()));
}

// The application's font at a size in pixels (the window's sizes are in
// pixels, whatever the screen's resolution).
inline QFont pixelFont(int pixels, bool bold) {
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace vantrel
