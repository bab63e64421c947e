#include "ui/ChartPlot.h"

#include "ui/DependCurve.h"
#include "ui/TimeGraph.h"

#include <QMouseEvent>
#include <QShowEvent>
#include <QTimer>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <set>

namespace vantrel {

namespace {

QColor toColor(tRgb rgb) {
    return QColor(rgb.r, rgb.g, rgb.b);
}

QFont pixelFont(const QString& family, int pixels, bool bold) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

constexpr int kLineWidth = 3;
constexpr int kMarkArrowLength = 8;
constexpr int kClickSlop = 3;  // pixels a click may move and still count as a click
constexpr double kSlowReplotMs = 40.0;

}  // namespace

TChartPlot::TChartPlot(tChartKind kind, const tChartModel& model, QWidget* parent)
    : QCustomPlot(parent), kind_(kind), model_(&model) {
    setObjectName(kind == tChartKind::Time ? "chAll" : "chDepend");
    setBackground(Qt::white);
    setNoAntialiasingOnDrag(true);

    yAxis->setRange(kPercentLow, kPercentHigh);
    yAxis->setTickLabels(false);
    yAxis->setLabel(QStringLiteral("Показания"));
    if (kind_ == tChartKind::Time) {
        // Labels at least every five seconds; further apart when zoomed out.
        auto ticker = QSharedPointer<QCPAxisTickerFixed>::create();
        ticker->setTickStep(5.0);
        ticker->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
        xAxis->setTicker(ticker);
        xAxis->setRange(0.0, kTimeWindowWidth);
    }

    for (int i = 0; i < kQuantityCount; ++i) {
        const auto& info = quantityInfo[i];
        QPen pen(toColor(info.colour), kLineWidth);
        pen.setJoinStyle(Qt::RoundJoin);
        QCPAbstractPlottable* curve = nullptr;
        if (kind_ == tChartKind::Time) {
            auto* graph = new tTimeGraph(xAxis, yAxis);
            graph->setAdaptiveSampling(true);
            graph->setLineStyle(QCPGraph::lsLine);
            curve = graph;
            graph->setObjectName(
                QString::fromUtf8(info.timeSeriesName.data(), int(info.timeSeriesName.size())));
        } else {
            auto* c = new tDependCurve(xAxis, yAxis);
            c->setLineStyle(QCPCurve::lsLine);
            curve = c;
            c->setObjectName(
                QString::fromUtf8(info.dependSeriesName.data(), int(info.dependSeriesName.size())));
        }
        curve->setPen(pen);
        curve->setName(QString::fromStdString(quantityNames[i]));
        curve->setSelectable(QCP::stNone);
        curves_[i] = curve;
    }

    // Legend in its own row under the plot, so it never hides a curve.
    legend->setVisible(true);
    legend->setFont(pixelFont(QStringLiteral("Arial"), 13, false));
    legend->setTextColor(Qt::black);
    legend->setIconSize(50, 14);
    legend->setBrush(palette().color(QPalette::Button));
    legend->setBorderPen(QPen(palette().color(QPalette::Mid)));
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setWrap(4);
    legend->setSelectableParts(QCPLegend::spNone);
    axisRect()->insetLayout()->take(legend);
    plotLayout()->addElement(1, 0, legend);
    plotLayout()->setRowStretchFactor(1, 0.001);
    legend->setMargins(QMargins(6, 4, 6, 4));

    if (kind_ == tChartKind::Time) {
        const auto makeLine = [this](tRgb colour) {
            auto* line = new QCPItemStraightLine(this);
            line->setPen(QPen(toColor(colour), kMarkerLineWidth, Qt::SolidLine, Qt::FlatCap));
            line->setSelectable(false);
            line->setVisible(false);
            line->setClipToAxisRect(true);
            return line;
        };
        originLine_ = makeLine(kOriginLineColour);
        originLine_->setObjectName("lnOrigin");
        cursorLine_ = makeLine(kCursorLineColour);
        cursorLine_->setObjectName("lnCursor");
        connect(this, &QCustomPlot::beforeReplot, this, &TChartPlot::UpdateMarkerLines);
    }
    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            &TChartPlot::OnRangeChanged);
    connect(this, &QCustomPlot::afterReplot, this, [this] { replotPending_ = false; });
    throttle_ = new QTimer(this);
    throttle_->setSingleShot(true);
    connect(throttle_, &QTimer::timeout, this, [this] { replot(QCustomPlot::rpQueuedReplot); });
    ApplyMode(model.Mode());
    Reload();
}

const tSeries& TChartPlot::Series(int quantity) const {
    return kind_ == tChartKind::Time ? model_->TimeSeries(quantity)
                                     : model_->DependSeries(quantity);
}

