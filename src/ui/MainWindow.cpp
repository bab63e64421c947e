#include "ui/MainWindow.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>

#include "base/Error.h"
#include "base/LogFile.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "lang/LanguageFile.h"
#include "lang/LanguageList.h"
#include "session/ClassLesson.h"
#include "session/MainFM.h"
#include "ui/AboutFM.h"
#include "ui/ActionMirror.h"
#include "ui/ActuatorFR.h"
#include "ui/AnalysisView.h"
#include "ui/ChartControls.h"
#include "ui/ChartPlot.h"
#include "ui/ClassWindow.h"
#include "ui/JobProgress.h"
#include "ui/Localiser.h"
#include "ui/QtText.h"
#include "ui/ReportWriter.h"
#include "ui/RunTableModel.h"
#include "ui/RunTableView.h"
#include "ui/ScenarioLabel.h"

namespace vantrel {

namespace {

constexpr int kActuatorPanelWidth = 225;
constexpr int kTitleBarButtons = 120;
const char* const kClockSample = " 88:88:88 ";
constexpr int kSessionEndWaitMs = 30000;

}  // namespace

template <class F>
bool TfmMainWindow::Guard(F&& work) {
    try {
        work();
        return true;
    } catch (...) {
        const tErrorReport report = reportOf(std::current_exception());
        if (!report.logText.empty()) {
            logFile->WriteLine(report.logText);
        }
        ShowHandlerError(report.shown);
    }
    return false;
}

bool TfmMainWindow::Run(const std::function<void()>& work) {
    return Guard(work);
}

TfmMainWindow::TfmMainWindow(const std::string& configFileName,
                             const std::vector<std::string>& languageFolders, QWidget* parent)
    : QMainWindow(parent) {
    setObjectName("fmMain");
    resize(1100, 720);
    tmTime_ = new QTimer(this);
    tmTime_->setObjectName("tmTime");
    tmTime_->setInterval(timerInterval(tViewTimer::Time));
    tmStart_ = new QTimer(this);
    tmStart_->setObjectName("tmStart");
    tmStart_->setInterval(timerInterval(tViewTimer::Start));

    BuildWidgets();
    BuildStatusBar();

    controller_ = std::make_unique<TfmMain>(*this, configFileName);
    tChartModel& model = controller_->Charts();

    chAll_ = new TChartPlot(tChartKind::Time, model, pcChart_->widget(0));
    pcChart_->widget(0)->layout()->addWidget(chAll_);
    chDepend_ = new TChartPlot(tChartKind::Depend, model, pcChart_->widget(1));
    static_cast<QVBoxLayout*>(pcChart_->widget(1)->layout())->insertWidget(0, chDepend_, 1);
    tvRun_ = new TRunTableView(model.Data(), model.Selection(), pcChart_->widget(2));
    pcChart_->widget(2)->layout()->addWidget(tvRun_);
    controls_ = new tChartControls(model, *this);
    pcChart_->widget(1)->layout()->addWidget(controls_->AbscissaBox());
    centralWidget()->layout()->addWidget(controls_->RightPanel());
    connect(controls_, &tChartControls::curveToggled, this, [this](int i, bool checked) {
        Guard([&] { controller_->chSeriesClickCheck(i, checked); });
    });
    connect(controls_, &tChartControls::abscissaChosen, this,
            [this](int i) { Guard([&] { controller_->rbAbscissClick(i); }); });
    connect(controls_, &tChartControls::curveChosen, this,
            [this](int i) { Guard([&] { controller_->Analysis().ChooseCurve(i); }); });
    connect(controls_, &tChartControls::relativeToggled, this, [this](int i, bool checked) {
        Guard([&] { controller_->RelativeItemToggled(i, checked); });
    });
    analysisView_ = new tAnalysisView(model, *chAll_, *chDepend_, *pcChart_, *this);
    controller_->Analysis().SetView(analysisView_);
    reportWriter_ = std::make_unique<tReportWriter>(model, *chAll_, *chDepend_, *this);
    controller_->Reports().SetView(reportWriter_.get());
    controller_->Reports().SetJobRunner(new tJobProgress(*this));
    connect(analysisView_, &tAnalysisView::rightAxisChosen, this,
            [this](int q) { Guard([&] { controller_->Analysis().SetRightAxis(q); }); });
    connect(controls_, &tChartControls::rightAxisRequested, this, [this](int q) {
        Guard([&] {
            tAnalysis& analysis = controller_->Analysis();
            analysis.SetRightAxis(analysis.RightAxis() == q ? -1 : q);
        });
    });
    model.SetView(this);

    mirror_ = new tActionMirror(controller_->Actions(), *this,
                                [this](const std::string& name) { Trigger(name); });
    BuildMenus();
    BuildToolBar();

    connect(tmTime_, &QTimer::timeout, this,
            [this] { Guard([this] { controller_->tmTimeTimer(); }); });
    connect(tmStart_, &QTimer::timeout, this,
            [this] { Guard([this] { controller_->tmStartTimer(); }); });
    connect(chAll_, &TChartPlot::clickedAt, this,
            [this](double x) { Guard([&] { controller_->chAccGyroClick(x); }); });
    connect(chDepend_, &TChartPlot::pointClickedAt, this,
            [this](double x, double y, double xScale, double yScale) {
                Guard([&] { controller_->chDependClick(x, y, xScale, yScale); });
            });
    // A record picked in the table is inspected as a click at its time.
    connect(tvRun_, &TRunTableView::recordChosen, this, [this](std::size_t p) {
        Guard([&] {
            const tRunData& run = controller_->Charts().Data();
            if (p < run.Count()) {
                controller_->chAccGyroClick(run.Time(p));
            }
        });
    });
    connect(chAll_, &TChartPlot::userRangeChanged, this, [this](double min, double max) {
        Guard([&] { controller_->Charts().SetTimeAxisRange(min, max); });
    });
    for (int i = 0; i < int(frames_.size()); ++i) {
        connect(frames_[i], &TfrActuator::setClicked, this,
                [this, i] { Guard([&] { controller_->btnSetClick(i); }); });
        connect(frames_[i], &TfrActuator::clearClicked, this,
                [this, i] { Guard([&] { controller_->btnClearClick(i); }); });
    }
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &TfmMainWindow::IdleUpdate);
    }
    if (qApp != nullptr) {
        // The session is ending: no exit question may hold it up. Qt says
        // nothing when the user then cancels the shutdown; a program still
        // running well after the request means the session went on.
        sessionEndWait_ = new QTimer(this);
        sessionEndWait_->setSingleShot(true);
        sessionEndWait_->setInterval(kSessionEndWaitMs);
        connect(sessionEndWait_, &QTimer::timeout, this, &TfmMainWindow::SessionEndCancelled);
        connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
            controller_->QueryEndSession();
            sessionEndWait_->start();
        });
    }

    controller_->FormCreate(languageFolders);
    controls_->SyncAll();
    chAll_->ApplyAxis(model.TimeAxis().min, model.TimeAxis().max);
    chDepend_->ApplyAxis(model.DependAxis().min, model.DependAxis().max);
    IdleUpdate();
}

