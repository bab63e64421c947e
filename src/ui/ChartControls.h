#pragma once

#include <QObject>
#include <array>

#include "device/Readings.h"

class QAction;
class QButtonGroup;
class QGroupBox;
class QListWidget;
class QMenu;
class QTableWidget;
class QWidget;

namespace vantrel {

class tChartModel;

// The widgets that show and steer the chart model beside the charts: the
// value list and the curve check list of the right-hand panel, the abscissa
// choice under the dependence chart and the relative-readings menu. They
// show what the model holds (the Sync functions) and report what the user
// picks; the window hands that to the controller.
class tChartControls : public QObject {
    Q_OBJECT

public:
    tChartControls(const tChartModel& model, QWidget& window);

    // For the window's layout.
    QWidget* RightPanel() const { return rightPanel_; }
    QGroupBox* AbscissaBox() const { return abscissaBox_; }
    QMenu* RelativeMenu() const { return pmZero_; }

    void SyncValueList();
    void SyncCheckList();
    void SyncAbscissa();
    void SyncRelativeMenu();
    void SyncAll();

signals:
    void curveToggled(int quantity, bool checked);
    // A curve was selected in the curve list: the one fits are made for.
    void curveChosen(int quantity);
    void abscissaChosen(int quantity);
    void relativeToggled(int quantity, bool checked);
    // A quantity's row was right-clicked and its right-axis scale chosen.
    void rightAxisRequested(int quantity);

private:
    void BuildRightPanel(QWidget& window);
    void BuildAbscissa(QWidget& window);
    void BuildRelativeMenu(QWidget& window);
    // Column widths for values `valueWidth` wide, and the list as high as
    // its rows.
    void FitValueList(int valueWidth);

    const tChartModel& model_;
    QWidget* rightPanel_ = nullptr;
    QTableWidget* vleData_ = nullptr;
    QListWidget* chSeries_ = nullptr;
    QGroupBox* abscissaBox_ = nullptr;
    QButtonGroup* rbAbsciss_ = nullptr;
    QMenu* pmZero_ = nullptr;
    std::array<QAction*, kQuantityCount> relativeItems_{};
    bool syncing_ = false;
};

}  // namespace vantrel
