#pragma once

#include <qcustomplot.h>

namespace vantrel {

// A dependence-chart curve. Its points follow the run, so x is not monotonic
// and QCustomPlot's adaptive sampling (graphs only) does not apply; drawn
// point by point, a day's run took seconds per redraw. This curve skips every
// point that lands on the same pixel as the one before it, which leaves the
// picture unchanged and the line short.
class tDependCurve : public QCPCurve {
    Q_OBJECT

public:
    using QCPCurve::QCPCurve;

    // Points actually handed to the painter by the last draw.
    int LastDrawnPoints() const { return lastDrawnPoints_; }

protected:
    void draw(QCPPainter* painter) override;

private:
    int lastDrawnPoints_ = 0;
};

}  // namespace vantrel