TfmMainWindow::~TfmMainWindow() {
    tmTime_->stop();
    tmStart_->stop();
    if (controller_ != nullptr) {
        controller_->Charts().SetView(nullptr);
        controller_->Analysis().SetView(nullptr);
        controller_->Reports().SetView(nullptr);
        if (chAll_ != nullptr) {
            chAll_->DetachModel();
            chDepend_->DetachModel();
        }
        if (!closed_) {
            // Closed without the close sequence (program end, tests): still
            // stop the station and release the port in order.
            try {
                controller_->FormClose();
            } catch (const std::exception& error) {
                logFile->WriteLine(error.what());
            }
        }
        controller_.reset();
    }
}

void TfmMainWindow::BuildWidgets() {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);

    pnActuators_ = new QWidget(central);
    pnActuators_->setObjectName("pnActuators");
    pnActuators_->setFixedWidth(kActuatorPanelWidth);
    auto* actuatorColumn = new QVBoxLayout(pnActuators_);
    actuatorColumn->setContentsMargins(0, 0, 0, 0);
    actuatorColumn->setSpacing(0);
    for (std::size_t i = 0; i < frames_.size(); ++i) {
        frames_[i] = new TfrActuator(pnActuators_);
        frames_[i]->setObjectName(QString("frActuator%1").arg(i));
        actuatorColumn->addWidget(frames_[i]);
    }
    actuatorColumn->addStretch(1);
    // The panel keeps its room while hidden, so connecting neither resizes
    // the window nor shifts the charts.
    QSizePolicy keepRoom = pnActuators_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    pnActuators_->setSizePolicy(keepRoom);
    pnActuators_->setVisible(false);
    row->addWidget(pnActuators_);

    pcChart_ = new QTabWidget(central);
    pcChart_->setObjectName("pcChart");
    auto* tsSensors = new QWidget;
    tsSensors->setObjectName("tsSensors");
    auto* sensorsLayout = new QVBoxLayout(tsSensors);
    sensorsLayout->setContentsMargins(2, 2, 2, 2);
    pcChart_->addTab(tsSensors, QStringLiteral("Показания"));
    auto* tsDepend = new QWidget;
    tsDepend->setObjectName("tsDepend");
    auto* dependLayout = new QVBoxLayout(tsDepend);
    dependLayout->setContentsMargins(2, 2, 2, 2);
    pcChart_->addTab(tsDepend, QStringLiteral("Зависимость"));
    auto* tsTable = new QWidget;
    tsTable->setObjectName("tsTable");
    auto* tableLayout = new QVBoxLayout(tsTable);
    tableLayout->setContentsMargins(2, 2, 2, 2);
    pcChart_->addTab(tsTable, QStringLiteral("Таблица"));
    row->addWidget(pcChart_, 1);

    setCentralWidget(central);
}

