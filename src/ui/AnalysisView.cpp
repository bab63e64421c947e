#include "ui/AnalysisView.h"

#include <QActionGroup>
#include <QBuffer>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryFile>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "base/Error.h"
#include "base/Files.h"
#include "base/Functions.h"
#include "base/Paths.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "run/Quantities.h"
#include "ui/ChartPlot.h"
#include "ui/QtText.h"

namespace vantrel {

namespace {

constexpr int kMinPictureWidth = 1600;
constexpr int kReferenceAlpha = 70;
const QColor kEquivalenceInk(150, 0, 150);

// Fit captions: the type size they start at and the least they shrink to
// before the oldest give way, and the room kept around them.
constexpr int kCaptionPixels = 12;
constexpr int kLeastCaptionPixels = 9;
constexpr double kCaptionGap = 4;

// Fitted lines stand out from the bright 3-pixel curves of the readings in
// a dark ink of their own per kind (none near a quantity's colour) and a
// dash of their own, narrower than the curve so that the readings still show
// along them; three fits on one curve stay apart. The tangent, short and
// solid, has a pale border that sets it off from the curve it touches.
constexpr double kFitWidth = 2.5;
constexpr double kTangentWidth = 3;
constexpr double kTangentBorderWidth = 7;
const QColor kTangentBorder(255, 255, 255, 200);

QColor fitInk(const tFitCurve& fit) {
    if (fit.tangent) {
        return {190, 0, 130};
    }
    switch (fit.fit.model) {
        case tFitModel::Linear:
            return {100, 0, 170};
        case tFitModel::Quadratic:
            return {140, 70, 0};
        case tFitModel::Exponential:
            break;
    }
    return {0, 0, 0};
}

Qt::PenStyle fitDash(const tFitCurve& fit) {
    if (fit.tangent) {
        return Qt::SolidLine;
    }
    switch (fit.fit.model) {
        case tFitModel::Linear:
            return Qt::DashDotLine;
        case tFitModel::Quadratic:
            return Qt::DotLine;
        case tFitModel::Exponential:
            break;
    }
    return Qt::DashLine;
}

// The box a text item takes with its padding, as QCPItemText measures it.
QSizeF captionSize(const QCPItemText& caption) {
    const QRect text =
        QFontMetrics(caption.font())
            .boundingRect(0, 0, 0, 0, Qt::TextDontClip | caption.textAlignment(), caption.text());
    const QMargins pad = caption.padding();
    return {double(text.width() + pad.left() + pad.right()),
            double(text.height() + pad.top() + pad.bottom())};
}

QRectF itemBox(const QCPItemText& item) {
    return QRectF(item.topLeft->pixelPosition(), item.bottomRight->pixelPosition()).normalized();
}

// Top left corners for boxes of `sizes` stacked down one side of `area`,
// each below the one before and below any obstacle it would touch; none
// when the column runs out of the area.
std::optional<std::vector<QPointF>> stackDown(const std::vector<QSizeF>& sizes, const QRectF& area,
                                              bool right, const std::vector<QRectF>& obstacles) {
    std::vector<QPointF> corners;
    double top = area.top();
    for (const QSizeF& size : sizes) {
        if (size.width() > area.width()) {
            return std::nullopt;
        }
        QRectF box(QPointF(right ? area.right() - size.width() : area.left(), top), size);
        for (bool moved = true; moved;) {
            moved = false;
            for (const QRectF& obstacle : obstacles) {
                if (box.intersects(obstacle)) {
                    box.moveTop(obstacle.bottom() + kCaptionGap);
                    moved = true;
                }
            }
        }
        if (box.bottom() > area.bottom()) {
            return std::nullopt;
        }
        corners.push_back(box.topLeft());
        top = box.bottom() + kCaptionGap;
    }
    return corners;
}

QColor faded(tRgb rgb) {
    return QColor(rgb.r, rgb.g, rgb.b, kReferenceAlpha);
}

std::string quantityTitle(const tChartModel& model, int quantity) {
    const auto& rows = model.ValueRows();
    return static_cast<std::size_t>(quantity) < rows.size() ? rows[quantity].key
                                                            : quantityNames[quantity];
}

QCPItemText* makeLabel(TChartPlot& plot) {
    auto* label = new QCPItemText(&plot);
    label->setSelectable(false);
    label->setClipToAxisRect(true);
    label->position->setType(QCPItemPosition::ptAxisRectRatio);
    label->position->setCoords(0.01, 0.01);
    label->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setColor(QColor(110, 110, 110));
    label->setFont(pixelFont(12, false));
    label->setVisible(false);
    return label;
}

}  // namespace

tAnalysisView::tAnalysisView(const tChartModel& model, TChartPlot& time, TChartPlot& depend,
                             QTabWidget& pages, QWidget& window)
    : QObject(&window),
      model_(model),
      time_(time),
      depend_(depend),
      pages_(pages),
      window_(window) {
    referenceLabels_ = {makeLabel(time_), makeLabel(depend_)};
    BuildRightAxisMenu();
    time_.setMouseTracking(true);
    time_.installEventFilter(this);
    depend_.installEventFilter(this);
    // The right axis follows the left one when the user zooms or drags.
    connect(time_.yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this](const QCPRange& range) {
                if (rightAxis_ >= 0) {
                    time_.yAxis2->setRange(fromPercent(rightAxis_, range.lower),
                                           fromPercent(rightAxis_, range.upper));
                }
            });