void TChartPlot::AppendSlice(int quantity, std::size_t from, std::size_t to) {
    const tSeries& series = Series(quantity);
    const auto xs = series.Xs().subspan(from, to - from);
    const auto ys = series.Ys().subspan(from, to - from);
    const QVector<double> keys(xs.begin(), xs.end());
    const QVector<double> values(ys.begin(), ys.end());
    if (kind_ == tChartKind::Time) {
        static_cast<QCPGraph*>(curves_[quantity])->addData(keys, values, true);
    } else {
        static_cast<QCPCurve*>(curves_[quantity])->addData(keys, values);
    }
    drawn_[quantity] = to;
}

void TChartPlot::Reload() {
    for (int i = 0; i < kQuantityCount; ++i) {
        if (kind_ == tChartKind::Time) {
            static_cast<QCPGraph*>(curves_[i])->data()->clear();
        } else {
            static_cast<QCPCurve*>(curves_[i])->data()->clear();
            static_cast<tDependCurve*>(curves_[i])->DataReplaced();
        }
        drawn_[i] = 0;
        if (model_ != nullptr) {
            const std::size_t count = Series(i).Count();
            if (count > 0) {
                AppendSlice(i, 0, count);
            }
        }
    }
    ApplyVisibility();
    RefreshMarks();
    RequestReplot();
}

void TChartPlot::AppendNew() {
    if (model_ == nullptr) {
        return;
    }
    bool added = false;
    for (int i = 0; i < kQuantityCount; ++i) {
        const std::size_t count = Series(i).Count();
        if (count < drawn_[i]) {
            Reload();
            return;
        }
        if (count > drawn_[i]) {
            AppendSlice(i, drawn_[i], count);
            added = true;
        }
    }
    if (added) {
        RequestReplot();
    }
}

void TChartPlot::ApplyMode(tChartMode mode) {
    mode_ = mode;
    if (mode == tChartMode::Analysis) {
        setInteractions(QCP::iRangeZoom | QCP::iRangeDrag);
        axisRect()->setRangeZoom(Qt::Horizontal | Qt::Vertical);
        axisRect()->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    } else {
        setInteractions(QCP::Interactions());
        yAxis->setRange(kPercentLow, kPercentHigh);
    }
    RequestReplot();
}

void TChartPlot::ApplyVisibility() {
    if (model_ == nullptr) {
        return;
    }
    // The legend lists the drawn curves only, in quantity order.
    legend->clearItems();
    for (int i = 0; i < kQuantityCount; ++i) {
        const bool visible = Series(i).Visible();
        curves_[i]->setVisible(visible);
        if (visible) {
            curves_[i]->addToLegend();
        }
    }
    RefreshMarks();
    RequestReplot();
}

void TChartPlot::ApplyAxis(double min, double max) {
    applyingAxis_ = true;
    // A single point has no extent; give it room rather than a zero range.
    xAxis->setRange(min, max > min ? max : min + 1.0);
    applyingAxis_ = false;
    RequestReplot();
}

void TChartPlot::OnRangeChanged(const QCPRange& range) {
    if (!applyingAxis_) {
        emit userRangeChanged(range.lower, range.upper);
    }
}

void TChartPlot::RefreshMarks() {
    for (auto* item : markItems_) {
        removeItem(item);
    }
    markItems_.clear();
    if (kind_ != tChartKind::Time || model_ == nullptr) {
        return;
    }
    const std::set<std::size_t>& marks = model_->Data().Marks();
    for (int i = 0; i < kQuantityCount; ++i) {
        const auto& info = quantityInfo[i];
        const tSeries& series = model_->TimeSeries(i);
        if (!info.marksShown || !series.Visible()) {
            continue;
        }
        const QColor colour = toColor(info.colour);
        for (std::size_t p : marks) {
            if (p >= series.Count()) {
                continue;
            }
            // The arrow points at the reading; the caption sits on its tail.
            auto* arrow = new QCPItemLine(this);
            arrow->setSelectable(false);
            arrow->end->setCoords(series.X(p), series.Y(p));
            arrow->start->setParentAnchor(arrow->end);
            arrow->start->setCoords(0, -kMarkArrowLength - 6);
            arrow->setHead(QCPLineEnding(QCPLineEnding::esSpikeArrow, 6, 6));
            arrow->setPen(QPen(colour, 1));
            auto* caption = new QCPItemText(this);
            caption->setSelectable(false);
            caption->position->setParentAnchor(arrow->start);
            caption->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            caption->setText(QStringLiteral(" "));  // a blank tag marks the point
            caption->setPadding(QMargins(3, 1, 3, 1));
            caption->setBrush(QColor(255, 255, 225));
            caption->setPen(QPen(colour, 1));
            caption->setFont(pixelFont(font().family(), 9, false));
            markItems_.push_back(arrow);
            markItems_.push_back(caption);
        }
    }
}