void TfmMainWindow::BuildStatusBar() {
    auto* bar = statusBar();
    bar->setObjectName("sbMain");
    bar->setSizeGripEnabled(true);
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QString("sbPanel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panels_[i] = panel;
    }
    panels_[1]->setFixedWidth(75);
    panels_[1]->setAlignment(Qt::AlignCenter);
    panels_[2]->setFixedWidth(100);
    panels_[2]->setAlignment(Qt::AlignCenter);
    panels_[3]->setAlignment(Qt::AlignCenter);
    // All four are permanent widgets: a temporary status message would
    // otherwise hide the hint panel; hints are shown by event() instead.
    classPanel_ = new QLabel(bar);
    classPanel_->setObjectName("sbClass");
    classPanel_->setFrameShape(QFrame::Panel);
    classPanel_->setFrameShadow(QFrame::Sunken);
    classPanel_->hide();
    bar->addPermanentWidget(panels_[0], 1);
    bar->addPermanentWidget(classPanel_);
    bar->addPermanentWidget(panels_[1]);
    bar->addPermanentWidget(panels_[2]);
    bar->addPermanentWidget(panels_[3]);
    bar->installEventFilter(this);
    UpdateClockWidth();
}

void TfmMainWindow::UpdateClockWidth() {
    const QFontMetrics metrics(statusBar()->font());
    panels_[3]->setFixedWidth(
        int(std::lround(1.5 * metrics.horizontalAdvance(QString::fromLatin1(kClockSample)))));
}

QAction* TfmMainWindow::ActionByName(const std::string& name) const {
    return mirror_ != nullptr ? mirror_->Find(name) : nullptr;
}

