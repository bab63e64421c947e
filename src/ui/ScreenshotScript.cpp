#include "ui/ScreenshotScript.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>

#include "charts/ChartModel.h"
#include "experiment/Experiment.h"
#include "run/Quantities.h"
#include "session/MainFM.h"
#include "ui/ActuatorFR.h"
#include "ui/ChartPlot.h"
#include "ui/MainWindow.h"

namespace vantrel {

tScreenshotScript::tScreenshotScript(TfmMainWindow& window, QString directory, int measureSeconds)
    : QObject(&window),
      window_(window),
      directory_(std::move(directory)),
      measureSeconds_(measureSeconds) {}

namespace {

// A press and release at the column of time `x`, halfway down the plot, as
// the user clicks to inspect a point.
void clickAt(QCustomPlot& chart, double x) {
    const QPointF local(chart.xAxis->coordToPixel(x), chart.axisRect()->rect().center().y());
    const QPointF global = chart.mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &release);
}

}  // namespace

void tScreenshotScript::GrabDialog(const QString& name, bool answerNo) {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr) {
        std::fprintf(stderr, "no dialog open for %s\n", qPrintable(name));
        return;
    }
    const QString path = QDir(directory_).filePath(name);
    if (dialog->grab().save(path)) {
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
    }
    auto* box = qobject_cast<QMessageBox*>(dialog);
    if (answerNo && box != nullptr) {
        box->button(QMessageBox::No)->click();
    } else if (auto* modal = qobject_cast<QDialog*>(dialog)) {
        modal->accept();
    }
}

void tScreenshotScript::SaveThrough(const char* action, const QString& name) {
    const QString path = QDir(directory_).filePath(name);
    // The file dialog is answered as a user would: the name typed into its
    // field (selectFile alone leaves a new name out), then Save.
    QTimer::singleShot(700, this, [this, name] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog->setDirectory(directory_);
            if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                edit->setText(name);
            }
            static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it, not its checks
        }
    });
    window_.IdleUpdate();
    window_.Trigger(action);
    if (QFileInfo(path).size() > 0) {
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "%s wrote no %s\n", action, qPrintable(path));
    }
}

void tScreenshotScript::Then(int delayMs, std::function<void()> work) {
    steps_.emplace_back(delayMs, std::move(work));
}

void tScreenshotScript::Grab(const QString& name) {
    const QString path = QDir(directory_).filePath(name);
    if (!window_.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    } else {
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
    }
}

