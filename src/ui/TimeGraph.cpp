#include "ui/TimeGraph.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vantrel {

void tTimeGraph::drawLinePlot(QCPPainter* painter, const QVector<QPointF>& lines) const {
    lastColumnBars_ = 0;
    const double width = keyAxis() != nullptr ? keyAxis()->axisRect()->width() : 0.0;
    // Sparse lines (about a point a column or fewer) stroke fast enough as
    // they are; sampled dense ones bring two or more a column.
    if (lines.size() <= 1.5 * std::max(1.0, width) || mPen.style() != Qt::SolidLine ||
        mLineStyle != lsLine) {
        QCPGraph::drawLinePlot(painter, lines);
        return;
    }
    applyDefaultAntialiasingHint(painter);
    painter->setPen(mPen);
    painter->setBrush(Qt::NoBrush);

    const double thick = std::max(1.0, mPen.widthF());
    const QColor ink = mPen.color();
    std::vector<QPointF> stroke;  // the steps across columns, one polyline at a time
    const auto drawStroke = [&] {
        if (stroke.size() > 1) {
            painter->drawPolyline(stroke.data(), int(stroke.size()));
        }
        stroke.clear();
    };
    bool inColumn = false;
    double column = 0.0;  // x of the column's first point
    double low = 0.0;
    double high = 0.0;
    const auto drawColumn = [&] {
        if (inColumn && high > low) {
            painter->fillRect(
                QRectF(column - thick / 2, low - thick / 2, thick, high - low + thick), ink);
            ++lastColumnBars_;
        }
        inColumn = false;
    };
    bool havePrevious = false;
    QPointF previous;
    for (const QPointF& p : lines) {
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
            drawColumn();  // a gap
            drawStroke();
            havePrevious = false;
            continue;
        }
        const double at = std::floor(p.x());
        const double before = std::floor(previous.x());
        if (havePrevious && (at == before || at == before + 1)) {
            // Within a column, or a step into the next one: that column's
            // bar reaches back to where the line came from.
            if (at != before || !inColumn) {
                drawColumn();
                drawStroke();
                inColumn = true;
                column = at == before ? previous.x() : p.x();
                low = high = previous.y();
            }
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        } else {
            drawColumn();
            if (stroke.empty() && havePrevious) {
                stroke.push_back(previous);
            }
            stroke.push_back(p);
        }
        previous = p;
        havePrevious = true;
    }
    drawColumn();
    drawStroke();
}

}  // namespace vantrel