void TfmMainWindow::BuildMenus() {
    const auto add = [this](QMenu* menu, const char* name) {
        if (QAction* action = ActionByName(name)) {
            menu->addAction(action);
        }
    };
    auto* bar = menuBar();
    auto* file = bar->addMenu(QStringLiteral("&Файл"));
    file->setObjectName("miFile");
    miFileLanguage_ = file->addMenu(QStringLiteral("&Language"));
    miFileLanguage_->setObjectName("miFileLanguage");
    miFileSeparator2_ = file->addSeparator();
    miFileSeparator2_->setObjectName("miFileSeparator2");
    add(file, "acFileOpen");
    add(file, "acFileClose");
    add(file, "acFileOpenRun");
    add(file, "acFileOpenReference");
    add(file, "acFileCloseReference");
    file->addSeparator();
    add(file, "acFileSetZeroMarker");
    add(file, "acFileMarkPoint");
    add(file, "acFileExport");
    add(file, "acFileExportWorkbook");
    add(file, "acFileShowAll");
    add(file, "acFileSavePicture");
    file->addSeparator();
    add(file, "acFileReport");
    add(file, "acFilePrint");
    file->addSeparator();
    add(file, "acFileExit");

    auto* view = bar->addMenu(QStringLiteral("&Вид"));
    view->setObjectName("miView");
    add(view, "acViewToolBar");
    add(view, "acViewStatusBar");
    view->addSeparator();
    view->addMenu(analysisView_->RightAxisMenu());

    auto* device = bar->addMenu(QStringLiteral("&Устройство"));
    device->setObjectName("miDevice");
    add(device, "acDeviceConnect");
    device->addSeparator();
    add(device, "acDeviceStart");
    add(device, "acDevicePause");
    add(device, "acDeviceStop");
    device->addSeparator();
    add(device, "acDeviceFreq");
    add(device, "acDeviceSettings");

    // Beside the station's menus, before the help.
    auto* analysis = bar->addMenu(QStringLiteral("&Анализ"));
    analysis->setObjectName("miAnalysis");
    add(analysis, "acAnalysisEquivalence");
    add(analysis, "acAnalysisDerivative");
    analysis->addSeparator();
    add(analysis, "acAnalysisStatistics");
    add(analysis, "acAnalysisArea");
    analysis->addSeparator();
    add(analysis, "acAnalysisFitLinear");
    add(analysis, "acAnalysisFitQuadratic");
    add(analysis, "acAnalysisFitExponential");
    add(analysis, "acAnalysisTangent");
    auto* allTicked = analysis->addMenu(QStringLiteral("Для &всех отмеченных"));
    allTicked->setObjectName("miAnalysisAll");
    add(allTicked, "acAnalysisFitAllLinear");
    add(allTicked, "acAnalysisFitAllQuadratic");
    add(allTicked, "acAnalysisFitAllExponential");
    add(allTicked, "acAnalysisTangentAll");
    add(analysis, "acAnalysisFitsRemove");

    // The teacher's: the class's stations seen together.
    auto* classMenu = bar->addMenu(QStringLiteral("&Класс"));
    classMenu->setObjectName("miClass");
    auto* open = classMenu->addAction(QStringLiteral("Открыть класс..."));
    open->setObjectName("acClassOpen");
    connect(open, &QAction::triggered, this, [this] {
        bool ok = false;
        const QString name = QInputDialog::getText(
            this, windowTitle(), qs(constantText("DK_CLASS_NAME_PROMPT")), QLineEdit::Normal,
            qs(controller_->Settings().GetSettingByName("ClassName")), &ok);
        if (ok && !name.trimmed().isEmpty()) {
            OpenClass(name.trimmed().toStdString());
        }
    });

    auto* help = bar->addMenu(QStringLiteral("&?"));
    help->setObjectName("miHelp");
    add(help, "acHelpAbout");
}

