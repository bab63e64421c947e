#include <gtest/gtest.h>

#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ChartClick.h"
#include "base/Functions.h"
#include "charts/ChartModel.h"
#include "run/Quantities.h"
#include "session/MainFM.h"
#include "sim/Simulator.h"
#include "support/CaptureLog.h"
#include "ui/ActuatorFR.h"
#include "ui/AnalysisView.h"
#include "ui/ChartPlot.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"
#include "ui/ScenarioLabel.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// The real window with its modal dialogs replaced by scripted answers, so
// that a test never waits for a user.
class tTestWindow : public TfmMainWindow {
public:
    using TfmMainWindow::TfmMainWindow;

    bool AskYesNo(const std::string& text, const std::string&) override {
        questions.push_back(text);
        return answerYes;
    }
    bool ChooseSaveFile(const std::string&, const std::string&, std::string& fileName) override {
        if (saveFile.empty()) {
            return false;
        }
        fileName = saveFile;
        return true;
    }
    bool ChooseOpenFile(const std::string&, std::string& fileName) override {
        fileName = openFile;
        return !openFile.empty();
    }
    bool InputText(const std::string&, const std::string&, std::string& text) override {
        if (!typed) {
            return false;
        }
        text = *typed;
        return true;
    }
    void ShowWarning(const std::string& text, const std::string&) override {
        warnings.push_back(text);
    }
    void ShowError(const std::string& text, const std::string&) override {
        warnings.push_back(text);
    }

    bool answerYes = false;
    std::string saveFile;
    std::string openFile;
    std::optional<std::string> typed;  // none: text questions are cancelled
    std::vector<std::string> questions;
    std::vector<std::string> warnings;
    std::vector<std::string> handlerErrors;

protected:
    void ShowHandlerError(const std::string& message) override { handlerErrors.push_back(message); }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::tOptions options;
        options.noise = false;
        // Records every 20 ms of wall time instead of 200: a run of a few
        // points takes a blink.
        options.timeScale = 10.0;
        simulator_ = std::make_unique<sim::tSimulator>(options);
        simulator_->Start();
        dir_ = fs::temp_directory_path() /
               ("vantrel_ui_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        config_ = (dir_ / "vantrel.cfg").string();
        std::ofstream(config_) << "VolCoeff=0.0934\nOneLanguage=0\nLanguageID=1049\nDTR=\n"
                                  "Timeout=10\nCheckCount=2\nCheckTimeout=100\n"
                                  "CheckOffTimer=0\nSwitchOffTime=5\nWarnTime=30\nPorts="
                               << simulator_->PortPath() << "\n";
        window_ = std::make_unique<tTestWindow>(config_);
        window_->resize(1100, 720);
        window_->show();
        QApplication::processEvents();
    }

