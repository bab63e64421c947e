#include "ui/DependCurve.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace vantrel {

namespace {

// Far outside the plot a line only has to keep its direction; huge
// coordinates make the painter slow or wrong, so segments are cut to this box.
constexpr double kPixelLimit = 1 << 20;

bool inside(const QPointF& p) {
    return std::abs(p.x()) <= kPixelLimit && std::abs(p.y()) <= kPixelLimit;
}

// Cuts the segment a-b to the box (Liang-Barsky); false when none of it is inside.
bool clipToBox(QPointF& a, QPointF& b) {
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    double t0 = 0.0;
    double t1 = 1.0;
    const auto edge = [&](double p, double q) {
        if (p == 0.0) {
            return q >= 0.0;
        }
        const double r = q / p;
        if (p < 0.0) {
            if (r > t1) {
                return false;
            }
            t0 = std::max(t0, r);
        } else {
            if (r < t0) {
                return false;
            }
            t1 = std::min(t1, r);
        }
        return true;
    };
    if (!edge(-dx, a.x() + kPixelLimit) || !edge(dx, kPixelLimit - a.x()) ||
        !edge(-dy, a.y() + kPixelLimit) || !edge(dy, kPixelLimit - a.y())) {
        return false;
    }
    const QPointF start = a;
    a = QPointF(start.x() + t0 * dx, start.y() + t0 * dy);
    b = QPointF(start.x() + t1 * dx, start.y() + t1 * dy);
    return true;
}

// Steps already drawn, as packed pixel pairs. Open addressing: a day's run
// inserts millions of steps per redraw, and std::unordered_set allocates a
// node for each.
class tStepSet {
public:
    // True when `key` was not yet in the set.
    bool Insert(std::uint64_t key) {
        if (key == kEmpty) {
            key = kEmptyStandIn;
        }
        if ((count_ + 1) * 2 > slots_.size()) {
            Grow();
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = Hash(key) & mask;; i = (i + 1) & mask) {
            if (slots_[i] == key) {
                return false;
            }
            if (slots_[i] == kEmpty) {
                slots_[i] = key;
                ++count_;
                return true;
            }
        }
    }

private:
    static constexpr std::uint64_t kEmpty = 0;
    static constexpr std::uint64_t kEmptyStandIn = ~std::uint64_t{0};

    static std::size_t Hash(std::uint64_t key) {
        key ^= key >> 33;
        key *= 0xff51afd7ed558ccdULL;
        key ^= key >> 33;
        return static_cast<std::size_t>(key);
    }

    void Grow() {
        std::vector<std::uint64_t> old(std::max<std::size_t>(slots_.size() * 2, 1024), kEmpty);
        old.swap(slots_);
        count_ = 0;
        for (std::uint64_t key : old) {
            if (key != kEmpty) {
                Insert(key);
            }
        }
    }

