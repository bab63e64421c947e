#pragma once

#include <qcustomplot.h>

#include <memory>

namespace vantrel {

// A dependence-chart curve. Its points follow the run, so x is not monotonic
// and QCustomPlot's adaptive sampling (graphs only) does not apply; drawn
// point by point, a day's run took seconds per redraw. This curve skips every
// point that lands on the same pixel as the one before it, which leaves the
// picture unchanged and the line short.
//
// The reduced line is kept between draws: while the axes and the points
// already reduced stay as they were, a draw reduces only the points appended
// since the one before, so a redraw during a run does not grow with the run.
// Any other change (ranges, size of the axis rect, data cleared, replaced or
// inserted) reduces everything again. Whoever replaces the points says so
// (DataReplaced); a sample of the points already reduced, checked at every
// draw, catches a replacement nobody told. On screen the finished pieces of
// the line are also kept painted on a picture of their own, so a redraw
// paints only what was added; pictures and PDFs saved get every line drawn.
class tDependCurve : public QCPCurve {
    Q_OBJECT

public:
    tDependCurve(QCPAxis* keyAxis, QCPAxis* valueAxis);
    ~tDependCurve() override;

    // The points were replaced or changed in place: the next draw reduces
    // them all.
    void DataReplaced();

    // Points of the line the last draw showed (on screen most of them come
    // from the picture kept of the finished pieces).
    int LastDrawnPoints() const { return lastDrawnPoints_; }
    // Data points the last draw had to reduce: all of them when it started
    // again, only the appended ones when it carried on.
    int LastReducedPoints() const { return lastReducedPoints_; }

    // Reduces up to `points` more for a picture or a page laid out as the
    // axes are now, so that the next export draws at once: a day's run is
    // reduced in slices, the window answering between them. True when the
    // whole curve is reduced for it.
    bool ReduceForExport(int points);

protected:
    void draw(QCPPainter* painter) override;

private:
    struct tReduction;

    void DrawPicture(QCPPainter* painter);
    // `kept` if it carries on to the axes as they are now, else a new one.
    tReduction& Kept(std::unique_ptr<tReduction>& kept);
    // Takes the points up to `end` into `r`.
    void Reduce(tReduction& r, int end);

    std::unique_ptr<tReduction> reduction_;        // the screen's
    std::unique_ptr<tReduction> exportReduction_;  // pictures' and pages
    int lastDrawnPoints_ = 0;
    int lastReducedPoints_ = 0;
};

}  // namespace vantrel