void TfmMainWindow::BuildToolBar() {
    tbMain_ = addToolBar(QStringLiteral("Панель инструментов"));
    tbMain_->setObjectName("tbMain");
    tbMain_->setMovable(false);
    tbMain_->setIconSize(QSize(24, 24));
    tbMain_->toggleViewAction()->setVisible(false);
    const auto add = [this](const char* name) {
        if (QAction* action = ActionByName(name)) {
            tbMain_->addAction(action);
        }
    };
    add("acDeviceConnect");
    add("acFileOpen");
    add("acFileClose");
    tbMain_->addSeparator();
    add("acDeviceFreq");
    tbMain_->addSeparator();
    add("acDeviceStart");
    add("acDevicePause");
    add("acDeviceStop");
    tbMain_->addSeparator();
    add("acFileSetZeroMarker");
    add("acFileMarkPoint");
    add("acFileShowAll");
    add("acFileExport");
    if (QAction* choose = ActionByName("acViewChooseCoord")) {
        tbChooseCoord_ = new QToolButton(tbMain_);
        tbChooseCoord_->setObjectName("tbChooseCoord");
        tbChooseCoord_->setDefaultAction(choose);
        tbChooseCoord_->setMenu(controls_->RelativeMenu());
        tbChooseCoord_->setPopupMode(QToolButton::MenuButtonPopup);
        tbChooseCoord_->setIconSize(tbMain_->iconSize());
        tbChooseCoord_->setAutoRaise(true);
        tbMain_->addWidget(tbChooseCoord_);
    }
    tbMain_->addSeparator();
    add("acDeviceSettings");
    tbMain_->addSeparator();
    add("acFileExit");
    tbMain_->addSeparator();
    lbState_ = new tScenarioLabel(tbMain_);
    lbState_->SetParts(qs(constantText("DK_NO_SCENARIO")), {});
    tbMain_->addWidget(lbState_);
}

// ---- idle update and actions

void TfmMainWindow::IdleUpdate() {
    if (updating_ || controller_ == nullptr || closed_) {
        return;
    }
    updating_ = true;
    try {
        controller_->UpdateActions();
    } catch (const std::exception& error) {
        // An update rule must not turn every idle moment into a message box.
        logFile->WriteLine(std::string("UPDATE: ") + error.what());
    }
    SyncActions();
    updating_ = false;
}

void TfmMainWindow::Trigger(const std::string& actionName) {
    if (controller_ == nullptr) {
        return;
    }
    Guard([&] { controller_->ExecuteAction(actionName); });
    // A checkable QAction toggled itself on the click; the controller's mark
    // is the one that counts.
    SyncActions();
}

void TfmMainWindow::ActionsChanged() {
    SyncActions();
}

void TfmMainWindow::SyncActions() {
    if (mirror_ != nullptr) {
        mirror_->Sync();
    }
}

// ---- iMainView

void TfmMainWindow::SetCaption(const std::string& text) {
    setWindowTitle(qs(text));
}

void TfmMainWindow::SetStatusText(int fromLast, const std::string& text) {
    const int index = int(panels_.size()) - 1 - fromLast;
    if (index < 0 || index >= int(panels_.size())) {
        return;
    }
    const QString value = qs(text);
    if (panels_[index]->text() != value) {
        panels_[index]->setText(value);
    }
}

void TfmMainWindow::SetClassStatus(const std::string& text) {
    classPanel_->setText(qs(text));
    classPanel_->setVisible(!text.empty());
}

void TfmMainWindow::SetScenarioLabel(const std::string& name, const std::string& state) {
    if (lbState_ != nullptr) {
        lbState_->SetParts(qs(name), qs(state));
    }
}

void TfmMainWindow::SetActuatorPanelVisible(bool visible) {
    if (pnActuators_->isHidden() == visible) {
        pnActuators_->setVisible(visible);
    }
}

void TfmMainWindow::SetToolBarVisible(bool visible) {
    if (tbMain_ != nullptr && tbMain_->isHidden() == visible) {
        tbMain_->setVisible(visible);
    }
}

void TfmMainWindow::SetStatusBarVisible(bool visible) {
    if (statusBar()->isHidden() == visible) {
        statusBar()->setVisible(visible);
    }
}

void TfmMainWindow::SetLanguageMenuVisible(bool visible) {
    if (miFileLanguage_ != nullptr) {
        miFileLanguage_->menuAction()->setVisible(visible);
        miFileSeparator2_->setVisible(visible);
    }
}