    void TearDown() override {
        window_.reset();
        simulator_.reset();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Lets the event loop run (timers included) until `done` or the limit.
    static bool RunUntil(const std::function<bool()>& done, int limitMs = 5000) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > limitMs) {
                return false;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    static void RunFor(int ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }

    bool Enabled(const char* name) const {
        window_->IdleUpdate();
        QAction* action = ActionByName(name);
        EXPECT_NE(action, nullptr) << name;
        return action != nullptr && action->isEnabled();
    }

    bool Checked(const char* name) const {
        QAction* action = ActionByName(name);
        return action != nullptr && action->isChecked();
    }

    const tChartModel& Model() const { return window_->Controller().Charts(); }

    // The window's parts, found as a user's tools find them: by name.
    template <class T>
    T* Child(const QString& name) const {
        T* child = window_->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name.toStdString();
        return child;
    }
    template <class T>
    static T* Widget(QObject* parent, const char* name) {
        T* child = parent->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QAction* ActionByName(const char* name) const { return Child<QAction>(name); }
    TChartPlot* TimeChart() const { return Child<TChartPlot>("chAll"); }
    TChartPlot* DependChart() const { return Child<TChartPlot>("chDepend"); }
    QWidget* ActuatorPanel() const { return Child<QWidget>("pnActuators"); }
    TfrActuator* ActuatorFrame(int i) const {
        return Child<TfrActuator>(QString("frActuator%1").arg(i));
    }
    QToolBar* ToolBar() const { return Child<QToolBar>("tbMain"); }
    QLabel* ScenarioLabel() const { return Widget<QLabel>(ToolBar(), "lbState"); }
    QLabel* StatusPanel(int i) const { return Child<QLabel>(QString("sbPanel%1").arg(i)); }
    std::string StatusText(int fromLast) const {
        return StatusPanel(3 - fromLast)->text().toStdString();
    }
    QMenu* RelativeMenu() const { return Child<QMenu>("pmZero"); }
    QListWidget* CurveList() const { return Child<QListWidget>("chSeries"); }
    // Value of a value-list row by its key ("" when there is none).
    QString RowValue(const QString& key) const {
        auto* list = Child<QTableWidget>("vleData");
        for (int r = 0; r < list->rowCount(); ++r) {
            if (list->item(r, 0) != nullptr && list->item(r, 0)->text() == key) {
                return list->item(r, 1) != nullptr ? list->item(r, 1)->text() : QString();
            }
        }
        return {};
    }
    static std::size_t Drawn(TChartPlot* chart, int quantity) {
        return static_cast<std::size_t>(chart->plottable(quantity)->interface1D()->dataCount());
    }
    static QCPItemStraightLine* Line(TChartPlot* chart, const char* name) {
        return Widget<QCPItemStraightLine>(chart, name);
    }
    // The arrows and captions of marked points.
    static std::size_t MarkItems(TChartPlot* chart) {
        std::size_t shown = 0;
        for (QCPAbstractItem* item : chart->findChildren<QCPAbstractItem*>()) {
            const bool mark = qobject_cast<QCPItemLine*>(item) || qobject_cast<QCPItemText*>(item);
            shown += mark && item->visible() ? 1 : 0;
        }
        return shown;
    }
    // A press and release at the column of time `x`, halfway down the plot.
    static void ClickAt(TChartPlot* chart, double x) {
        test::clickAt(
            *chart, QPointF(chart->xAxis->coordToPixel(x), chart->axisRect()->rect().center().y()));
    }

    void Connect() {
        window_->Trigger("acDeviceConnect");
        ASSERT_TRUE(window_->Controller().IsConnected()) << "no station on the simulator";
    }

    // Connects, records until the chart holds `points` readings, stops.
    void RecordRun(std::size_t points) {
        Connect();
        window_->Trigger("acDeviceStart");
        ASSERT_TRUE(RunUntil([&] { return Model().PointCount() >= points; }));
        window_->Trigger("acDeviceStop");
        window_->IdleUpdate();
        ASSERT_EQ(Model().Mode(), tChartMode::Analysis);
    }

    bool SimulatorReceived(const std::string& line) const {
        const auto lines = simulator_->ReceivedLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::unique_ptr<sim::tSimulator> simulator_;
    fs::path dir_;
    std::string config_;
    std::unique_ptr<tTestWindow> window_;
};

// One session from start-up to exit, as a user goes through it: the
// actions' enablement at each stage, live-mode rules, pause, the actuator
// buttons, and the exit question.
TEST_F(MainWindowTest, SessionFromConnectToExit) {
    EXPECT_TRUE(Enabled("acDeviceConnect"));
    EXPECT_FALSE(Enabled("acDeviceStart"));
    EXPECT_FALSE(Enabled("acDeviceStop"));
    EXPECT_FALSE(Enabled("acFileExport"));
    EXPECT_FALSE(Checked("acDeviceConnect"));
    EXPECT_TRUE(ActuatorPanel()->isHidden());

    Connect();
    EXPECT_TRUE(Enabled("acDeviceStart"));
    EXPECT_FALSE(Enabled("acDevicePause"));
    EXPECT_TRUE(Enabled("acFileExport"));
    EXPECT_TRUE(Checked("acDeviceConnect"));
    EXPECT_FALSE(ActuatorPanel()->isHidden());
    EXPECT_EQ(StatusText(kPanelConnection), simulator_->PortPath());

    // An actuator button while idle: sent at once, the state query follows.
    TfrActuator* stirrer = ActuatorFrame(1);
    EXPECT_EQ(stirrer->Id(), "M0");
    EXPECT_EQ(stirrer->RangeHint(), "[-255..255]");
    stirrer->SetValueText("-50");
    Widget<QToolButton>(stirrer, "bbSet")->click();
    EXPECT_TRUE(SimulatorReceived("M0,1,-50"));
    EXPECT_EQ(stirrer->SpeedText(), "50");
    EXPECT_TRUE(stirrer->BackwardVisible());
    EXPECT_FALSE(stirrer->ForwardVisible());
    window_->Trigger("acDeviceStart");
    EXPECT_FALSE(Enabled("acDeviceStart"));
    EXPECT_TRUE(Enabled("acDeviceStop"));
    EXPECT_TRUE(Enabled("acDevicePause"));
    EXPECT_FALSE(Enabled("acFileExport"));
    EXPECT_FALSE(Enabled("acViewChooseCoord"));
    ASSERT_TRUE(RunUntil([&] { return Model().PointCount() >= 3; }));
    EXPECT_FALSE(RowValue(QString::fromUtf8("Температура, °C")).isEmpty());
    // Plot data are appended, never rebuilt: the graph holds every point once.
    EXPECT_EQ(Drawn(TimeChart(), 0), Model().PointCount());
    auto* graph = static_cast<QCPGraph*>(TimeChart()->plottable(0));
    EXPECT_EQ(std::size_t(graph->data()->size()), Model().PointCount());
    // Live mode: no zoom, no drag, clicks inspect nothing.
    EXPECT_FALSE(TimeChart()->interactions().testFlag(QCP::iRangeZoom));
    ClickAt(TimeChart(), Model().TimeSeries(0).X(1));
    EXPECT_EQ(Model().CursorIndex(), -1);
    EXPECT_TRUE(RowValue(QString::fromUtf8("t, с")).isEmpty());
    // While measuring, commands go out between two reads. Enter in a value
    // box sets; text that is no number switches off.
    ActuatorFrame(2)->SetValueText("300");
    Widget<QToolButton>(ActuatorFrame(2), "bbSet")->click();
    Widget<QToolButton>(ActuatorFrame(3), "bbClear")->click();
    TfrActuator* heater = ActuatorFrame(0);
    heater->SetValueText("12abc");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(Widget<QLineEdit>(heater, "edState"), &enter);
    EXPECT_TRUE(RunUntil([&] {
        return SimulatorReceived("D1,1,300") && SimulatorReceived("D2,0") &&
               SimulatorReceived("H0,0,0");
    }));

    window_->Trigger("acDevicePause");
    EXPECT_TRUE(Checked("acDevicePause"));
    const std::size_t pausedAt = Model().PointCount();
    RunFor(300);
    EXPECT_EQ(Model().PointCount(), pausedAt);
    window_->Trigger("acDevicePause");
    EXPECT_FALSE(Checked("acDevicePause"));
    EXPECT_TRUE(RunUntil([&] { return Model().PointCount() >= pausedAt + 2; }));

    window_->Trigger("acDeviceStop");
    EXPECT_TRUE(Enabled("acDeviceStart"));
    EXPECT_FALSE(Enabled("acDeviceStop"));
    EXPECT_TRUE(Enabled("acFileExport"));
    // The stop command is on its way; the station takes it on its own thread.
    EXPECT_TRUE(RunUntil([&] { return !simulator_->Measuring(); }));
    EXPECT_TRUE(TimeChart()->interactions().testFlag(QCP::iRangeZoom));
    EXPECT_TRUE(DependChart()->interactions().testFlag(QCP::iRangeDrag));

    // Exit while measuring: "no" changes nothing, "yes" closes and stops.
    window_->Trigger("acDeviceStart");
    ASSERT_TRUE(RunUntil([&] { return simulator_->Measuring(); }));
    window_->answerYes = false;
    window_->Trigger("acFileExit");
    ASSERT_EQ(window_->questions.size(), 1u);
    EXPECT_EQ(window_->questions[0], "Вы действительно хотите выйти из программы?");
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(window_->Controller().IsMeasuring());
    window_->answerYes = true;
    window_->close();
    EXPECT_EQ(window_->questions.size(), 2u);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_TRUE(RunUntil([&] { return !simulator_->Measuring(); }));
    EXPECT_TRUE(window_->handlerErrors.empty());
}

// After a run: point inspection by clicking, marks, the abscissa choice and
// an export that fails and one that works.
TEST_F(MainWindowTest, AfterARunPointsAreInspectedMarkedAndExported) {
    RecordRun(4);
    TChartPlot* chart = TimeChart();
    const tSeries& temperature = Model().TimeSeries(0);
    const double t2 = temperature.X(2);

    ClickAt(chart, t2);
    EXPECT_EQ(Model().CursorIndex(), 2);
    EXPECT_EQ(RowValue(QString::fromUtf8("t, с")).toDouble(), std::round(t2 * 1000) / 1000);
    EXPECT_FALSE(RowValue(QString::fromUtf8("dt, с")).isEmpty());
    chart->replot();
    ASSERT_TRUE(Line(chart, "lnCursor")->visible());
    EXPECT_DOUBLE_EQ(Line(chart, "lnCursor")->point1->coords().x(), t2);
    EXPECT_EQ(Line(chart, "lnCursor")->pen().width(), kMarkerLineWidth);
    EXPECT_FALSE(Line(chart, "lnOrigin")->visible());

    // The time origin goes where the origin action says; the cursor stays.
    window_->Trigger("acFileSetZeroMarker");
    ClickAt(chart, temperature.X(1));
    EXPECT_EQ(Model().ZeroMarkerIndex(), 1);
    EXPECT_EQ(Model().CursorIndex(), 2);
    chart->replot();
    EXPECT_TRUE(Line(chart, "lnOrigin")->visible());
    window_->Trigger("acFileSetZeroMarker");

    // A press and release outside the plot rectangle (on the legend).
    const QPoint outside(chart->axisRect()->rect().center().x(), chart->height() - 3);
    QMouseEvent press(QEvent::MouseButtonPress, outside, chart->mapToGlobal(outside),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(chart, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, outside, chart->mapToGlobal(outside),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(chart, &release);
    EXPECT_EQ(Model().CursorIndex(), 2);

    // Marking the inspected point puts captions on the first four curves.
    EXPECT_TRUE(Enabled("acFileMarkPoint"));
    window_->Trigger("acFileMarkPoint");
    EXPECT_TRUE(Model().Selection().HasMarks());
    EXPECT_EQ(MarkItems(chart), 4u * 2u);  // an arrow and a caption each
    window_->Trigger("acFileMarkPoint");
    EXPECT_EQ(MarkItems(chart), 0u);

    // pH as abscissa: the dependence chart is rebuilt from the whole run.
    Child<QRadioButton>("rbAbsciss1")->click();
    EXPECT_EQ(Model().Abscissa(), 1);
    TChartPlot* depend = DependChart();
    // After the run its axis spans the pH the run covered, as the model says.
    EXPECT_DOUBLE_EQ(depend->xAxis->range().lower, Model().DependAxis().min);
    EXPECT_DOUBLE_EQ(depend->xAxis->range().upper, Model().DependAxis().max);
    EXPECT_GT(depend->xAxis->range().lower, 0.0);
    EXPECT_FALSE(depend->plottable(1)->visible());
    EXPECT_EQ(Drawn(depend, 1), 0u);
    for (int i : {0, 2, 3, 4, 5, 6}) {
        EXPECT_TRUE(depend->plottable(i)->visible()) << i;
        EXPECT_EQ(Drawn(depend, i), Model().PointCount()) << i;
    }

    // A file that cannot be written: the message is shown, nothing breaks.
    window_->saveFile = (dir_ / "no such folder" / "run.csv").string();
    window_->Trigger("acFileExport");
    ASSERT_EQ(window_->handlerErrors.size(), 1u);
    EXPECT_FALSE(window_->handlerErrors[0].empty());
    window_->saveFile = (dir_ / "run.csv").string();
    window_->Trigger("acFileExport");
    EXPECT_EQ(window_->handlerErrors.size(), 1u);
    EXPECT_TRUE(fs::exists(dir_ / "run.csv"));
    EXPECT_TRUE(Enabled("acDeviceStart"));
}

// The analysis of a finished run in the window: the right-hand scale in real
// units, the statistics of the inspected stretch copied as shown, the chart
// saved as a picture a report can use, and an earlier run behind this one.
TEST_F(MainWindowTest, AnalysisScaleStatisticsPictureAndReference) {
    RecordRun(6);
    TChartPlot* chart = TimeChart();
    EXPECT_FALSE(chart->yAxis2->visible()) << "none by default";
    Child<QAction>("miRightAxis1")->trigger();
    ASSERT_TRUE(chart->yAxis2->visible());
    EXPECT_TRUE(chart->yAxis2->label().startsWith("pH")) << chart->yAxis2->label().toStdString();
    chart->yAxis->setRange(0, 50);
    EXPECT_DOUBLE_EQ(chart->yAxis2->range().upper, 7.0) << "half of the pH range, 0..14";
    Child<QAction>("miRightAxisNone")->trigger();
    EXPECT_FALSE(chart->yAxis2->visible());

    // Hovering over a point tells its time and the readings there.
    const double t3 = Model().TimeSeries(0).X(3);
    const QPointF over(chart->xAxis->coordToPixel(t3), chart->axisRect()->rect().center().y());
    QMouseEvent move(QEvent::MouseMove, over, chart->mapToGlobal(over), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(chart, &move);
    const QString tip = QToolTip::text();
    EXPECT_TRUE(tip.startsWith(QString::fromStdString("t = " + formatFixed(t3, 3))))
        << tip.toStdString();
    EXPECT_TRUE(tip.contains(QString::fromUtf8("pH: ") +
                             QString::fromStdString(formatFixed(Model().Data().Shown(qLP, 3), 2))))
        << tip.toStdString();

    ClickAt(chart, Model().TimeSeries(0).X(4));
    window_->Trigger("acAnalysisStatistics");
    auto* dialog = Child<QDialog>("fmStatistics");
    ASSERT_NE(dialog, nullptr);
    auto* table = Widget<QTableWidget>(dialog, "tbStatistics");
    EXPECT_EQ(table->rowCount(), 7) << "every visible quantity";
    Widget<QPushButton>(dialog, "btnCopy")->click();
    const QStringList copied = QApplication::clipboard()->text().split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(copied.size(), 8);
    EXPECT_EQ(copied[1].split('\t').size(), table->columnCount());
    EXPECT_EQ(copied[1].split('\t')[1], table->item(0, 1)->text()) << "copied as shown";
    dialog->close();

    for (const char* name : {"time.png", "time.pdf"}) {
        window_->saveFile = (dir_ / name).string();
        window_->Trigger("acFileSavePicture");
        ASSERT_TRUE(fs::exists(dir_ / name)) << name;
    }
    EXPECT_GE(QImageReader(QString::fromStdString((dir_ / "time.png").string())).size().width(),
              1600);
    std::ifstream pdf(dir_ / "time.pdf", std::ios::binary);
    std::string head(5, ' ');
    pdf.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");
    window_->saveFile = (dir_ / "no such folder" / "x.png").string();
    window_->Trigger("acFileSavePicture");
    ASSERT_EQ(window_->handlerErrors.size(), 1u);
    EXPECT_NE(window_->handlerErrors[0].find("Рисунок не сохранён"), std::string::npos);

    // The lab report asks for the student first; cancelled, nothing is written.
    window_->saveFile = (dir_ / "report.pdf").string();
    window_->Trigger("acFileReport");
    EXPECT_FALSE(fs::exists(dir_ / "report.pdf"));
    window_->typed = "Ким Анна, 8 «А»";
    window_->Trigger("acFileReport");
    auto headOf = [this](const char* name, std::size_t n) {
        std::ifstream file(dir_ / name, std::ios::binary);
        std::string bytes(n, ' ');
        file.read(bytes.data(), static_cast<std::streamsize>(n));
        return bytes;
    };
    EXPECT_EQ(headOf("report.pdf", 5), "%PDF-");
    EXPECT_EQ(window_->handlerErrors.size(), 1u);
    // The workbook from the menu: a zip package where it was asked for.
    window_->saveFile = (dir_ / "run.xlsx").string();
    window_->Trigger("acFileExportWorkbook");
    EXPECT_EQ(headOf("run.xlsx", 2), "PK");
    EXPECT_EQ(window_->handlerErrors.size(), 1u);

    // An earlier run: faded curves behind this one on both charts, until removed.
    const int before = chart->plottableCount();
    {
        std::ofstream run(dir_ / "earlier.csv", std::ios::binary);
        run << "t\tТемпература\tpH\r\n0.200\t21.50\t3.00\r\n0.400\t22.00\t3.10\r\n";
    }
    window_->openFile = (dir_ / "earlier.csv").string();
    window_->Trigger("acFileOpenReference");
    EXPECT_EQ(chart->plottableCount(), before + 2);
    EXPECT_EQ(chart->plottable(before)->layer()->name(), "grid") << "behind the run";
    EXPECT_LT(chart->plottable(before)->pen().color().alpha(), 255);
    window_->Trigger("acFileCloseReference");
    EXPECT_EQ(chart->plottableCount(), before);
}

// What the user finds where: menus and tool bar in their order, the exit
// shortcuts, hints in the first status panel, the panels' widths, pictures.
TEST_F(MainWindowTest, MenusToolBarAndStatusBarAreWhereTheUserKnowsThem) {
    const auto namesOf = [](const QList<QAction*>& actions) {
        QStringList names;
        for (QAction* a : actions) {
            names << (a->isSeparator()       ? QString("-")
                      : a->menu() != nullptr ? a->menu()->objectName()
                                             : a->objectName());
        }
        return names;
    };
    const QList<QAction*> menus = window_->menuBar()->actions();
    ASSERT_EQ(menus.size(), 6);
    EXPECT_EQ(menus[0]->text(), QString::fromUtf8("&Файл"));
    EXPECT_EQ(namesOf(menus[0]->menu()->actions()).join(' '),
              "miFileLanguage - acFileOpen acFileClose acFileOpenRun acFileOpenReference "
              "acFileCloseReference - acFileSetZeroMarker acFileMarkPoint acFileExport "
              "acFileExportWorkbook acFileShowAll acFileSavePicture - acFileReport acFilePrint - "
              "acFileExit");
    EXPECT_EQ(namesOf(menus[1]->menu()->actions()).join(' '),
              "acViewToolBar acViewStatusBar - miRightAxis");
    EXPECT_EQ(namesOf(menus[2]->menu()->actions()).join(' '),
              "acDeviceConnect - acDeviceStart acDevicePause acDeviceStop - acDeviceFreq "
              "acDeviceSettings");
    EXPECT_EQ(
        namesOf(menus[3]->menu()->actions()).join(' '),
        "acAnalysisEquivalence acAnalysisDerivative - acAnalysisStatistics acAnalysisArea - "
        "acAnalysisFitLinear acAnalysisFitQuadratic acAnalysisFitExponential acAnalysisTangent "
        "miAnalysisAll acAnalysisFitsRemove");
    EXPECT_EQ(namesOf(menus[4]->menu()->actions()).join(' '), "acClassOpen");
    EXPECT_EQ(namesOf(menus[5]->menu()->actions()).join(' '), "acHelpAbout");

    QStringList bar;
    for (QAction* a : ToolBar()->actions()) {
        QWidget* widget = ToolBar()->widgetForAction(a);
        bar << (a->isSeparator()             ? QString("-")
                : !a->objectName().isEmpty() ? a->objectName()
                : widget != nullptr          ? widget->objectName()
                                             : QString("?"));
    }
    EXPECT_EQ(bar.join(' '),
              "acDeviceConnect acFileOpen acFileClose - acDeviceFreq - acDeviceStart "
              "acDevicePause acDeviceStop - acFileSetZeroMarker acFileMarkPoint acFileShowAll "
              "acFileExport tbChooseCoord - acDeviceSettings - acFileExit - lbState");
    EXPECT_EQ(ScenarioLabel()->text(), QString::fromUtf8("<СЦЕНАРИЙ НЕ ЗАГРУЖЕН>"));
    EXPECT_TRUE(ScenarioLabel()->font().bold());
    EXPECT_EQ(ScenarioLabel()->font().pixelSize(), 21);

    const QList<QKeySequence> exitKeys = ActionByName("acFileExit")->shortcuts();
    ASSERT_EQ(exitKeys.size(), 2);
    EXPECT_EQ(exitKeys[0], QKeySequence(Qt::ALT | Qt::Key_X));
    EXPECT_EQ(exitKeys[1], QKeySequence(Qt::ALT | QChar(0x0427).unicode()));  // Alt+Ч
    EXPECT_EQ(ActionByName("acFileOpen")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));

    QAction* mark = ActionByName("acFileMarkPoint");
    QStatusTipEvent tip(mark->statusTip());
    QApplication::sendEvent(window_.get(), &tip);
    EXPECT_EQ(StatusPanel(0)->text(), QString::fromUtf8("Отметить точку для экспорта"));
    EXPECT_EQ(ActionByName("acFileExport")->toolTip(), QString::fromUtf8("Экспорт данных в файл"));

    EXPECT_EQ(StatusPanel(1)->width(), 75);
    EXPECT_EQ(StatusPanel(2)->width(), 100);
    const QFontMetrics metrics(window_->statusBar()->font());
    EXPECT_EQ(StatusPanel(3)->width(), std::lround(1.5 * metrics.horizontalAdvance(" 88:88:88 ")));

    // The relative-readings menu lists the seven quantities after its title.
    const QList<QAction*> relative = RelativeMenu()->actions();
    ASSERT_EQ(relative.size(), 2 + kQuantityCount);
    EXPECT_EQ(relative[3]->objectName(), "miLP");
    relative[3]->trigger();
    EXPECT_TRUE(Model().Relative(1));
    EXPECT_FALSE(Model().Relative(0));

    // Every tool-bar picture has its own disabled look.
    for (QAction* a : ToolBar()->actions()) {
        if (a->isSeparator() || a->objectName().isEmpty()) {
            continue;
        }
        const QIcon icon = a->icon();
        ASSERT_FALSE(icon.isNull()) << a->objectName().toStdString();
        EXPECT_NE(icon.pixmap(24, QIcon::Normal).toImage(),
                  icon.pixmap(24, QIcon::Disabled).toImage())
            << a->objectName().toStdString();
    }
}

// Scenarios that fail to load (here as --scenario opens them at start-up)
// are told once and logged once: a script that does not compile is logged
// by the loader where it arises, a missing script by the window.
TEST_F(MainWindowTest, AFailedScenarioIsToldAndLoggedOnce) {
    const fs::path scenario = dir_ / "broken.exp";
    std::ofstream(scenario) << "[General]\nName=Опыт\nStartState=0\nFinalState=0\nStateCount=1\n"
                               "[State0]\nName=Одно\nActionCount=0\n";
    for (const char* script : {"unit broken;\nfunction NewState(: Integer\n", ""}) {
        fs::remove(dir_ / "broken.tra");
        if (*script != '\0') {
            std::ofstream(dir_ / "broken.tra") << script;
        }
        window_->handlerErrors.clear();
        test::tCaptureLog log;
        EXPECT_FALSE(window_->Run([&] { window_->Controller().OpenScenario(scenario.string()); }));
        ASSERT_EQ(window_->handlerErrors.size(), 1u);
        EXPECT_EQ(log.Count(window_->handlerErrors[0]), 1) << window_->handlerErrors[0];
    }
}

// However narrow the window, the scenario's state stays on the tool bar:
// the experiment's name gives way first, and the tool tip has it all.
TEST_F(MainWindowTest, ScenarioLabelStaysInSightInANarrowWindow) {
    const std::string name = "Титрование соляной кислоты гидроксидом натрия с индикатором";
    const std::string state = "Дозирование щёлочи";
    window_->SetScenarioLabel(name, state);
    auto* label = window_->findChild<tScenarioLabel*>("lbState");
    ASSERT_NE(label, nullptr);
    for (const int width : {1100, 1000, 1}) {  // 1: as narrow as the window goes
        SCOPED_TRACE(width);
        window_->resize(width, 720);
        RunFor(50);
        EXPECT_TRUE(label->isVisible());
        const QString shown = label->ShownText();
        EXPECT_FALSE(shown.isEmpty());
        if (width == 1000) {
            EXPECT_TRUE(shown.endsWith(qs(" - " + state))) << shown.toStdString();
            EXPECT_TRUE(shown.contains(QStringLiteral("…"))) << shown.toStdString();
        }
    }
    EXPECT_EQ(label->toolTip(), qs(name + " - " + state));
}

TEST_F(MainWindowTest, CurveListKeepsTheLastCurveTicked) {
    QListWidget* list = CurveList();
    for (int i = 1; i < kQuantityCount; ++i) {
        list->item(i)->setCheckState(Qt::Unchecked);
    }
    EXPECT_FALSE(list->item(0)->flags().testFlag(Qt::ItemIsEnabled));
    EXPECT_TRUE(TimeChart()->plottable(0)->visible());
    EXPECT_FALSE(TimeChart()->plottable(3)->visible());
    list->item(3)->setCheckState(Qt::Checked);
    EXPECT_TRUE(list->item(0)->flags().testFlag(Qt::ItemIsEnabled));
    EXPECT_TRUE(TimeChart()->plottable(3)->visible());
}

// With show-all on, the time axis keeps fitting every point as records
// arrive, not only the extent it had when show-all was switched on.
TEST_F(MainWindowTest, ShowAllKeepsFittingTheLiveRun) {
    Connect();
    window_->Trigger("acDeviceStart");
    window_->Trigger("acFileShowAll");
    ASSERT_TRUE(Checked("acFileShowAll"));
    const auto newest = [&] { return Model().TimeSeries(0).X(Model().PointCount() - 1); };
    for (std::size_t points : {5u, 15u}) {
        ASSERT_TRUE(RunUntil([&] { return Model().PointCount() >= points; }));
        RunFor(30);  // the tick that took them has drawn
        const QCPRange shown = TimeChart()->xAxis->range();
        EXPECT_DOUBLE_EQ(shown.upper, newest()) << points;
        EXPECT_DOUBLE_EQ(shown.lower, Model().TimeSeries(0).X(0)) << points;
    }
    window_->Trigger("acDeviceStop");
    EXPECT_DOUBLE_EQ(TimeChart()->xAxis->range().upper, newest());
}

// Smaller things a user meets: the value box's range hint in the status bar,
// a window that keeps its size when the actuator panel appears, and the exit
// question back after the system's shutdown was cancelled.
TEST_F(MainWindowTest, HintsSizeAndCancelledShutdown) {
    // What the window may shrink to decides whether it grows: the same
    // before and after the actuator panel appears.
    const QSize before = window_->size();
    const QSize smallest = window_->minimumSizeHint();
    Connect();
    QApplication::processEvents();
    EXPECT_EQ(window_->minimumSizeHint(), smallest);
    EXPECT_EQ(window_->size(), before);

    QWidget* valueBox = Widget<QLineEdit>(ActuatorFrame(2), "edState");
    QStatusTipEvent tip(valueBox->statusTip());
    QApplication::sendEvent(valueBox, &tip);
    EXPECT_EQ(StatusPanel(0)->text(), QString("[-600..-6],[6..600]"));

    TfmMain& fm = window_->Controller();
    fm.QueryEndSession();
    EXPECT_TRUE(fm.FormCloseQuery(true));  // the system is ending: no question
    EXPECT_TRUE(window_->questions.empty());
    ASSERT_TRUE(QMetaObject::invokeMethod(window_.get(), "SessionEndCancelled"));
    EXPECT_FALSE(fm.FormCloseQuery(true));
    EXPECT_EQ(window_->questions.size(), 1u);
}

// The report is painted beside the window, which stays alive and can
// cancel it: then nothing is written. Drawn to be read on paper (numbers on
// both sides, the whole run), it leaves the window's charts as they were.
TEST_F(MainWindowTest, TheReportCanBeCancelledAndLeavesTheChartsAsTheyWere) {
    RecordRun(8);
    TChartPlot* chart = TimeChart();
    chart->xAxis->setRange(0.1, 0.5);  // the user's zoom
    const auto look = [](TChartPlot* plot) {
        QStringList parts{plot->xAxis->label(),
                          plot->yAxis->label(),
                          QString::number(plot->xAxis->range().lower),
                          QString::number(plot->xAxis->range().upper),
                          QString::number(plot->yAxis->tickLabels()),
                          QString::number(plot->yAxis2->visible())};
        for (int i = 0; i < plot->legend->itemCount(); ++i) {
            if (auto* item = qobject_cast<QCPPlottableLegendItem*>(plot->legend->item(i))) {
                parts << item->plottable()->name();
            }
        }
        return parts.join('|');
    };
    const QString before = look(chart) + look(DependChart());
    EXPECT_TRUE(before.startsWith(QString::fromUtf8("t, с|Показания|0.1|0.5|0|0|Температура")))
        << before.toStdString();

    window_->typed = "Ким Анна";
    const fs::path pdf = dir_ / "report.pdf";
    window_->saveFile = pdf.string();
    bool cancelled = false;
    QTimer::singleShot(0, [&] {
        if (auto* progress = window_->findChild<QProgressDialog*>("fmReportProgress")) {
            progress->cancel();
            cancelled = true;
        }
    });
    window_->Trigger("acFileReport");
    EXPECT_TRUE(cancelled) << "the window went on while the report was painted";
    EXPECT_FALSE(fs::exists(pdf));
    EXPECT_TRUE(window_->handlerErrors.empty()) << "a cancel is no failure";
    EXPECT_EQ(window_->findChild<QProgressDialog*>("fmReportProgress"), nullptr);

    window_->Trigger("acFileReport");
    EXPECT_TRUE(fs::exists(pdf));
    EXPECT_EQ(look(chart) + look(DependChart()), before);
    EXPECT_EQ(Model().TimeAxis().min, 0.1) << "the zoom stays the model's too";
}

// Whatever else is drawn has its entry in the legend, also after the
// legend was made again for a curve shown or hidden.
TEST_F(MainWindowTest, TheDerivativeKeepsItsLegendEntry) {
    RecordRun(4);
    auto* view = window_->findChild<tAnalysisView*>();
    ASSERT_NE(view, nullptr);
    tEquivalenceMark mark;
    mark.x = 5.0;
    mark.y = 50.0;
    mark.derivativeX = {4.0, 5.0, 6.0};
    mark.derivativeY = {10.0, 100.0, 10.0};
    mark.derivativeName = "dpH/dV";
    view->ShowEquivalence(&mark, true);
    window_->Controller().chSeriesClickCheck(qLT, false);
    const auto named = [](TChartPlot* plot, const char* name) {
        for (int i = 0; i < plot->legend->itemCount(); ++i) {
            auto* item = qobject_cast<QCPPlottableLegendItem*>(plot->legend->item(i));
            if (item != nullptr && item->plottable()->name() == QString::fromUtf8(name)) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(named(DependChart(), "dpH/dV"));
    EXPECT_TRUE(named(DependChart(), "Точка эквивалентности"));
    view->ShowEquivalence(nullptr, false);
    EXPECT_FALSE(named(DependChart(), "dpH/dV"));
}

TEST(MainWindowParts, FileFiltersBecomeQtNameFilters) {
    EXPECT_EQ(TfmMainWindow::QtFilter("Файлы экспериментов (*.exp)|*.exp|Все файлы (*.*)|*.*"),
              QString::fromUtf8("Файлы экспериментов (*.exp);;Все файлы (*.*)"));
    EXPECT_EQ(TfmMainWindow::QtFilter("Tables|*.csv;*.txt"), QString("Tables (*.csv *.txt)"));
    EXPECT_EQ(TfmMainWindow::QtFilter(""), QString());
}

TEST(MainWindowParts, MissingConfigurationRefusesToBuildTheWindow) {
    EXPECT_THROW(TfmMainWindow("/nonexistent/vantrel.cfg"), std::exception);
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

// The class link's panel: absent without a class broker; with one out of
// reach it says so, while the station connects and records as ever.
TEST_F(MainWindowTest, TheClassPanelTellsAnUnreachableBrokerAndTheRunGoesOn) {
    EXPECT_TRUE(Child<QLabel>("sbClass")->isHidden());
    window_.reset();
    // Port 1 on this computer: nothing listens there.
    std::ofstream(config_, std::ios::app) << "ClassBroker=127.0.0.1:1\nClassName=8B\n"
                                             "StationName=Стол 3\n";
    window_ = std::make_unique<tTestWindow>(config_);
    window_->show();
    TfmMain::tStart start;
    start.ports = {simulator_->PortPath()};
    window_->Controller().Prepare(start);
    QLabel* panel = Child<QLabel>("sbClass");
    EXPECT_TRUE(RunUntil([&] {
        return panel->text() == QString("class: not connected (Connection refused)");
    })) << panel->text().toStdString();
    EXPECT_TRUE(panel->isVisible());
    RecordRun(5);
}

}  // namespace
}  // namespace vantrel