    std::vector<std::uint64_t> slots_;
    std::size_t count_ = 0;
};

struct tCell {
    long x = 0;
    long y = 0;
    bool operator==(const tCell&) const = default;
};

tCell cellOf(const QPointF& p) {
    return {std::lround(p.x()), std::lround(p.y())};
}

bool onPlot(const tCell& c) {
    return c.x > -30000 && c.x < 30000 && c.y > -30000 && c.y < 30000;
}

std::uint64_t stepKey(tCell a, tCell b) {
    if (std::make_pair(b.x, b.y) < std::make_pair(a.x, a.y)) {
        std::swap(a, b);
    }
    const auto u16 = [](long v) { return std::uint64_t(std::uint16_t(v)); };
    return u16(a.x) << 48 | u16(a.y) << 32 | u16(b.x) << 16 | u16(b.y);
}

// Everything that decides where a data point lands in pixels.
struct tView {
    QCPAxis* keyAxis = nullptr;
    QCPAxis* valueAxis = nullptr;
    QCPRange keyRange;
    QCPRange valueRange;
    QRect keyRect;
    QRect valueRect;
    QCPAxis::ScaleType keyScale = QCPAxis::stLinear;
    QCPAxis::ScaleType valueScale = QCPAxis::stLinear;
    bool keyReversed = false;
    bool valueReversed = false;
    Qt::Orientation keyOrientation = Qt::Horizontal;
    Qt::Orientation valueOrientation = Qt::Vertical;
    bool operator==(const tView&) const = default;
};

tView viewOf(QCPAxis* keyAxis, QCPAxis* valueAxis) {
    return {keyAxis,
            valueAxis,
            keyAxis->range(),
            valueAxis->range(),
            keyAxis->axisRect()->rect(),
            valueAxis->axisRect()->rect(),
            keyAxis->scaleType(),
            valueAxis->scaleType(),
            keyAxis->rangeReversed(),
            valueAxis->rangeReversed(),
            keyAxis->orientation(),
            valueAxis->orientation()};
}

bool sameBits(const QCPCurveData& a, const QCPCurveData& b) {
    return std::memcmp(&a, &b, sizeof(QCPCurveData)) == 0;  // NaN is equal to itself here
}

// An open line longer than this is cut into finished pieces, so that a long
// unbroken stretch of the run is painted once too.
constexpr qsizetype kPieceLength = 256;

// Points of the reduced data checked at every draw: enough to see a
// replaced or shifted run, few enough to cost nothing.
constexpr int kSamples = 64;

}  // namespace

// The reduction of the data drawn so far, as it stands after its last point:
// carrying on from here with more points gives exactly what reducing all of
// them at once gives.
struct tDependCurve::tReduction {
    tView view;
    // Weak, so that a container replaced and freed is never taken for a new
    // one at the same address.
    QWeakPointer<QCPCurveDataContainer> data;
    int reduced = 0;  // data points taken in
    std::vector<std::pair<int, QCPCurveData>> samples;

    // Finished polylines, one after the other; each ends at its entry in `ends`.
    QVector<QPointF> done;
    std::vector<qsizetype> ends;

    QVector<QPointF> line;  // the polyline still open
    tCell lineEnd;          // cell of the line's last point
    bool endSkipped = false;
    QPointF skippedPoint;

    // A run that goes back and forth over the same values retraces the same
    // pixels: a step between two pixels is drawn once, and a point on the
    // pixel of the one before adds nothing.
    tStepSet drawnSteps;

    bool havePrevious = false;
    QPointF previous;

    // The finished polylines already painted, on a transparent picture of the
    // paint buffer's size: a draw paints only the ones finished since and
    // lays the picture down with the open line on top.
    struct tPicture {
        QImage image;
        qsizetype painted = 0;  // entries of `ends` on the picture
        QRectF bounds;          // where it has ink
        QPen pen;
        bool antialiased = false;
        QTransform transform;
    } picture;

    bool Continues(const tView& now, const QSharedPointer<QCPCurveDataContainer>& container) const {
        if (!(view == now) || data.toStrongRef() != container || reduced > container->size()) {
            return false;
        }
        return std::all_of(samples.begin(), samples.end(), [&](const auto& sample) {
            return sameBits(*(container->constBegin() + sample.first), sample.second);
        });
    }

    void TakeSamples(const QCPCurveDataContainer& container) {
        samples.clear();
        if (reduced == 0) {
            return;
        }
        const std::int64_t last = reduced - 1;
        for (std::int64_t i = 0; i < kSamples; ++i) {
            const int index = int(i * last / (kSamples - 1));
            samples.emplace_back(index, *(container.constBegin() + index));
        }
    }

    void Flush() {
        if (endSkipped && !line.isEmpty()) {
            line.push_back(skippedPoint);  // end exactly where the data end
        }
        endSkipped = false;
        if (line.size() > 1) {
            done.append(line);
            ends.push_back(done.size());
        }
        line.clear();
    }