    equivalencePoint_ = new QCPCurve(depend_.xAxis, depend_.yAxis);
    equivalencePoint_->setObjectName("eqPoint");
    equivalencePoint_->setLineStyle(QCPCurve::lsNone);
    equivalencePoint_->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(kEquivalenceInk, 2), Qt::white, 11));
    equivalencePoint_->setSelectable(QCP::stNone);
    equivalencePoint_->removeFromLegend();
    equivalencePoint_->setProperty(TChartPlot::kInLegend, true);
    equivalencePoint_->setVisible(false);
    derivative_ = new QCPCurve(depend_.xAxis, depend_.yAxis);
    derivative_->setObjectName("eqDerivative");
    derivative_->setPen(QPen(kEquivalenceInk, 2, Qt::DashLine));
    derivative_->setSelectable(QCP::stNone);
    derivative_->removeFromLegend();
    derivative_->setProperty(TChartPlot::kInLegend, true);
    derivative_->setVisible(false);

    inspected_ = new QCPCurve(depend_.xAxis, depend_.yAxis);
    inspected_->setObjectName("dependCursor");
    inspected_->setLineStyle(QCPCurve::lsNone);
    inspected_->setScatterStyle(QCPScatterStyle(
        QCPScatterStyle::ssCircle,
        QPen(QColor(kCursorLineColour.r, kCursorLineColour.g, kCursorLineColour.b), 2), Qt::NoBrush,
        11));
    inspected_->setSelectable(QCP::stNone);
    inspected_->removeFromLegend();
    connect(&time_, &QCustomPlot::afterLayout, this, [this] { LayOutCaptions(time_); });
    connect(&depend_, &QCustomPlot::afterLayout, this, [this] {
        RingInspected();
        LayOutCaptions(depend_);
    });
}

void tAnalysisView::BuildRightAxisMenu() {
    rightAxisMenu_ = new QMenu(&window_);
    rightAxisMenu_->setObjectName("miRightAxis");
    rightAxisGroup_ = new QActionGroup(rightAxisMenu_);
    for (int q = -1; q < kQuantityCount; ++q) {
        QAction* item = rightAxisMenu_->addAction(QString());
        item->setCheckable(true);
        item->setData(q);
        item->setObjectName(q < 0 ? QString("miRightAxisNone") : QString("miRightAxis%1").arg(q));
        rightAxisGroup_->addAction(item);
        connect(item, &QAction::triggered, this, [this, q] { emit rightAxisChosen(q); });
    }
    Refresh();
}