bool TfmMainWindow::AskYesNo(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, qs(caption), qs(text),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

int TfmMainWindow::TitleRoom(const QString& title) const {
    // The system draws titles in a font of its own, often bold and larger
    // than the window's: measured generously, with room for the title
    // bar's icon and buttons.
    QFont bold = font();
    bold.setBold(true);
    return int(std::lround(QFontMetrics(bold).horizontalAdvance(title) * 1.25)) + kTitleBarButtons;
}

bool TfmMainWindow::InputText(const std::string& caption, const std::string& prompt,
                              std::string& text) {
    QInputDialog dialog(this);
    dialog.setObjectName("fmInputText");
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(qs(caption));
    dialog.setLabelText(qs(prompt));
    dialog.setTextValue(qs(text));
    // A dialog narrower than its title has the title cut short. The dialog
    // takes its size from its parts: the text box is made wide enough.
    if (auto* edit = dialog.findChild<QLineEdit*>()) {
        const QMargins margins =
            dialog.layout() != nullptr ? dialog.layout()->contentsMargins() : QMargins();
        edit->setMinimumWidth(TitleRoom(dialog.windowTitle()) - margins.left() - margins.right());
    }
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    text = dialog.textValue().toStdString();
    return true;
}

void TfmMainWindow::ShowWarning(const std::string& text, const std::string& caption) {
    QMessageBox::warning(this, qs(caption), qs(text), QMessageBox::Ok);
}

void TfmMainWindow::ShowError(const std::string& text, const std::string& caption) {
    QMessageBox::critical(this, qs(caption), qs(text), QMessageBox::Ok);
}

QString TfmMainWindow::QtFilter(const std::string& filter) {
    const QStringList parts = qs(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString text = parts[i].trimmed();
        const QString masks = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(' ');
        // Qt takes the patterns from the parentheses; put them there when the
        // text does not already show exactly these.
        if (!text.endsWith(QStringLiteral("(") + masks + QStringLiteral(")"))) {
            text += QStringLiteral(" (") + masks + QStringLiteral(")");
        }
        filters.push_back(text);
    }
    return filters.join(QStringLiteral(";;"));
}

namespace {

// Shows a prepared file dialog opened at `fileName`, a folder or a file to
// preselect; the chosen file comes back in `fileName`. False when cancelled.
bool runFileDialog(QFileDialog& dialog, std::string& fileName) {
    if (const QFileInfo start(qs(fileName)); start.isDir()) {
        dialog.setDirectory(start.absoluteFilePath());
    } else if (!fileName.empty()) {
        if (start.absoluteDir().exists()) {
            dialog.setDirectory(start.absolutePath());
        }
        dialog.selectFile(start.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    fileName = dialog.selectedFiles().front().toStdString();
    return true;
}

}  // namespace

bool TfmMainWindow::ChooseOpenFile(const std::string& filter, std::string& fileName) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QtFilter(filter));
    return runFileDialog(dialog, fileName);
}

bool TfmMainWindow::ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                                   std::string& fileName) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QtFilter(filter));
    dialog.setDefaultSuffix(qs(defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    return runFileDialog(dialog, fileName);
}

void TfmMainWindow::ShowSensorsPage() {
    pcChart_->setCurrentIndex(0);
}

void TfmMainWindow::SetTimerEnabled(tViewTimer timer, bool enabled) {
    QTimer* t = timer == tViewTimer::Time ? tmTime_ : tmStart_;
    if (enabled && !t->isActive()) {
        t->start();
    } else if (!enabled && t->isActive()) {
        t->stop();
    }
}

void TfmMainWindow::ShowActuatorFrame(int index, const tActuatorFrameText& frame) {
    if (index < 0 || index >= int(frames_.size())) {
        return;
    }
    TfrActuator* f = frames_[index];
    f->SetTitle(qs(frame.name));
    f->SetId(qs(frame.id));
    f->SetRangeHint(qs(frame.rangeHint));
    f->SetStateText(qs(frame.stateText));
    f->SetSpeedText(qs(frame.speedText));
    f->SetDirection(frame.forwardVisible, frame.backVisible);
}

std::string TfmMainWindow::ActuatorEditText(int index) const {
    if (index < 0 || index >= int(frames_.size())) {
        return {};
    }
    return frames_[index]->ValueText().toStdString();
}

void TfmMainWindow::ShowRelativeMenu() {
    controls_->SyncRelativeMenu();
    QPoint where = QCursor::pos();
    if (tbChooseCoord_ != nullptr && tbChooseCoord_->isVisible()) {
        where = tbChooseCoord_->mapToGlobal(QPoint(0, tbChooseCoord_->height()));
    }
    // Non-blocking: the acquisition tick and the clock go on meanwhile.
    controls_->RelativeMenu()->popup(where);
}

void TfmMainWindow::ShowAbout() {
    TfmAbout about(language_.get(), this);
    about.exec();
}

void TfmMainWindow::Close() {
    close();
}

// ---- languages

std::string TfmMainWindow::LanguageName(int languageId) const {
    const std::string tag = localeTagOf(languageId);
    if (tag.empty()) {
        return {};
    }
    const QLocale locale(qs(tag));
    if (locale.language() == QLocale::C) {
        return {};
    }
    QString name = locale.nativeLanguageName();
    if (!name.isEmpty()) {
        name[0] = name[0].toUpper();
    }
    return name.toStdString();
}

void TfmMainWindow::SetLanguageMenu(const std::vector<std::string>& names, int checked) {
    auto* group = new QActionGroup(miFileLanguage_);
    group->setExclusive(true);
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto* item = miFileLanguage_->addAction(qs(names[i]));
        item->setObjectName(QString("miFileLanguage%1").arg(i));
        item->setCheckable(true);
        item->setChecked(int(i) == checked);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, i] {
            Guard([&] { controller_->miChangeLanguage(int(i)); });
            CheckLanguage(controller_->LanguageIndex());
        });
        languageItems_.push_back(item);
    }
}

