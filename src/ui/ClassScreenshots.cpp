#include "ui/ClassScreenshots.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "base/LogFile.h"
#include "ui/ClassCard.h"
#include "ui/ClassWindow.h"

namespace vantrel {

namespace {

constexpr int kResultsAfterMs = 40000;

}  // namespace

tClassScreenshots::tClassScreenshots(TfmClassWindow& window, QString directory, int seconds)
    : QObject(&window), window_(window), directory_(std::move(directory)), seconds_(seconds) {}

void tClassScreenshots::Grab(QWidget& widget, const QString& name) {
    const QString path = directory_ + QStringLiteral("/") + name;
    if (!widget.grab().save(path)) {
        logFile->WriteLine("SCREENSHOT: cannot write " + path.toStdString());
    }
}

void tClassScreenshots::Start() {
    const int at = seconds_ * 1000;
    QTimer::singleShot(at, this, [this] { Grab(window_, QStringLiteral("class-cards.png")); });
    QTimer::singleShot(at + 500, this, [this] { window_.ShowTab(1); });
    QTimer::singleShot(at + 1500, this,
                       [this] { Grab(window_, QStringLiteral("class-overlay.png")); });
    // The results once the groups' runs have ended.
    const int later = at + kResultsAfterMs;
    QTimer::singleShot(later, this, [this] { window_.ShowTab(2); });
    QTimer::singleShot(later + 1000, this,
                       [this] { Grab(window_, QStringLiteral("class-results.png")); });
    QTimer::singleShot(later + 1500, this, [this] {
        window_.ShowTab(0);
        if (!window_.Cards().empty()) {
            window_.OpenStation(window_.Cards().front()->Title());
        }
    });
    QTimer::singleShot(later + 3500, this, [this] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QStringLiteral("fmClassRun") && top->isVisible()) {
                Grab(*top, QStringLiteral("class-station.png"));
            }
        }
        window_.EndLesson();
        QApplication::quit();
    });
}

}  // namespace vantrel
