#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

namespace vantrel {

class TfmMainWindow;

// Drives the real window through a short session on the simulator and
// saves a picture of it at each stage: just started, measuring, after Stop
// with a point inspected and marked, the dependence chart against pH, the
// right-hand scale, the equivalence point of a titration, the statistics
// dialog, the about box and the exit question. The marked point is exported
// to run.csv and the chart saved as chart.png, through their file dialogs.
// Then it ends the program. Used to document the window as it really looks
// and to try an installed program end to end.
class tScreenshotScript : public QObject {
    Q_OBJECT

public:
    tScreenshotScript(TfmMainWindow& window, QString directory, int measureSeconds = 20);

    void Start();

private:
    void Step();
    void Grab(const QString& name);
    void GrabDialog(const QString& name, bool answerNo);
    // Runs a saving action and answers its file dialog with `name` in the
    // pictures' folder.
    void SaveThrough(const char* action, const QString& name);
    void Then(int delayMs, std::function<void()> work);

    TfmMainWindow& window_;
    QString directory_;
    int measureSeconds_;
    std::vector<std::pair<int, std::function<void()>>> steps_;
    std::size_t next_ = 0;
};

}  // namespace vantrel