void tScreenshotScript::Start() {
    QDir().mkpath(directory_);
    // Maximised, as in a classroom: the whole screen, whose size the
    // pictures show (a virtual display has no window manager to do it).
    window_.showMaximized();
    if (const QScreen* screen = window_.screen()) {
        window_.setGeometry(screen->availableGeometry());
    }
    Then(800, [this] { Grab("01-started.png"); });
    Then(100, [this] {
        window_.Trigger("acDeviceConnect");
        // Heater, stirrer and the first pump on, so that the curves move.
        const auto set = [this](int index, const char* value) {
            auto* frame = window_.findChild<TfrActuator*>(QString("frActuator%1").arg(index));
            frame->SetValueText(value);
            frame->findChild<QToolButton*>("bbSet")->click();
        };
        // A loaded scenario drives the actuators itself.
        if (window_.Controller().Experiment().GetStatus() != esLoaded) {
            set(0, "200");
            set(1, "120");
            set(2, "300");
        }
        window_.Trigger("acDeviceStart");
    });
    Then(measureSeconds_ * 1000, [this] { Grab("02-measuring.png"); });
    Then(100, [this] {
        window_.Trigger("acDeviceStop");
        window_.IdleUpdate();
    });
    Then(300, [this] {
        const tRunData& run = window_.Controller().Charts().Data();
        const double last = run.Empty() ? 20.0 : run.Time(run.Count() - 1);
        // A time origin a quarter into the run, the inspected point at three
        // quarters, and that point marked.
        auto* chart = window_.findChild<QCustomPlot*>("chAll");
        window_.Trigger("acFileSetZeroMarker");
        clickAt(*chart, last * 0.25);
        window_.Trigger("acFileSetZeroMarker");
        clickAt(*chart, last * 0.75);
        window_.IdleUpdate();
        window_.Trigger("acFileMarkPoint");
        window_.IdleUpdate();
    });
    Then(500, [this] { Grab("03-inspected.png"); });
    // The same run as a table, the inspected record selected.
    Then(100, [this] { window_.findChild<QTabWidget*>("pcChart")->setCurrentIndex(2); });
    Then(500, [this] { Grab("10-table.png"); });
    // The marked point and a picture of the chart, through the menu.
    Then(100, [this] { SaveThrough("acFileExport", "run.csv"); });
    Then(100, [this] { SaveThrough("acFileSavePicture", "chart.png"); });
    Then(100, [this] {
        window_.findChild<QTabWidget*>("pcChart")->setCurrentIndex(1);
        window_.findChild<QRadioButton*>("rbAbsciss1")->click();
    });
    Then(800, [this] { Grab("04-dependence-ph.png"); });
    // The analysis: the time chart's right-hand scale in pH; after a
    // titration, its equivalence point with the derivative, and the
    // statistics of the inspected stretch.
    Then(100, [this] {
        window_.findChild<QTabWidget*>("pcChart")->setCurrentIndex(0);
        window_.Controller().Analysis().SetRightAxis(qLP);
    });
    Then(600, [this] { Grab("07-right-axis.png"); });
    Then(100, [this] {
        window_.Controller().Analysis().SetRightAxis(-1);
        const tRunData& run = window_.Controller().Charts().Data();
        if (run.Empty() || run.Shown(qV1, run.Count() - 1) <= run.Shown(qV1, 0)) {
            return;  // nothing was dosed
        }
        window_.findChild<QTabWidget*>("pcChart")->setCurrentIndex(1);
        window_.findChild<QRadioButton*>(QString("rbAbsciss%1").arg(qV1))->click();
        // Without a jump the program says so in a box: closed again here.
        QTimer::singleShot(700, this, [] {
            if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                box->accept();
            }
        });
        window_.Trigger("acAnalysisEquivalence");
        window_.IdleUpdate();
        window_.Trigger("acAnalysisDerivative");
    });
    Then(1200, [this] { Grab("08-equivalence.png"); });
    Then(100, [this] {
        QTimer::singleShot(700, this, [this] { GrabDialog("09-statistics.png", false); });
        window_.IdleUpdate();
        window_.Trigger("acAnalysisStatistics");
    });
    Then(1200, [] {});  // the statistics are grabbed and closed meanwhile
    // Fits over the inspected stretch with every curve ticked, made for the
    // curve chosen in the list: the temperature's three fits and its
    // tangent on the time chart, conductivity against the dosed volume.
    const auto choose = [this](int quantity) {
        window_.findChild<QListWidget*>("chSeries")->setCurrentRow(quantity);
        window_.IdleUpdate();
    };
    Then(100, [this, choose] {
        window_.findChild<QTabWidget*>("pcChart")->setCurrentIndex(0);
        // The whole run in view, so that the fits can be told apart where
        // they leave the curve.
        const tRunData& run = window_.Controller().Charts().Data();
        if (!run.Empty()) {
            auto* chart = window_.findChild<QCustomPlot*>("chAll");
            chart->xAxis->setRange(0.0, run.Time(run.Count() - 1) + 1.0);
        }
        choose(qLT);
        window_.Trigger("acAnalysisFitLinear");
        window_.Trigger("acAnalysisFitQuadratic");
        window_.Trigger("acAnalysisFitExponential");
        window_.Trigger("acAnalysisTangent");
    });
    Then(800, [this] { Grab("11-fit-time.png"); });
    // The same zoomed to the temperature, as a teacher shows it.
    Then(100, [this] {
        const tRunData& run = window_.Controller().Charts().Data();
        auto* chart = window_.findChild<QCustomPlot*>("chAll");
        double low = kPercentHigh;
        double high = kPercentLow;
        for (std::size_t p = 0; p < run.Count(); ++p) {
            low = std::min(low, double(toPercent(qLT, run.Shown(qLT, p))));
            high = std::max(high, double(toPercent(qLT, run.Shown(qLT, p))));
        }
        if (high > low) {
            chart->yAxis->setRange(low - 0.1 * (high - low), high + 0.1 * (high - low));
            chart->replot();
        }
    });
    Then(800, [this] { Grab("13-fit-time-zoomed.png"); });
    Then(100, [this] {
        window_.findChild<QCustomPlot*>("chAll")->yAxis->setRange(kPercentLow, kPercentHigh);
    });
    Then(100, [this, choose] {
        window_.findChild<QTabWidget*>("pcChart")->setCurrentIndex(1);
        window_.findChild<QRadioButton*>(QString("rbAbsciss%1").arg(qV1))->click();
        choose(qLC);
        window_.Trigger("acAnalysisFitLinear");
        window_.Trigger("acAnalysisFitQuadratic");
    });
    Then(800, [this] { Grab("12-fit-dependence.png"); });
    Then(100, [this] { window_.Trigger("acAnalysisFitsRemove"); });
    // The about box and the exit question, with the toolkit's buttons in
    // the window's language: each is grabbed while it is open, then closed.
    Then(100, [this] {
        QTimer::singleShot(700, this, [this] { GrabDialog("05-about.png", false); });
        window_.Trigger("acHelpAbout");
    });
    Then(100, [this] {
        QTimer::singleShot(700, this, [this] { GrabDialog("06-exit-question.png", true); });
        window_.Trigger("acFileExit");
    });
    // exit() rather than quit(): quit() would close the window first, and the
    // window asks before it closes.
    Then(100, [] { QCoreApplication::exit(0); });
    Step();
}

void tScreenshotScript::Step() {
    if (next_ >= steps_.size()) {
        return;
    }
    const int delay = steps_[next_].first;
    QTimer::singleShot(delay, this, [this] {
        auto work = steps_[next_].second;
        ++next_;
        work();
        Step();
    });
}

}  // namespace vantrel