void tAnalysisView::Refresh() {
    rightAxisMenu_->setTitle(qs(constantText("DK_RIGHT_AXIS")));
    for (QAction* item : rightAxisGroup_->actions()) {
        const int q = item->data().toInt();
        item->setText(q < 0 ? qs(constantText("DK_RIGHT_AXIS_NONE")) : qs(quantityNames[q]));
        item->setChecked(q == rightAxis_);
    }
    if (rightAxis_ >= 0) {
        time_.yAxis2->setLabel(qs(quantityTitle(model_, rightAxis_)));
    }
    time_.ApplyTitles();
    depend_.ApplyTitles();
    DrawReference();
    if (equivalencePoint_ != nullptr) {
        equivalencePoint_->setName(qs(constantText("DK_EQUIV_CAPTION")));
        depend_.RebuildLegend();
    }
}

// ---------------------------------------------------------------- right axis and hover

void tAnalysisView::SetRightAxis(int quantity) {
    rightAxis_ = quantity;
    time_.SetRightAxisQuantity(quantity);
    QCPAxis* axis = time_.yAxis2;
    axis->setVisible(quantity >= 0);
    if (quantity >= 0) {
        axis->setTickLabels(true);
        const QCPRange range = time_.yAxis->range();
        axis->setRange(fromPercent(quantity, range.lower), fromPercent(quantity, range.upper));
        const auto& info = quantityInfo[quantity];
        axis->setLabelColor(QColor(info.colour.r, info.colour.g, info.colour.b));
    }
    Refresh();
    time_.RequestReplot();
}

bool tAnalysisView::eventFilter(QObject* watched, QEvent* event) {
    if (DragCaption(watched, event)) {
        return true;  // the chart neither inspects nor pans under a dragged caption
    }
    if (watched == &time_ && event->type() == QEvent::MouseMove &&
        model_.Mode() == tChartMode::Analysis) {
        ShowHover(static_cast<QMouseEvent*>(event)->position().toPoint());
    }
    return QObject::eventFilter(watched, event);
}

// The time and the visible readings at the point nearest the mouse.
void tAnalysisView::ShowHover(const QPoint& position) {
    const std::optional<std::size_t> nearest =
        time_.axisRect()->rect().contains(position)
            ? model_.Data().NearestPoint(time_.xAxis->pixelToCoord(position.x()))
            : std::nullopt;
    if (!nearest) {
        QToolTip::hideText();
        return;
    }
    const std::size_t p = *nearest;
    const tRunData& run = model_.Data();
    QString text = qs(formatText(constantText("DK_HOVER_TIME"), {formatFixed(run.Time(p), 3)}));
    for (int q = 0; q < kQuantityCount; ++q) {
        if (model_.TimeSeries(q).Visible()) {
            text += QStringLiteral("\n") + qs(quantityTitle(model_, q)) + QStringLiteral(": ") +
                    qs(formatFixed(run.Shown(q, p), quantityInfo[q].decimals));
        }
    }
    QToolTip::showText(time_.mapToGlobal(position), text, &time_);
}

// ---------------------------------------------------------------- equivalence

