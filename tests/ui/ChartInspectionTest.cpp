// Pointing at the time chart after a run: the hover text and a click name
// the same point.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QToolTip>
#include <memory>
#include <string>

#include "ChartClick.h"
#include "ShownWindow.h"
#include "charts/ChartModel.h"
#include "run/Quantities.h"
#include "session/MainFM.h"
#include "support/TempDir.h"
#include "ui/ChartPlot.h"
#include "ui/MainWindow.h"

namespace vantrel {
namespace {

class ChartInspectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = test::showWindow(dir);
        chart = window->findChild<TChartPlot*>("chAll");
        ASSERT_NE(chart, nullptr);
    }

    tChartModel& Model() { return window->Controller().Charts(); }

    QPoint At(double time) const {
        return {int(chart->xAxis->coordToPixel(time)), chart->axisRect()->rect().center().y()};
    }
    QString HoverAt(QPoint where) {
        QMouseEvent move(QEvent::MouseMove, where, chart->mapToGlobal(where), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(chart, &move);
        return QToolTip::text();
    }
    void ClickAt(QPoint where) { test::clickAt(*chart, QPointF(where)); }

    test::tTempDir dir;
    std::unique_ptr<TfmMainWindow> window;
    TChartPlot* chart = nullptr;
};

// Two records of one time (the station's clock stalled) and ordinary ones;
// the temperature tells the points apart.
TEST_F(ChartInspectionTest, HoverTextShowsThePointAClickInspects) {
    tChartModel& model = Model();
    model.EnterLiveMode();
    const float times[] = {1.0f, 2.0f, 2.0f, 3.0f, 4.0f};
    for (int k = 0; k < 5; ++k) {
        model.AddReadingSet(times[k], {20.0f + float(k), 7.0f, 100.0f, 0.5f, 0.0f, 0.0f, 0.0f});
    }
    model.EndBatch(4.0f);
    model.EnterAnalysisMode();
    chart->xAxis->setRange(0.0, 5.0);
    QApplication::processEvents();

    const std::string key = model.ValueRows()[qLT].key;
    // Just past the stalled time, near the middle between points, and on a point.
    for (double time : {2.1, 2.45, 2.5, 2.55, 3.0, 3.5}) {
        SCOPED_TRACE(time);
        const QPoint where = At(time);
        const QString tip = HoverAt(where);
        ClickAt(where);
        ASSERT_GE(model.CursorIndex(), 0);
        const QString inspected = QString::fromStdString(key + ": " + model.ValueRows()[qLT].value);
        EXPECT_TRUE(tip.contains(inspected))
            << tip.toStdString() << " / " << inspected.toStdString();
    }
    // Of the two points at 2 s the first, by hover as by click.
    ClickAt(At(2.1));
    EXPECT_EQ(model.CursorIndex(), 1);
    EXPECT_TRUE(HoverAt(At(2.1)).contains(QString::fromStdString(key + ": 21.00")));
}

}  // namespace
}  // namespace vantrel
