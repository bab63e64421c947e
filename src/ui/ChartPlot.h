#pragma once

#include <QPoint>
#include <QTimer>
#include <array>
#include <cstddef>
#include <vector>

#include <qcustomplot.h>

#include "charts/ChartModel.h"

namespace vantrel {

enum class tChartKind {
    Time,    // readings against time: graphs, points in time order
    Depend,  // readings against a chosen quantity: curves in the order of the run
};

// One of the two charts, drawn with QCustomPlot from the chart model. It
// keeps a copy of the points in QCustomPlot's containers and only appends
// what the model added since the last draw; a full reload happens only when
// the model says the series were emptied or rebuilt. Replots are queued, so
// one timer tick costs at most one redraw, and a hidden chart does not draw
// until it is shown.
class TChartPlot : public QCustomPlot {
    Q_OBJECT

public:
    TChartPlot(tChartKind kind, const tChartModel& model, QWidget* parent = nullptr);

    tChartKind Kind() const { return kind_; }

    // Drops every point and copies the model's series again.
    void Reload();
    // Copies the points the model added since the last call; reloads when
    // the model holds fewer points than were drawn (it was emptied).
    void AppendNew();
    void ApplyMode(tChartMode mode);
    void ApplyVisibility();
    // Horizontal axis as the model gives it (does not report back).
    void ApplyAxis(double min, double max);
    // Marks of marked points (time chart).
    void RefreshMarks();
    // A thin line with the state's name at every scenario transition (time chart).
    void RefreshTransitions();
    // Redraws at the next pass of the event loop; a hidden chart waits until
    // it is shown.
    void RequestReplot();

    // The chart as shown, with its legend, marks and analysis, as a window
    // `width` pixels wide would show it (wider when the legend needs it),
    // made to fit `target` of a printed page whose units are pixels.
    void PaintOn(QCPPainter& painter, const QRectF& target, double width);

    // The model is going away: draw nothing more from it.
    void DetachModel() { model_ = nullptr; }

signals:
    // A click (press and release at one spot) inside the plot rectangle in
    // analysis mode, as a value of the horizontal axis.
    void clickedAt(double x);
    // The same on the dependence chart, at (x, y), with the axes' pixels
    // per unit, so that the nearest point can be found as the user sees it.
    void pointClickedAt(double x, double y, double xScale, double yScale);
    // The user zoomed or dragged the horizontal axis.
    void userRangeChanged(double min, double max);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    const tSeries& Series(int quantity) const;
    void AppendSlice(int quantity, std::size_t from, std::size_t to);
    void UpdateMarkerLines();
    void OnRangeChanged(const QCPRange& range);

    tChartKind kind_;
    const tChartModel* model_;
    tChartMode mode_ = tChartMode::Idle;
    std::array<QCPAbstractPlottable*, kQuantityCount> curves_{};
    std::array<std::size_t, kQuantityCount> drawn_{};
    std::vector<QCPAbstractItem*> markItems_;
    std::vector<QCPAbstractItem*> transitionItems_;
    QCPItemStraightLine* originLine_ = nullptr;
    QCPItemStraightLine* cursorLine_ = nullptr;
    bool applyingAxis_ = false;
    bool replotPending_ = false;
    QTimer* throttle_ = nullptr;
    QPoint pressPos_;
    bool pressed_ = false;
};

}  // namespace vantrel
