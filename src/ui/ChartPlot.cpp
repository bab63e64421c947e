#include "ui/ChartPlot.h"

#include "ui/DependCurve.h"
#include "ui/TimeGraph.h"
#include "ui/ValueTicker.h"

#include <QMouseEvent>
#include <QResizeEvent>
#include <QShowEvent>
#include <QTimer>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <set>

#include "base/Texts.h"
#include "charts/ChartScales.h"
#include "ui/QtText.h"

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
// Points of a dependence curve reduced for a page between two looks at the
// window's events.
constexpr int kReductionSlice = 20000;
// Small enough for a chart beside the panels on a 1024-pixel screen.
constexpr int kLeastWidth = 320;
constexpr int kLeastHeight = 240;

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
    } else {
        xAxis->setTicker(QSharedPointer<tValueTicker>::create());
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
    ApplyTitles();
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
    for (int i = 0; i < kQuantityCount; ++i) {
        curves_[i]->setVisible(Series(i).Visible());
    }
    RebuildLegend();
    RefreshMarks();
    RequestReplot();
}

void TChartPlot::RebuildLegend() {
    legend->clearItems();
    for (QCPAbstractPlottable* curve : curves_) {
        if (curve->visible()) {
            curve->addToLegend();
        }
    }
    for (int p = 0; p < plottableCount(); ++p) {
        QCPAbstractPlottable* other = plottable(p);
        if (std::find(curves_.begin(), curves_.end(), other) == curves_.end() && other->visible() &&
            other->property(kInLegend).toBool() && !other->name().isEmpty()) {
            other->addToLegend();
        }
    }
    FitLegend(width());
    RequestReplot();
}

void TChartPlot::FitLegend(double width) {
    // The grid counts its empty cells too.
    std::vector<int> widths;
    for (int i = 0; i < legend->elementCount(); ++i) {
        if (QCPLayoutElement* item = legend->elementAt(i)) {
            widths.push_back(item->minimumOuterSizeHint().width());
        }
    }
    const int count = int(widths.size());
    if (count == 0) {
        return;
    }
    const QMargins margins = legend->margins();
    const double room = width - margins.left() - margins.right() - 2 * legend->borderPen().width();
    int columns = count;
    for (; columns > 1; --columns) {
        double needed = (columns - 1) * legend->columnSpacing();
        for (int c = 0; c < columns; ++c) {
            int widest = 0;
            for (int i = c; i < count; i += columns) {
                widest = std::max(widest, widths[std::size_t(i)]);
            }
            needed += widest;
        }
        if (needed <= room) {
            break;
        }
    }
    if (legend->wrap() != columns) {
        legend->setWrap(columns);
        legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true);
    }
}

QSize TChartPlot::minimumSizeHint() const {
    return QSize(kLeastWidth, kLeastHeight);
}

void TChartPlot::resizeEvent(QResizeEvent* event) {
    FitLegend(event->size().width());
    QCustomPlot::resizeEvent(event);
}