    void Add(const QPointF& p) {
        const tCell cell = cellOf(p);
        if (line.isEmpty()) {
            line.push_back(p);
            lineEnd = cell;
            return;
        }
        if (cell == lineEnd) {
            endSkipped = true;
            skippedPoint = p;
            return;
        }
        endSkipped = false;
        if (onPlot(cell) && onPlot(lineEnd) && !drawnSteps.Insert(stepKey(lineEnd, cell))) {
            Flush();
        } else if (line.size() >= kPieceLength) {
            const QPointF joint = line.back();
            Flush();
            line.push_back(joint);
        }
        line.push_back(p);
        lineEnd = cell;
    }

    void Gap() {
        Flush();  // as QCPCurve draws a non-finite point
        havePrevious = false;
    }

    void Take(const QPointF& current) {
        if (!havePrevious) {
            havePrevious = true;
            previous = current;
            if (inside(current)) {
                Add(current);
            }
            return;
        }
        QPointF a = previous;
        QPointF b = current;
        const bool previousInside = inside(previous);
        previous = current;
        if (!clipToBox(a, b)) {
            Flush();
            return;
        }
        if (!previousInside) {
            Flush();
            Add(a);
        }
        Add(b);
        if (!inside(current)) {
            Flush();
        }
    }
};

tDependCurve::tDependCurve(QCPAxis* keyAxis, QCPAxis* valueAxis)
    : QCPCurve(keyAxis, valueAxis),
      reduction_(std::make_unique<tReduction>()),
      exportReduction_(std::make_unique<tReduction>()) {}

tDependCurve::~tDependCurve() = default;

void tDependCurve::DataReplaced() {
    reduction_ = std::make_unique<tReduction>();
    exportReduction_ = std::make_unique<tReduction>();
}

tDependCurve::tReduction& tDependCurve::Kept(std::unique_ptr<tReduction>& kept) {
    const tView view = viewOf(mKeyAxis.data(), mValueAxis.data());
    if (!kept->Continues(view, mDataContainer)) {
        kept = std::make_unique<tReduction>();
        kept->view = view;
        kept->data = mDataContainer;
    }
    return *kept;
}

void tDependCurve::Reduce(tReduction& r, int end) {
    QCPAxis* keyAxis = mKeyAxis.data();
    QCPAxis* valueAxis = mValueAxis.data();
    // Linear axes (all this program uses) convert with one multiply-add per
    // coordinate; QCPAxis::coordToPixel checks scale and orientation on every
    // call, which dominated the redraw of a long run.
    const bool linear =
        keyAxis->scaleType() == QCPAxis::stLinear && valueAxis->scaleType() == QCPAxis::stLinear &&
        keyAxis->orientation() == Qt::Horizontal && valueAxis->orientation() == Qt::Vertical;
    const double kxs = (keyAxis->coordToPixel(1.0) - keyAxis->coordToPixel(0.0));
    const double kx0 = keyAxis->coordToPixel(0.0);
    const double vys = (valueAxis->coordToPixel(1.0) - valueAxis->coordToPixel(0.0));
    const double vy0 = valueAxis->coordToPixel(0.0);
    const auto last = mDataContainer->constBegin() + end;
    for (auto it = mDataContainer->constBegin() + r.reduced; it != last; ++it) {
        if (!std::isfinite(it->key) || !std::isfinite(it->value)) {
            r.Gap();
            continue;
        }
        r.Take(linear ? QPointF(kx0 + it->key * kxs, vy0 + it->value * vys)
                      : coordsToPixels(it->key, it->value));
    }
    r.reduced = end;
    r.TakeSamples(*mDataContainer);
}

bool tDependCurve::ReduceForExport(int points) {
    if (mDataContainer->isEmpty() || mKeyAxis.isNull() || mValueAxis.isNull()) {
        return true;
    }
    tReduction& r = Kept(exportReduction_);
    Reduce(r, std::min(mDataContainer->size(), r.reduced + std::max(1, points)));
    return r.reduced >= mDataContainer->size();
}

