#pragma once

#include <qcustomplot.h>

namespace vantrel {

// A time-chart curve. Over a long run shown whole, many readings share each
// pixel column and QCustomPlot's sampling leaves a zigzag of a few points per
// column; stroking that with the charts' 3 px pen took the painter most of a
// second per redraw of a day's run (seconds for a noisy one). Where the line
// stays within one pixel column, this curve paints the column's extent as a
// bar of the pen's width instead (reaching back to the column before), which
// looks the same; longer steps are drawn as lines.
class tTimeGraph : public QCPGraph {
    Q_OBJECT

public:
    using QCPGraph::QCPGraph;

    // Bars painted by the last draw (0 when the line was drawn as usual).
    int LastColumnBars() const { return lastColumnBars_; }

protected:
    void drawLinePlot(QCPPainter* painter, const QVector<QPointF>& lines) const override;

private:
    mutable int lastColumnBars_ = 0;
};

}  // namespace vantrel