void TfmMainWindow::CheckLanguage(int index) {
    if (index >= 0 && index < int(languageItems_.size())) {
        languageItems_[std::size_t(index)]->setChecked(true);
    }
}

void TfmMainWindow::ApplyLanguage(int languageId, const tLanguageFile* file) {
    // The toolkit's own texts: Qt's translation where it ships one, the
    // language file's [Qt] texts on top, Russian underneath for whatever
    // neither has (Qt has no Kazakh).
    for (auto& translator : translators_) {
        QCoreApplication::removeTranslator(translator.get());
    }
    translators_.clear();
    // Beside the program where the Windows installer puts them, else Qt's own.
    const QString folders[] = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
        QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    const std::string tag = localeTagOf(languageId);
    for (const QString& code : {QStringLiteral("ru"), qs(tag.substr(0, tag.find('_')))}) {
        auto qt = std::make_unique<QTranslator>();
        if (!code.isEmpty() &&
            std::any_of(std::begin(folders), std::end(folders), [&](const QString& folder) {
                return qt->load(QStringLiteral("qtbase_") + code, folder);
            })) {
            QCoreApplication::installTranslator(qt.get());
            translators_.push_back(std::move(qt));
        }
    }
    if (!tag.empty()) {
        QLocale::setDefault(QLocale(qs(tag)));
    }
    if (file == nullptr) {
        return;
    }
    language_ = std::make_unique<tLanguageFile>(*file);
    if (!file->QtTexts().empty()) {
        auto own = std::make_unique<tFileTranslator>(file->QtTexts());
        QCoreApplication::installTranslator(own.get());
        translators_.push_back(std::move(own));
    }
    // The controller applies what it holds: the actions, the value-list
    // keys and the file choosers.
    const auto controllers = [this](const tTranslation& t) {
        return controller_->FindAction(t.object) != nullptr ||
               (t.object == "vleData" && t.property == "Keys") || t.object == "sd" ||
               t.object == "od";
    };
    std::vector<std::string> unmatched =
        localise(*this, file->Translations("TfmMain"), controllers);
    for (TfrActuator* frame : frames_) {
        for (std::string& key : localise(*frame, file->Translations("TfrActuator"))) {
            unmatched.push_back(std::move(key));
        }
    }
    for (const std::string& key : unmatched) {
        logFile->WriteLine("LANGUAGE: nothing to translate for " + key);
    }
    analysisView_->Refresh();
}