void tDependCurve::draw(QCPPainter* painter) {
    lastDrawnPoints_ = 0;
    lastReducedPoints_ = 0;
    if (mDataContainer->isEmpty() || mKeyAxis.isNull() || mValueAxis.isNull()) {
        reduction_ = std::make_unique<tReduction>();
        exportReduction_ = std::make_unique<tReduction>();
        return;
    }
    if (mLineStyle == lsNone || mPen.style() == Qt::NoPen) {
        return;
    }

    // Exports (pictures, PDF) get every line drawn; the screen the picture.
    const bool exporting = painter->modes().testFlag(QCPPainter::pmNoCaching) ||
                           painter->modes().testFlag(QCPPainter::pmVectorized);
    // A report or a picture of other proportions keeps a reduction of its
    // own: the screen's, a day's run long, is not reduced all over again
    // at the next redraw.
    tReduction& r = Kept(exporting ? exportReduction_ : reduction_);
    const int count = mDataContainer->size();
    lastReducedPoints_ = count - r.reduced;
    Reduce(r, count);

    applyDefaultAntialiasingHint(painter);
    painter->setPen(mPen);
    painter->setBrush(Qt::NoBrush);
    if (exporting) {
        qsizetype start = 0;
        for (const qsizetype end : r.ends) {
            painter->drawPolyline(r.done.constData() + start, int(end - start));
            start = end;
        }
    } else {
        DrawPicture(painter);
    }
    lastDrawnPoints_ = int(r.done.size());
    // The open line is drawn as a flush would leave it, without closing it.
    const bool extended = r.endSkipped && !r.line.isEmpty();
    if (extended) {
        r.line.push_back(r.skippedPoint);
    }
    if (r.line.size() > 1) {
        painter->drawPolyline(r.line.constData(), int(r.line.size()));
        lastDrawnPoints_ += int(r.line.size());
    }
    if (extended) {
        r.line.pop_back();
    }
}

void tDependCurve::DrawPicture(QCPPainter* painter) {
    tReduction& r = *reduction_;
    tReduction::tPicture& picture = r.picture;
    QPaintDevice* device = painter->device();
    const QSize size(device->width(), device->height());
    const double ratio = device->devicePixelRatioF();
    const bool antialiased = painter->antialiasing();
    if (picture.image.size() != size || picture.image.devicePixelRatio() != ratio ||
        picture.pen != mPen || picture.antialiased != antialiased ||
        picture.transform != painter->transform()) {
        picture = {};
        picture.image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        picture.image.setDevicePixelRatio(ratio);
        picture.image.fill(Qt::transparent);
        picture.pen = mPen;
        picture.antialiased = antialiased;
        picture.transform = painter->transform();
    }
    // The picture is kept in the buffer's own pixels: painted through the
    // painter's transform (QCPPainter shifts antialiased lines by half a
    // pixel) and clip, and laid down without them.
    const QTransform transform = painter->transform();
    if (picture.painted < qsizetype(r.ends.size())) {
        QPainter canvas(&picture.image);
        canvas.setRenderHint(QPainter::Antialiasing, antialiased);
        canvas.setTransform(transform);
        if (painter->hasClipping()) {
            canvas.setClipRect(painter->clipBoundingRect());
        }
        canvas.setPen(mPen);
        canvas.setBrush(Qt::NoBrush);
        const double margin = mPen.widthF() + 2.0;
        qsizetype start = picture.painted == 0 ? 0 : r.ends[picture.painted - 1];
        for (auto k = picture.painted; k < qsizetype(r.ends.size()); ++k) {
            const qsizetype end = r.ends[k];
            canvas.drawPolyline(r.done.constData() + start, int(end - start));
            const QPolygonF piece(
                QVector<QPointF>(r.done.constBegin() + start, r.done.constBegin() + end));
            picture.bounds |=
                transform.mapRect(piece.boundingRect().adjusted(-margin, -margin, margin, margin));
            start = end;
        }
        picture.painted = qsizetype(r.ends.size());
        picture.bounds &= QRectF(QPointF(0, 0), QSizeF(size) / ratio);
    }
    if (!picture.bounds.isEmpty()) {
        const QRectF source(picture.bounds.topLeft() * ratio, picture.bounds.size() * ratio);
        painter->save();
        painter->resetTransform();
        painter->drawImage(picture.bounds, picture.image, source);
        painter->restore();
    }
}

}  // namespace vantrel
