#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <cmath>
#include <functional>

#include "ui/DependCurve.h"
#include "ui/TimeGraph.h"

namespace vantrel {
namespace {

using tFill = std::function<void(QCustomPlot&, bool thinned)>;

QImage draw(const tFill& fill, bool thinned) {
    QCustomPlot plot;
    plot.resize(400, 300);
    plot.xAxis->setRange(0, 100);
    plot.yAxis->setRange(0, 100);
    fill(plot, thinned);
    return plot.toPixmap(400, 300).toImage().convertToFormat(QImage::Format_RGB32);
}

QCPCurve* newCurve(QCustomPlot& plot, bool thinned) {
    QCPCurve* curve =
        thinned ? new tDependCurve(plot.xAxis, plot.yAxis) : new QCPCurve(plot.xAxis, plot.yAxis);
    curve->setPen(QPen(Qt::blue, 3));
    return curve;
}

bool ink(QRgb p) {
    return qBlue(p) > 128 && qRed(p) < 128;
}

int inkPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += ink(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

// Pixels inked in one picture and not in the other (antialiased edges aside,
// the same drawing gives none).
int inkDifference(const QImage& a, const QImage& b) {
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += ink(a.pixel(x, y)) != ink(b.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

// Pixels inked in one picture with no ink within a pixel of them in the
// other: the pictures differ by more than the edge of a line.
int inkFartherThanAPixel(const QImage& a, const QImage& b) {
    const auto near = [](const QImage& image, int x, int y) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx;
                const int ny = y + dy;
                if (nx >= 0 && ny >= 0 && nx < image.width() && ny < image.height() &&
                    ink(image.pixel(nx, ny))) {
                    return true;
                }
            }
        }
        return false;
    };
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count +=
                (ink(a.pixel(x, y)) && !near(b, x, y)) || (ink(b.pixel(x, y)) && !near(a, x, y))
                    ? 1
                    : 0;
        }
    }
    return count;
}

double arcY(double s) {
    return 50 + 30 * std::sin(s * 3.14159);
}

TEST(DependCurve, ARunThatRetracesItsPathLooksAsIfDrawnOnce) {
    // Forty sweeps back and forth over one arc, then a last step away from it.
    const auto retraced = [](QCustomPlot& plot, bool) {
        QVector<double> xs;
        QVector<double> ys;
        for (int sweep = 0; sweep < 40; ++sweep) {
            for (int k = 0; k <= 500; ++k) {
                const double s = (sweep % 2 == 0 ? k : 500 - k) / 500.0;
                xs.push_back(10 + 80 * s);
                ys.push_back(arcY(s));
            }
        }
        xs.push_back(90);
        ys.push_back(10);
        newCurve(plot, true)->addData(xs, ys);
    };
    // The same picture drawn plainly: the arc once and the last step.
    const auto once = [](QCustomPlot& plot, bool) {
        QVector<double> xs;
        QVector<double> ys;
        for (int k = 0; k <= 500; ++k) {
            xs.push_back(10 + 80 * k / 500.0);
            ys.push_back(arcY(k / 500.0));
        }
        newCurve(plot, false)->addData(xs, ys);
        newCurve(plot, false)->addData({10, 90}, {50, 10});
    };
    const QImage expected = draw(once, false);
    const QImage actual = draw(retraced, true);
    ASSERT_GT(inkPixels(expected), 500);
    EXPECT_LT(inkDifference(expected, actual), inkPixels(expected) / 50);
}

TEST(DependCurve, KeepsGapsLinesLeavingThePlotAndTheLastPoint) {
    const auto fill = [](QCustomPlot& plot, bool thinned) {
        newCurve(plot, thinned)
            ->addData({10, 50, qQNaN(), 60, 1e9, 80, 80.2}, {10, 50, 50, 20, 1e9, 90, 90.1});
    };
    const QImage expected = draw(fill, false);
    const QImage actual = draw(fill, true);
    ASSERT_GT(inkPixels(expected), 300);
    EXPECT_LT(inkDifference(expected, actual), inkPixels(expected) / 50);
}