void TChartPlot::RefreshTransitions() {
    for (auto* item : transitionItems_) {
        removeItem(item);
    }
    transitionItems_.clear();
    if (kind_ != tChartKind::Time || model_ == nullptr) {
        return;
    }
    for (const tTransition& transition : model_->Data().Transitions()) {
        // The program's own safety steps stand out from the scenario's.
        const QColor ink = transition.intervention ? QColor(200, 30, 30) : QColor(70, 70, 70);
        auto* line = new QCPItemStraightLine(this);
        line->setObjectName("lnTransition");
        line->setSelectable(false);
        line->setClipToAxisRect(true);
        line->setPen(QPen(ink, transition.intervention ? 2 : 1,
                          transition.intervention ? Qt::SolidLine : Qt::DashLine));
        line->point1->setCoords(transition.time, 0.0);
        line->point2->setCoords(transition.time, 1.0);
        // The name reads upwards along the line, just right of it, so that
        // close steps do not write over each other.
        auto* name = new QCPItemText(this);
        name->setObjectName("lbTransition");
        name->setSelectable(false);
        name->setClipToAxisRect(true);
        name->position->setType(QCPItemPosition::ptPlotCoords);
        name->position->setCoords(transition.time, kPercentHigh);
        name->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);
        name->setRotation(-90);
        name->setPadding(QMargins(4, 2, 4, 2));
        name->setColor(ink);
        name->setFont(pixelFont(font().family(), 11, false));
        name->setText(QString::fromStdString(transition.state));
        transitionItems_.push_back(line);
        transitionItems_.push_back(name);
    }
    RequestReplot();
}

void TChartPlot::UpdateMarkerLines() {
    if (originLine_ == nullptr) {
        return;
    }
    tMarkerLines lines;
    if (model_ != nullptr && mode_ == tChartMode::Analysis) {
        lines = model_->MarkerLines();
    }
    const auto place = [](QCPItemStraightLine* item, const tMarkerLine& line) {
        item->setVisible(line.drawn);
        if (line.drawn) {
            item->point1->setCoords(line.x, 0.0);
            item->point2->setCoords(line.x, 1.0);
        }
    };
    place(originLine_, lines.origin);
    place(cursorLine_, lines.cursor);
}

void TChartPlot::RequestReplot() {
    replotPending_ = true;
    if (!isVisible()) {
        return;
    }
    // A chart that takes long to draw (a day's run against an abscissa) is
    // redrawn less often than every tick, so the window keeps answering.
    const double cost = replotTime(true);
    if (cost > kSlowReplotMs) {
        if (!throttle_->isActive()) {
            throttle_->start(int(std::min(cost * 4.0, 2000.0)));
        }
        return;
    }
    replot(QCustomPlot::rpQueuedReplot);
}

void TChartPlot::PaintOn(QCPPainter& painter, const QRectF& target, double width) {
    UpdateMarkerLines();
    // A font sized in points would grow with the printer's resolution, not
    // with the page's units: the axes draw in the pixels the window shows.
    const auto inPixels = [this](QFont font) {
        if (font.pixelSize() <= 0) {
            font.setPixelSize(
                std::max(1, int(std::lround(font.pointSizeF() * logicalDpiY() / 72.0))));
        }
        return font;
    };
    struct tSaved {
        QCPAxis* axis;
        QFont tickLabels;
        QFont label;
    };
    std::vector<tSaved> saved;
    for (QCPAxis* axis : axisRect()->axes()) {
        saved.push_back({axis, axis->tickLabelFont(), axis->labelFont()});
        axis->setTickLabelFont(inPixels(axis->tickLabelFont()));
        axis->setLabelFont(inPixels(axis->labelFont()));
    }
    width = std::max(width, double(plotLayout()->minimumOuterSizeHint().width()));
    const double scale = target.width() / width;
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(scale, scale);
    painter.setClipRect(QRectF(0, 0, width, target.height() / scale));
    toPainter(&painter, int(std::lround(width)), int(std::lround(target.height() / scale)));
    painter.restore();
    for (const tSaved& s : saved) {
        s.axis->setTickLabelFont(s.tickLabels);
        s.axis->setLabelFont(s.label);
    }
    // The layout was computed for the page: the window's own comes back.
    RequestReplot();
}

void TChartPlot::mousePressEvent(QMouseEvent* event) {
    pressPos_ = event->position().toPoint();
    pressed_ = true;
    QCustomPlot::mousePressEvent(event);
}

void TChartPlot::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const bool click = pressed_ && (pos - pressPos_).manhattanLength() <= kClickSlop;
    pressed_ = false;
    QCustomPlot::mouseReleaseEvent(event);
    if (!click || mode_ != tChartMode::Analysis || !axisRect()->rect().contains(pos)) {
        return;
    }
    if (kind_ == tChartKind::Time) {
        emit clickedAt(xAxis->pixelToCoord(pos.x()));
    } else {
        emit pointClickedAt(xAxis->pixelToCoord(pos.x()), yAxis->pixelToCoord(pos.y()),
                            std::fabs(axisRect()->width() / xAxis->range().size()),
                            std::fabs(axisRect()->height() / yAxis->range().size()));
    }
}

void TChartPlot::showEvent(QShowEvent* event) {
    QCustomPlot::showEvent(event);
    if (replotPending_) {
        replot(QCustomPlot::rpQueuedReplot);
    }
}

}  // namespace vantrel
