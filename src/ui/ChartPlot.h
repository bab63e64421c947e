#pragma once

#include <QPoint>
#include <QTimer>
#include <array>
#include <cstddef>
#include <functional>
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

    // The horizontal axis' title in the current language: the time, or the
    // abscissa with its unit.
    void ApplyTitles();
    // The legend names every curve drawn: the quantities' in their order,
    // then whatever else is drawn and has its property kInLegend set (the
    // derivative, the fits), by its name.
    void RebuildLegend();
    static constexpr const char* kInLegend = "inLegend";
    // The quantity the user reads on the right-hand axis (-1: none).
    void SetRightAxisQuantity(int quantity) { rightQuantity_ = quantity; }

    // The chart with its legend, marks and analysis, as a window `width`
    // pixels wide would show it (wider when the legend needs it), made to
    // fit `target` of a printed page whose units are pixels. Drawn to be
    // read on paper: both vertical axes in real units with numbers, the
    // other curves' ranges in the legend (chooseScales), and the time chart
    // over the whole run. The window keeps its own look. `between` runs
    // between slices of a long run's work (it may throw to stop the page).
    void PaintOn(QCPPainter& painter, const QRectF& target, double width,
                 const std::function<void()>& between = {});

    // The legend wraps to the width it has, so the chart may be narrow.
    QSize minimumSizeHint() const override;

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
    void resizeEvent(QResizeEvent* event) override;

private:
    struct tWindowLook;
    // As many legend columns as `width` pixels hold, at least one.
    void FitLegend(double width);
    const tSeries& Series(int quantity) const;
    // A quantity's name with its unit, as the value list shows it.
    QString TitleOf(int quantity) const;
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
    int rightQuantity_ = -1;
    bool printing_ = false;  // the report's look, not the window's
    bool applyingAxis_ = false;
    bool replotPending_ = false;
    QTimer* throttle_ = nullptr;
    QPoint pressPos_;
    bool pressed_ = false;
};

}  // namespace vantrel
