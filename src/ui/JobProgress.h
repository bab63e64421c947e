#pragma once

#include <QObject>

#include "session/Reports.h"

class QWidget;

namespace vantrel {

// Runs a long job of the controller (the workbook of a day's run) on a
// worker thread behind a progress dialog with a cancel button, modal to the
// window, which meanwhile repaints and keeps its timers. A child of the
// window, so it outlives the controller that holds it.
class tJobProgress : public QObject, public iJobRunner {
public:
    explicit tJobProgress(QWidget& window);

    void Run(const std::string& title, const tJob& job) override;

private:
    QWidget& window_;
};

}  // namespace vantrel
