#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "charts/ChartView.h"
#include "session/MainView.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QTranslator;

namespace vantrel {

class tScenarioLabel;
class TfmMain;
class TfmClassWindow;
class TfrActuator;
class TChartPlot;
class TRunTableView;
class tActionMirror;
class tAnalysisView;
class tChartControls;
class tLanguageFile;
class tReportWriter;

// The desktop main window. It renders what the controller (TfmMain) and the
// chart model decide and forwards the user's doings to them; every decision
// about enablement, data and files is theirs.
class TfmMainWindow : public QMainWindow, public iMainView, public iChartView {
    Q_OBJECT

public:
    // Loads the configuration from `configFileName`; a missing file raises
    // the settings store's error. The language files are looked for in
    // `languageFolders`.
    explicit TfmMainWindow(const std::string& configFileName,
                           const std::vector<std::string>& languageFolders = {},
                           QWidget* parent = nullptr);
    ~TfmMainWindow() override;

    TfmMain& Controller() const { return *controller_; }

    // What the event loop does when it goes idle: update rules, then the
    // mirrors. Public so that code driving the window can do it at once.
    void IdleUpdate();
    // Executes a controller action through the same path as a menu click.
    void Trigger(const std::string& actionName);

    // ---- iMainView
    void SetCaption(const std::string& text) override;
    void SetStatusText(int fromLast, const std::string& text) override;
    void SetClassStatus(const std::string& text) override;
    void SetScenarioLabel(const std::string& name, const std::string& state) override;
    void SetActuatorPanelVisible(bool visible) override;
    void SetToolBarVisible(bool visible) override;
    void SetStatusBarVisible(bool visible) override;
    void SetLanguageMenuVisible(bool visible) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    bool InputText(const std::string& caption, const std::string& prompt,
                   std::string& text) override;
    void ShowWarning(const std::string& text, const std::string& caption) override;
    void ShowError(const std::string& text, const std::string& caption) override;
    bool ChooseOpenFile(const std::string& filter, std::string& fileName) override;
    bool ChooseSaveFile(const std::string& defaultExtension, const std::string& filter,
                        std::string& fileName) override;
    void ShowSensorsPage() override;
    void SetTimerEnabled(tViewTimer timer, bool enabled) override;
    void ActionsChanged() override;
    void ShowActuatorFrame(int index, const tActuatorFrameText& frame) override;
    std::string ActuatorEditText(int index) const override;
    void ShowRelativeMenu() override;
    void ShowAbout() override;
    void Close() override;
    bool KeepResponsive(int milliseconds) override;
    std::string LanguageName(int languageId) const override;
    void SetLanguageMenu(const std::vector<std::string>& names, int checked) override;
    void CheckLanguage(int index) override;
    void ApplyLanguage(int languageId, const tLanguageFile* file) override;
    void ShowInformation(const std::string& text, const std::string& caption) override;
    // Opens the class view for the class `name` (Класс → Открыть класс...):
    // its broker started, or the school's used. Null, with the reason
    // shown, when the class cannot open; the view already open otherwise.
    class TfmClassWindow* OpenClass(const std::string& name);

    // ---- iChartView
    void ModeChanged(tChartMode mode) override;
    void TimeAxisChanged(double min, double max, bool automatic) override;
    void DependAxisChanged(double min, double max) override;
    void SeriesCleared() override;
    void PointsAppended() override;
    void TimeSeriesRebuilt() override;
    void DependRebuilt() override;
    void SeriesVisibilityChanged(int quantity) override;
    void ValueListChanged() override;
    void CheckListChanged() override;
    void Repaint() override;
    void TransitionsChanged() override;

    // How wide a dialog must be for its title bar to show `title` whole.
    int TitleRoom(const QString& title) const;

    // "Text (*.a)|*.a|All (*.*)|*.*" as a Qt name filter list.
    static QString QtFilter(const std::string& filter);

    // Runs `work` as the window runs a user's action: an error that escapes
    // is told in a box and logged (once). False when one did.
    bool Run(const std::function<void()>& work);

public slots:
    // The system asked to end the session, then did not: closing asks the
    // exit question again.
    void SessionEndCancelled();

protected:
    // The text of an error that escaped a handler: a critical message box,
    // then the program goes on. Overridable so that tests can collect them.
    virtual void ShowHandlerError(const std::string& message);
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWidgets();
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    QAction* ActionByName(const std::string& name) const;
    void SyncActions();
    void UpdateClockWidth();
    // Runs `work`; an escaping error is logged and shown (reportOf).
    template <class F>
    bool Guard(F&& work);

    std::unique_ptr<TfmMain> controller_;
    tActionMirror* mirror_ = nullptr;
    tChartControls* controls_ = nullptr;
    tAnalysisView* analysisView_ = nullptr;
    std::unique_ptr<tReportWriter> reportWriter_;

    QMenu* miFileLanguage_ = nullptr;
    QAction* miFileSeparator2_ = nullptr;
    QToolBar* tbMain_ = nullptr;
    QToolButton* tbChooseCoord_ = nullptr;
    tScenarioLabel* lbState_ = nullptr;
    std::array<QLabel*, 4> panels_{};
    QLabel* classPanel_ = nullptr;  // shown only with a class link
    QWidget* pnActuators_ = nullptr;
    std::array<TfrActuator*, 5> frames_{};
    QTabWidget* pcChart_ = nullptr;
    TChartPlot* chAll_ = nullptr;
    TChartPlot* chDepend_ = nullptr;
    TRunTableView* tvRun_ = nullptr;
    std::vector<QAction*> languageItems_;
    std::unique_ptr<tLanguageFile> language_;  // of this run; none for the built-in
    QPointer<TfmClassWindow> classWindow_;     // the teacher's view, while open
    std::vector<std::unique_ptr<QTranslator>> translators_;
    QTimer* tmTime_ = nullptr;
    QTimer* tmStart_ = nullptr;
    QTimer* sessionEndWait_ = nullptr;

    bool updating_ = false;
    bool closed_ = false;
    bool errorShowing_ = false;
};

}  // namespace vantrel