void TChartPlot::ApplyTitles() {
    if (model_ == nullptr) {
        return;
    }
    QString title;
    if (kind_ == tChartKind::Time) {
        title = qs(constantText("DK_TABLE_TIME"));
    } else {
        const std::size_t a = std::size_t(model_->Abscissa());
        const auto& rows = model_->ValueRows();
        title = qs(a < rows.size() ? rows[a].key : quantityNames[a]);
    }
    if (xAxis->label() != title) {
        xAxis->setLabel(title);
        RequestReplot();
    }
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
    const std::set<std::size_t>& marks = model_->Selection().Marks();
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
        if (printing_) {
            // The page shows another stretch than the window.
            const tRunData& run = model_->Data();
            const auto at = [&](std::int32_t index, tMarkerLine& line) {
                line.drawn = index >= 0 && std::size_t(index) < run.Count() &&
                             xAxis->range().contains(run.Time(std::size_t(index)));
                line.x = line.drawn ? run.Time(std::size_t(index)) : 0.0;
            };
            at(model_->ZeroMarkerIndex(), lines.origin);
            at(model_->CursorIndex(), lines.cursor);
        }
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

QString TChartPlot::TitleOf(int quantity) const {
    const auto& rows = model_->ValueRows();
    return qs(std::size_t(quantity) < rows.size() ? rows[std::size_t(quantity)].key
                                                  : quantityNames[std::size_t(quantity)]);
}

namespace {

// What the page's look changes on an axis, to be put back for the window.
struct tAxisLook {
    explicit tAxisLook(QCPAxis* a)
        : axis(a),
          visible(a->visible()),
          tickLabels(a->tickLabels()),
          ticker(a->ticker()),
          label(a->label()),
          range(a->range()),
          labelColour(a->labelColor()),
          tickLabelColour(a->tickLabelColor()),
          tickLabelFont(a->tickLabelFont()),
          labelFont(a->labelFont()) {}
    void Restore() const {
        axis->setVisible(visible);
        axis->setTickLabels(tickLabels);
        axis->setTicker(ticker);
        axis->setLabel(label);
        axis->setRange(range);
        axis->setLabelColor(labelColour);
        axis->setTickLabelColor(tickLabelColour);
        axis->setTickLabelFont(tickLabelFont);
        axis->setLabelFont(labelFont);
    }
    QCPAxis* axis;
    bool visible;
    bool tickLabels;
    QSharedPointer<QCPAxisTicker> ticker;
    QString label;
    QCPRange range;
    QColor labelColour;
    QColor tickLabelColour;
    QFont tickLabelFont;
    QFont labelFont;
};

}  // namespace

// The window's look, saved while a page is painted and put back after,
// however the painting ends.
struct TChartPlot::tWindowLook {
    explicit tWindowLook(TChartPlot& p) : plot(p) {
        for (QCPAxis* axis : plot.axisRect()->axes()) {
            axes.emplace_back(axis);
        }
        for (int i = 0; i < kQuantityCount; ++i) {
            names[i] = plot.curves_[i]->name();
        }
        plot.applyingAxis_ = true;  // none of the page's changes is the user's zoom
        plot.printing_ = true;
        // The window answers meanwhile: the page's look must not show there.
        plot.setUpdatesEnabled(false);
    }
    ~tWindowLook() {
        for (int i = 0; i < kQuantityCount; ++i) {
            plot.curves_[i]->setName(names[i]);
        }
        // The left axis last: the right-hand scale follows it in the window.
        for (const tAxisLook& look : axes) {
            if (look.axis != plot.yAxis) {
                look.Restore();
            }
        }
        for (const tAxisLook& look : axes) {
            if (look.axis == plot.yAxis) {
                look.Restore();
            }
        }
        plot.printing_ = false;
        plot.applyingAxis_ = false;
        plot.setUpdatesEnabled(true);
        plot.UpdateMarkerLines();
        plot.FitLegend(plot.width());
        plot.RequestReplot();
    }
    TChartPlot& plot;
    std::vector<tAxisLook> axes;
    std::array<QString, kQuantityCount> names;
};

void TChartPlot::PaintOn(QCPPainter& painter, const QRectF& target, double width,
                         const std::function<void()>& between) {
    const tWindowLook windowLook(*this);
    if (model_ != nullptr) {
        const tRunData& run = model_->Data();
        if (kind_ == tChartKind::Time && !run.Empty()) {
            // From the start of the run's clock, as the window's first view.
            const double first = std::min(0.0, run.Time(0));
            xAxis->setRange(first, std::max(run.Time(run.Count() - 1), first + 1.0));
            yAxis->setRange(kPercentLow, kPercentHigh);
        }
        std::vector<const tSeries*> shown;
        for (int i = 0; i < kQuantityCount; ++i) {
            if (Series(i).Visible()) {
                shown.push_back(&Series(i));
            }
        }
        const tChartScales scales =
            chooseScales(shown, xAxis->range().lower, xAxis->range().upper, yAxis->range().lower,
                         yAxis->range().upper, kind_ == tChartKind::Time ? rightQuantity_ : -1);
        const auto readOn = [this](QCPAxis* axis, int quantity) {
            axis->setVisible(quantity >= 0);
            if (quantity < 0) {
                return;
            }
            const tRgb rgb = quantityInfo[std::size_t(quantity)].colour;
            const QColor ink = QColor(rgb.r, rgb.g, rgb.b).darker(130);
            axis->setRange(yAxis->range());
            axis->setTicker(QSharedPointer<tValueTicker>::create(quantity));
            axis->setTickLabels(true);
            axis->setLabel(TitleOf(quantity));
            axis->setLabelColor(ink);
            axis->setTickLabelColor(ink);
        };
        readOn(yAxis2, scales.right.quantity);
        readOn(yAxis, scales.left.quantity);
        for (int i = 0; i < kQuantityCount; ++i) {
            curves_[i]->setName(qs(scaleLegend(scales, i, windowLook.names[i].toStdString(),
                                               TitleOf(i).toStdString())));
        }
    }
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
    for (QCPAxis* axis : axisRect()->axes()) {
        axis->setTickLabelFont(inPixels(axis->tickLabelFont()));
        axis->setLabelFont(inPixels(axis->labelFont()));
    }
    FitLegend(width);
    width = std::max(width, double(plotLayout()->minimumOuterSizeHint().width()));
    const double scale = target.width() / width;
    const QSize page(int(std::lround(width)), int(std::lround(target.height() / scale)));
    if (between) {
        // A long run's dependence curves are reduced for the page in slices
        // beforehand, laid out as the page will be, with the window
        // answering between them; the painting then only draws.
        const QRect shown = viewport();
        for (QCPAbstractPlottable* curve : curves_) {
            auto* reduced = dynamic_cast<tDependCurve*>(curve);
            for (bool done = reduced == nullptr || !reduced->visible(); !done;) {
                setViewport(QRect(QPoint(0, 0), page));
                updateLayout();
                done = reduced->ReduceForExport(kReductionSlice);
                setViewport(shown);
                between();
            }
        }
        between();
    }
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(scale, scale);
    painter.setClipRect(QRectF(0, 0, width, target.height() / scale));
    toPainter(&painter, page.width(), page.height());
    painter.restore();
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