TfmClassWindow* TfmMainWindow::OpenClass(const std::string& name) {
    if (classWindow_) {
        classWindow_->show();
        classWindow_->raise();
        return classWindow_;
    }
    try {
        auto lesson = std::make_unique<tClassLesson>(
            controller_->Settings(), name, QApplication::applicationFilePath().toStdString(),
            nullptr);
        classWindow_ = new TfmClassWindow(std::move(lesson), language_.get(), this);
        classWindow_->setWindowFlag(Qt::Window);
        classWindow_->show();
        return classWindow_;
    } catch (const std::exception& e) {
        logFile->WriteLine(std::string("CLASS: not opened: ") + e.what());
        QMessageBox::warning(this, windowTitle(),
                             qs(formatText(constantText("DK_CLASS_OPEN_FAILED"), {e.what()})));
        return nullptr;
    }
}

void TfmMainWindow::ShowInformation(const std::string& text, const std::string& caption) {
    QMessageBox::information(this, qs(caption), qs(text), QMessageBox::Ok);
}

void TfmMainWindow::SessionEndCancelled() {
    controller_->EndSession(false);
}

bool TfmMainWindow::KeepResponsive(int milliseconds) {
    // A nested loop that sleeps until an event or the time is up: the window
    // repaints, the clock ticks and Connect (now Cancel) can be pressed.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    return true;
}

// ---- chart notifications

void TfmMainWindow::ModeChanged(tChartMode mode) {
    chAll_->ApplyMode(mode);
    chDepend_->ApplyMode(mode);
}

void TfmMainWindow::TimeAxisChanged(double min, double max, bool /*automatic*/) {
    chAll_->ApplyAxis(min, max);
}

void TfmMainWindow::DependAxisChanged(double min, double max) {
    chDepend_->ApplyAxis(min, max);
    chDepend_->yAxis->setRange(kPercentLow, kPercentHigh);
}

void TfmMainWindow::SeriesCleared() {
    tvRun_->Model().Reset();
    chAll_->Reload();
    chDepend_->Reload();
    analysisView_->Refresh();
}

void TfmMainWindow::PointsAppended() {
    chAll_->AppendNew();
    chDepend_->AppendNew();
    tvRun_->RecordsAppended();
}

void TfmMainWindow::TimeSeriesRebuilt() {
    chAll_->Reload();
    tvRun_->Model().Refresh();
}

void TfmMainWindow::DependRebuilt() {
    chDepend_->Reload();
    controls_->SyncAbscissa();
    analysisView_->Refresh();
}

void TfmMainWindow::SeriesVisibilityChanged(int /*quantity*/) {
    chAll_->ApplyVisibility();
    chDepend_->ApplyVisibility();
    analysisView_->Refresh();
}

void TfmMainWindow::ValueListChanged() {
    controls_->SyncValueList();
}

void TfmMainWindow::CheckListChanged() {
    controls_->SyncCheckList();
}

void TfmMainWindow::TransitionsChanged() {
    chAll_->RefreshTransitions();
}

void TfmMainWindow::Repaint() {
    chAll_->RefreshMarks();
    chAll_->RequestReplot();
    chDepend_->RequestReplot();  // the inspected point is ringed there too
    tvRun_->Model().RefreshMarks();
    tvRun_->ShowRecord(controller_->Charts().CursorIndex());
}

// ---- events

void TfmMainWindow::ShowHandlerError(const std::string& message) {
    // Timers keep ticking behind a message box; a failure that repeats on
    // every tick must not pile up boxes while the first one is still open.
    if (errorShowing_) {
        return;
    }
    errorShowing_ = true;
    QMessageBox::critical(this, QStringLiteral("Vantrel"), qs(message), QMessageBox::Ok);
    errorShowing_ = false;
}

void TfmMainWindow::closeEvent(QCloseEvent* event) {
    if (closed_ || controller_ == nullptr) {
        event->accept();
        return;
    }
    bool allowed = false;
    if (!Guard([&] { allowed = controller_->FormCloseQuery(true); }) || !allowed) {
        event->ignore();
        return;
    }
    tmStart_->stop();
    Guard([&] { controller_->FormClose(); });
    tmTime_->stop();
    closed_ = true;
    event->accept();
}

bool TfmMainWindow::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        panels_[0]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool TfmMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == statusBar() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)) {
        UpdateClockWidth();
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace vantrel