void tAnalysisView::ShowEquivalence(const tEquivalenceMark* mark, bool derivative) {
    for (QCPAbstractItem* item : equivalenceItems_) {
        depend_.removeItem(item);
    }
    equivalenceItems_.clear();
    equivalencePoint_->data()->clear();
    derivative_->data()->clear();
    equivalencePoint_->setVisible(mark != nullptr);
    derivative_->setVisible(mark != nullptr && derivative);
    if (mark != nullptr) {
        equivalencePoint_->addData(mark->x, mark->y);
        // The dosed stretch across the chart: on the quantity's whole range
        // a titration of a few millilitres is a thin vertical streak. A zoom
        // of the user's that shows the point is kept.
        if (!mark->derivativeX.empty()) {
            const auto [low, high] =
                std::minmax_element(mark->derivativeX.begin(), mark->derivativeX.end());
            ZoomDependenceTo(*low, *high, mark->x);
        }
        auto* line = new QCPItemStraightLine(&depend_);
        line->setObjectName("lnEquivalence");
        line->setSelectable(false);
        line->setClipToAxisRect(true);
        line->setPen(QPen(kEquivalenceInk, 1, Qt::DashLine));
        line->point1->setCoords(mark->x, 0.0);
        line->point2->setCoords(mark->x, 1.0);
        auto* caption = new QCPItemText(&depend_);
        caption->setObjectName("lbEquivalence");
        caption->setSelectable(false);
        caption->setClipToAxisRect(true);
        caption->position->setCoords(mark->x, mark->y);
        // Beside the point, on the side with room.
        const bool rightHalf = mark->x > depend_.xAxis->range().center();
        caption->setPositionAlignment((rightHalf ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
        caption->setPadding(rightHalf ? QMargins(4, 6, 10, 2) : QMargins(10, 6, 4, 2));
        caption->setColor(kEquivalenceInk);
        caption->setFont(pixelFont(13, true));
        caption->setText(qs(mark->caption));
        equivalenceItems_ = {line, caption};
        if (derivative) {
            derivative_->setData(
                QVector<double>(mark->derivativeX.begin(), mark->derivativeX.end()),
                QVector<double>(mark->derivativeY.begin(), mark->derivativeY.end()));
            derivative_->setName(qs(mark->derivativeName));
        }
    }
    depend_.RebuildLegend();
}

// ---------------------------------------------------------------- fits

bool tAnalysisView::DependenceInFront() const {
    return pages_.currentIndex() == 1;
}

void tAnalysisView::ShowFits(const std::vector<tFitCurve>& fits) {
    for (QCPCurve* curve : fitCurves_) {
        curve->parentPlot()->removePlottable(curve);
    }
    fitCurves_.clear();
    for (const tCaption& caption : fitCaptions_) {
        caption.item->parentPlot()->removeItem(caption.item);
    }
    fitCaptions_.clear();
    dragged_ = nullptr;
    for (const tFitCurve& fit : fits) {
        TChartPlot& plot = fit.depend ? depend_ : time_;
        const QColor ink = fitInk(fit);
        const QVector<double> x(fit.x.begin(), fit.x.end());
        const QVector<double> y(fit.y.begin(), fit.y.end());
        std::vector<QPen> pens;
        if (fit.tangent) {
            pens.emplace_back(kTangentBorder, kTangentBorderWidth, Qt::SolidLine, Qt::RoundCap);
        }
        pens.emplace_back(ink, fit.tangent ? kTangentWidth : kFitWidth, fitDash(fit), Qt::FlatCap);
        for (const QPen& pen : pens) {
            auto* curve = new QCPCurve(plot.xAxis, plot.yAxis);
            const bool border = pen.color() == kTangentBorder;
            curve->setObjectName(border ? "fitBorder" : fit.tangent ? "fitTangent" : "fitCurve");
            curve->setPen(pen);
            curve->setSelectable(QCP::stNone);
            curve->removeFromLegend();
            curve->setData(x, y);
            fitCurves_.push_back(curve);
        }
        if (fit.depend && !fit.tangent && !fit.x.empty()) {
            // The stretch across the chart, as for the equivalence point.
            ZoomDependenceTo(fit.x.front(), fit.x.back(), fit.x.back());
        }

        auto* caption = new QCPItemText(&plot);
        caption->setObjectName("lbFit");
        caption->setSelectable(false);
        caption->setClipToAxisRect(true);
        caption->position->setType(QCPItemPosition::ptAbsolute);
        caption->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        caption->setTextAlignment(Qt::AlignLeft);
        caption->setPadding(QMargins(5, 3, 5, 3));
        caption->setPen(QPen(ink, 1.5));
        caption->setBrush(QColor(255, 255, 255, 235));
        caption->setColor(ink);
        caption->setFont(pixelFont(kCaptionPixels, false));
        caption->setText(qs(fit.caption));
        fitCaptions_.push_back({caption, std::nullopt});
    }
    time_.RebuildLegend();
    depend_.RebuildLegend();
}

void tAnalysisView::LayOutCaptions(TChartPlot& plot) {
    const double gap = kCaptionGap;
    const QRectF area = QRectF(plot.axisRect()->rect()).adjusted(gap, gap, -gap, -gap);
    // What the column must not cover: the labels that mark the chart, and
    // captions the user put somewhere.
    std::vector<QRectF> obstacles;
    for (QCPItemText* label : referenceLabels_) {
        if (label->parentPlot() == &plot && label->visible()) {
            obstacles.push_back(itemBox(*label));
        }
    }
    if (&plot == &depend_ && equivalencePoint_->visible() &&
        !equivalencePoint_->data()->isEmpty()) {
        for (QCPAbstractItem* item : equivalenceItems_) {
            if (auto* label = qobject_cast<QCPItemText*>(item)) {
                obstacles.push_back(itemBox(*label));
            }
        }
        const QPointF point(depend_.xAxis->coordToPixel(equivalencePoint_->data()->begin()->key),
                            depend_.yAxis->coordToPixel(equivalencePoint_->data()->begin()->value));
        obstacles.push_back(QRectF(point - QPointF(8, 8), QSizeF(16, 16)));
    }
    std::vector<QCPItemText*> column;
    for (tCaption& caption : fitCaptions_) {
        if (caption.item->parentPlot() != &plot) {
            continue;
        }
        if (!caption.placed) {
            column.push_back(caption.item);
            continue;
        }
        caption.item->setFont(pixelFont(kCaptionPixels, false));
        const QSizeF size = captionSize(*caption.item);
        const QPointF wanted(area.left() + caption.placed->x() * area.width(),
                             area.top() + caption.placed->y() * area.height());
        const QPointF corner(
            std::clamp(wanted.x(), area.left(), std::max(area.left(), area.right() - size.width())),
            std::clamp(wanted.y(), area.top(),
                       std::max(area.top(), area.bottom() - size.height())));
        caption.item->position->setCoords(corner);
        caption.item->setVisible(true);
        obstacles.push_back(QRectF(corner, size));
    }
    // Smaller type before anything is left out; then the newest stay.
    for (std::size_t first = 0; first < column.size(); ++first) {
        for (int pixels = kCaptionPixels; pixels >= kLeastCaptionPixels; --pixels) {
            std::vector<QSizeF> sizes;
            for (std::size_t k = first; k < column.size(); ++k) {
                column[k]->setFont(pixelFont(pixels, false));
                sizes.push_back(captionSize(*column[k]));
            }
            for (bool right : {false, true}) {
                if (const auto corners = stackDown(sizes, area, right, obstacles)) {
                    for (std::size_t k = 0; k < column.size(); ++k) {
                        column[k]->setVisible(k >= first);
                        if (k >= first) {
                            column[k]->position->setCoords((*corners)[k - first]);
                        }
                    }
                    return;
                }
            }
        }
    }
    for (QCPItemText* caption : column) {
        caption->setVisible(false);  // no room at all: a chart shrunk to a strip
    }
}

void tAnalysisView::RingInspected() {
    inspected_->data()->clear();
    const std::int32_t cursor = model_.CursorIndex();
    if (model_.Mode() != tChartMode::Analysis || cursor < 0) {
        return;
    }
    const auto p = static_cast<std::size_t>(cursor);
    for (int q = 0; q < kQuantityCount; ++q) {
        const tSeries& curve = model_.DependSeries(q);
        if (curve.Visible() && p < curve.Count()) {
            inspected_->addData(curve.X(p), curve.Y(p));
        }
    }
}

// A press on a fit's caption picks it up; it follows the mouse until the
// button is released, and stays there.
bool tAnalysisView::DragCaption(QObject* watched, QEvent* event) {
    auto* plot = qobject_cast<TChartPlot*>(watched);
    if (plot == nullptr || fitCaptions_.empty()) {
        return false;
    }
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease) {
        return false;
    }
    const QPointF at = static_cast<QMouseEvent*>(event)->position();
    if (type == QEvent::MouseButtonPress) {
        for (tCaption& caption : fitCaptions_) {
            if (caption.item->parentPlot() == plot && caption.item->visible() &&
                itemBox(*caption.item).contains(at)) {
                dragged_ = &caption;
                dragOffset_ = at - caption.item->position->pixelPosition();
                return true;
            }
        }
        return false;
    }
    if (dragged_ == nullptr || dragged_->item->parentPlot() != plot) {
        return false;
    }
    const QRectF area = QRectF(plot->axisRect()->rect())
                            .adjusted(kCaptionGap, kCaptionGap, -kCaptionGap, -kCaptionGap);
    const QPointF corner = at - dragOffset_;
    dragged_->placed = QPointF((corner.x() - area.left()) / std::max(1.0, area.width()),
                               (corner.y() - area.top()) / std::max(1.0, area.height()));
    plot->replot(QCustomPlot::rpQueuedReplot);
    if (type == QEvent::MouseButtonRelease) {
        dragged_ = nullptr;
    }
    return true;
}

void tAnalysisView::ZoomDependenceTo(double low, double high, double keep) {
    const QCPRange shown = depend_.xAxis->range();
    if (!shown.contains(keep) || shown.size() > 10 * (high - low)) {
        const double margin = std::max(0.05 * (high - low), 0.1);
        depend_.xAxis->setRange(low - margin, high + margin);
    }
}

// ---------------------------------------------------------------- reference run

void tAnalysisView::ShowReference(const tReferenceRun* run) {
    reference_ = run;
    DrawReference();
}

void tAnalysisView::ClearReference() {
    for (QCPAbstractPlottable* curve : referenceCurves_) {
        curve->parentPlot()->removePlottable(curve);
    }
    referenceCurves_.clear();
}

// Faded, behind the current run's curves, for the quantities both show.
void tAnalysisView::DrawReference() {
    ClearReference();
    const QString name =
        reference_ == nullptr
            ? QString()
            : qs(formatText(constantText("DK_REFERENCE_NAME"),
                            {utf8FromPath(pathFromUtf8(reference_->fileName).filename())}));
    for (QCPItemText* label : referenceLabels_) {
        label->setVisible(reference_ != nullptr);
        label->setText(name);
    }
    if (reference_ != nullptr) {
        const int abscissa = model_.Abscissa();
        // Relative quantities count from the reference's own first reading.
        const auto shown = [this](int q, std::size_t p) {
            const std::vector<double>& values = reference_->readings[q];
            return values[p] - (model_.Relative(q) ? values.front() : 0.0);
        };
        const std::size_t count = reference_->times.size();
        for (int q = 0; q < kQuantityCount; ++q) {
            if (!reference_->present[q] || !model_.TimeSeries(q).Visible()) {
                continue;
            }
            QVector<double> times(count), values(count), abscissas(count);
            for (std::size_t p = 0; p < count; ++p) {
                times[p] = reference_->times[p];
                values[p] = toPercent(q, shown(q, p));
                abscissas[p] = reference_->present[abscissa] ? shown(abscissa, p) : 0.0;
            }
            QPen pen(faded(quantityInfo[q].colour), 2);
            auto* graph = time_.addGraph(time_.xAxis, time_.yAxis);
            graph->setLayer(QStringLiteral("grid"));
            graph->setPen(pen);
            graph->setSelectable(QCP::stNone);
            graph->removeFromLegend();
            graph->setData(times, values, true);
            graph->setObjectName("reference");
            referenceCurves_.push_back(graph);
            if (reference_->present[abscissa]) {
                auto* curve = new QCPCurve(depend_.xAxis, depend_.yAxis);
                curve->setLayer(QStringLiteral("grid"));
                curve->setPen(pen);
                curve->setSelectable(QCP::stNone);
                curve->removeFromLegend();
                curve->setData(abscissas, values);
                curve->setObjectName("reference");
                referenceCurves_.push_back(curve);
            }
        }
    }
    time_.RequestReplot();
    depend_.RequestReplot();
}

// ---------------------------------------------------------------- statistics

void tAnalysisView::ShowStatistics(const tStretchStatistics& statistics, const std::string& text) {
    auto* dialog = new QDialog(&window_);
    dialog->setObjectName("fmStatistics");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(qs(constantText("DK_STAT_CAPTION")));
    auto* column = new QVBoxLayout(dialog);
    column->addWidget(
        new QLabel(qs(formatText(constantText("DK_STAT_RANGE"),
                                 {formatFixed(statistics.from, 3), formatFixed(statistics.to, 3),
                                  std::to_string(statistics.points)})),
                   dialog));
    // The table shows exactly the text that is copied.
    const QStringList lines = qs(text).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    auto* table = new QTableWidget(dialog);
    table->setObjectName("tbStatistics");
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    if (!lines.isEmpty()) {
        const QStringList titles = lines.front().split('\t');
        table->setColumnCount(int(titles.size()));
        table->setHorizontalHeaderLabels(titles);
        table->setRowCount(int(lines.size()) - 1);
        for (int r = 1; r < lines.size(); ++r) {
            const QStringList cells = lines[r].split('\t');
            for (int c = 0; c < cells.size(); ++c) {
                auto* cell = new QTableWidgetItem(cells[c]);
                if (c > 0) {
                    cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                }
                table->setItem(r - 1, c, cell);
            }
        }
    }
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
    // Every quantity in sight, without scrolling.
    table->setMinimumWidth(table->horizontalHeader()->length() + 2 * table->frameWidth() + 4);
    table->setMinimumHeight(table->horizontalHeader()->sizeHint().height() +
                            table->verticalHeader()->length() + 2 * table->frameWidth() + 4);
    column->addWidget(table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QPushButton* copy =
        buttons->addButton(qs(constantText("DK_STAT_COPY")), QDialogButtonBox::ActionRole);
    copy->setObjectName("btnCopy");
    const QString copied = qs(text);
    connect(copy, &QPushButton::clicked, dialog,
            [copied] { QGuiApplication::clipboard()->setText(copied); });
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    column->addWidget(buttons);
    dialog->open();
}

// ---------------------------------------------------------------- pictures

// Drawn at a width a printed report can use; written beside the target and
// renamed, so a failure never leaves half a file (or replaces a device).
void tAnalysisView::SaveChartPicture(const std::string& fileName) {
    TChartPlot& plot = pages_.currentIndex() == 1 ? depend_ : time_;
    const int width = std::max(kMinPictureWidth, plot.width());
    const int height = std::max(1, plot.height()) * width / std::max(1, plot.width());
    const bool pdf =
        fileName.size() >= 4 &&
        equalsIgnoreCase(std::string_view(fileName).substr(fileName.size() - 4), ".pdf");
    QByteArray bytes;
    if (pdf) {
        QTemporaryFile scratch(QDir::tempPath() + QStringLiteral("/vantrel-XXXXXX.pdf"));
        if (!scratch.open()) {
            throw tError(fileName + ": " + scratch.errorString().toStdString());
        }
        scratch.close();
        if (!plot.savePdf(scratch.fileName(), width, height)) {
            throw tError(fileName + ": the PDF could not be drawn");
        }
        QFile drawn(scratch.fileName());
        if (!drawn.open(QIODevice::ReadOnly)) {
            throw tError(fileName + ": " + drawn.errorString().toStdString());
        }
        bytes = drawn.readAll();
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!plot.toPixmap(width, height, 1.0).save(&buffer, "PNG")) {
            throw tError(fileName + ": the PNG could not be drawn");
        }
    }
    writeFileAtomically(fileName, std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

}  // namespace vantrel
