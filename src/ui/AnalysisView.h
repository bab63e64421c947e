#pragma once

#include <QObject>
#include <QPointF>
#include <QRectF>
#include <array>
#include <optional>
#include <vector>

#include "session/Analysis.h"

class QActionGroup;
class QCPAbstractItem;
class QCPAbstractPlottable;
class QCPCurve;
class QCPItemText;
class QMenu;
class QTabWidget;
class QWidget;

namespace vantrel {

class TChartPlot;
class tChartModel;

// What the analysis draws and shows in the window: the right-axis scale of
// the time chart and its hover values, the equivalence mark and the
// derivative on the dependence chart, a reference run's faded curves on
// both, the statistics dialog and the charts saved as pictures.
class tAnalysisView : public QObject, public iAnalysisView {
    Q_OBJECT

public:
    tAnalysisView(const tChartModel& model, TChartPlot& time, TChartPlot& depend, QTabWidget& pages,
                  QWidget& window);

    // The View menu's choice of the right-axis quantity.
    QMenu* RightAxisMenu() const { return rightAxisMenu_; }
    // The charts were reloaded, the abscissa or a curve's visibility or the
    // language changed: draw again what depends on them.
    void Refresh();

    // ---- iAnalysisView
    void ShowEquivalence(const tEquivalenceMark* mark, bool derivative) override;
    void ShowReference(const tReferenceRun* run) override;
    void SetRightAxis(int quantity) override;
    void ShowStatistics(const tStretchStatistics& statistics, const std::string& text) override;
    void SaveChartPicture(const std::string& fileName) override;
    bool DependenceInFront() const override;
    void ShowFits(const std::vector<tFitCurve>& fits) override;

signals:
    // The user chose a right-axis quantity (-1: none) in the menu.
    void rightAxisChosen(int quantity);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildRightAxisMenu();
    void DrawReference();
    void ClearReference();
    void ShowHover(const QPoint& position);
    bool DragCaption(QObject* watched, QEvent* event);
    // The fits' captions of `plot` in one column inside its plot, clear of
    // each other and of the equivalence and reference labels; run whenever
    // the chart has been laid out, so that a resized window or a picture of
    // another size keeps them in.
    void LayOutCaptions(TChartPlot& plot);
    // Olive rings on the dependence curves at the inspected record.
    void RingInspected();
    // The dependence chart's x axis on low..high when it shows `keep` not
    // at all or ten times too widely; a closer zoom of the user's is kept.
    void ZoomDependenceTo(double low, double high, double keep);

    const tChartModel& model_;
    TChartPlot& time_;
    TChartPlot& depend_;
    QTabWidget& pages_;
    QWidget& window_;
    QMenu* rightAxisMenu_ = nullptr;
    QActionGroup* rightAxisGroup_ = nullptr;
    int rightAxis_ = -1;
    const tReferenceRun* reference_ = nullptr;
    std::vector<QCPAbstractPlottable*> referenceCurves_;
    std::array<QCPItemText*, 2> referenceLabels_{};
    QCPCurve* equivalencePoint_ = nullptr;
    QCPCurve* derivative_ = nullptr;
    std::vector<QCPAbstractItem*> equivalenceItems_;
    std::vector<QCPCurve*> fitCurves_;
    // The fits' captions, newest last; one the user dragged aside stays
    // where it was put (its top left as a share of the plot's size).
    struct tCaption {
        QCPItemText* item = nullptr;
        std::optional<QPointF> placed;
    };
    std::vector<tCaption> fitCaptions_;
    tCaption* dragged_ = nullptr;
    QPointF dragOffset_;
    QCPCurve* inspected_ = nullptr;
};

}  // namespace vantrel