// A redraw during a run reduces only the points added since the last one and
// draws what a fresh reduction of all of them draws; anything that moves the
// points already reduced makes it start again, a picture drawn meanwhile does
// not.
TEST(DependCurve, RedrawsCarryOnOnlyWhileNothingBehindThemChanged) {
    const auto wander = [](int k) {
        const double s = k / 3000.0;
        return std::pair{50 + 40 * std::sin(s * 7.0), 50 + 35 * std::sin(s * 5.3 + 0.4 * (k % 3))};
    };
    // The same points in a curve that has never drawn, every line drawn (as
    // for a saved picture).
    const auto fresh = [](const QCPCurve& from, double upper) {
        QCustomPlot plot;
        plot.resize(400, 300);
        plot.xAxis->setRange(0, upper);
        plot.yAxis->setRange(0, 100);
        auto* curve = new tDependCurve(plot.xAxis, plot.yAxis);
        curve->setPen(QPen(Qt::blue, 3));
        curve->data()->set(*from.data());
        return plot.toPixmap(400, 300).toImage().convertToFormat(QImage::Format_RGB32);
    };

    QCustomPlot plot;
    plot.resize(400, 300);
    plot.xAxis->setRange(0, 100);
    plot.yAxis->setRange(0, 100);
    auto* curve = new tDependCurve(plot.xAxis, plot.yAxis);
    curve->setPen(QPen(Qt::blue, 3));
    // As on screen: the replot paints the buffer the widget shows.
    plot.show();
    const auto redraw = [&] {
        plot.replot(QCustomPlot::rpImmediateRefresh);
        return plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    int count = 0;
    const auto append = [&](int n) {
        for (int k = 0; k < n; ++k, ++count) {
            curve->addData(wander(count).first, wander(count).second);
        }
    };

    struct tStep {
        const char* what;
        std::function<void()> change;
        int reduced;  // -1: all points
        double upper;
    };
    const tStep steps[] = {
        {"first draw", [&] { append(5000); }, -1, 100},
        {"points appended", [&] { append(700); }, 700, 100},
        {"nothing new", [] {}, 0, 100},
        {"a gap and more points",
         [&] {
             curve->addData(qQNaN(), qQNaN());
             ++count;
             append(300);
         },
         301, 100},
        {"range changed", [&] { plot.xAxis->setRange(0, 120); }, -1, 120},
        {"more after the rebuild", [&] { append(500); }, 500, 120},
        // A report's page or a saved picture keeps its own reduction.
        {"a picture of another size between", [&] { plot.toPixmap(800, 480); }, 0, 120},
    };
    for (const tStep& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        const QImage image = redraw();
        EXPECT_EQ(curve->LastReducedPoints(), step.reduced < 0 ? count : step.reduced);
        ASSERT_GT(inkPixels(image), 1000);
        EXPECT_EQ(inkDifference(image, fresh(*curve, step.upper)), 0);
    }

    // Reduced beforehand in slices, as for a report's page laid out as the
    // chart is: the picture then only draws, what a fresh reduction draws.
    int slices = 1;
    while (!curve->ReduceForExport(1000)) {
        ++slices;
    }
    EXPECT_EQ(slices, (count + 999) / 1000);
    const QImage picture = plot.toPixmap(400, 300).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(curve->LastReducedPoints(), 0);
    EXPECT_EQ(inkDifference(picture, fresh(*curve, 120)), 0);

    // The run's points replaced by as many others (another abscissa) are
    // seen even untold; told, the curve starts again whatever changed.
    curve->data()->clear();
    for (int k = 0; k < count; ++k) {
        curve->addData(wander(k).second, wander(k).first);
    }
    redraw();
    EXPECT_EQ(curve->LastReducedPoints(), count);
    curve->DataReplaced();
    redraw();
    EXPECT_EQ(curve->LastReducedPoints(), count);
}

// A long run shown whole on the time chart: many readings a pixel column,
// drawn as bars of the columns' extent, looks as the stroked line does.
TEST(TimeGraph, ADenseRunLooksAsTheStrokedLine) {
    const auto fill = [](QCustomPlot& plot, bool thinned) {
        QCPGraph* graph =
            thinned ? new tTimeGraph(plot.xAxis, plot.yAxis) : new QCPGraph(plot.xAxis, plot.yAxis);
        graph->setPen(QPen(Qt::blue, 3));
        graph->setAdaptiveSampling(true);
        QVector<double> keys;
        QVector<double> values;
        for (int k = 0; k < 40000; ++k) {
            const double t = k * 100.0 / 40000;
            keys.push_back(t);
            // A slow wave with sensor noise, a gap and a jump.
            values.push_back(t > 40 && t < 42 ? qQNaN()
                                              : 50 + 30 * std::sin(t / 9) + 4 * std::sin(k * 1.7) +
                                                    (t > 70 ? 10 : 0));
        }
        graph->setData(keys, values, true);
    };
    const QImage expected = draw(fill, false);
    QCustomPlot plot;
    plot.resize(400, 300);
    plot.xAxis->setRange(0, 100);
    plot.yAxis->setRange(0, 100);
    fill(plot, true);
    const QImage actual = plot.toPixmap(400, 300).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_GT(static_cast<tTimeGraph*>(plot.graph(0))->LastColumnBars(), 100);
    ASSERT_GT(inkPixels(expected), 3000);
    EXPECT_LT(inkFartherThanAPixel(expected, actual), inkPixels(expected) / 200);
}

}  // namespace
}  // namespace vantrel
