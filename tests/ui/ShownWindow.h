#pragma once

#include <QApplication>
#include <fstream>
#include <memory>

#include "support/TempDir.h"
#include "ui/MainWindow.h"

namespace vantrel::test {

// The real window in the built-in language on a configuration of its own
// in `dir`, shown at a usual size.
inline std::unique_ptr<TfmMainWindow> showWindow(const tTempDir& dir) {
    std::ofstream(dir.file("vantrel.cfg")) << "LanguageID=1049\n";
    auto window = std::make_unique<TfmMainWindow>(dir.file("vantrel.cfg"));
    window->resize(1100, 720);
    window->show();
    QApplication::processEvents();
    return window;
}

}  // namespace vantrel::test
