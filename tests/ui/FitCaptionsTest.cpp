// Fits on the charts as the projector shows them: their captions in one
// column inside the plot, clear of each other and of the equivalence
// label, whatever the size the chart is drawn at.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTabWidget>
#include <cmath>
#include <memory>
#include <vector>

#include "ShownWindow.h"
#include "charts/ChartModel.h"
#include "run/Quantities.h"
#include "session/MainFM.h"
#include "support/TempDir.h"
#include "ui/ChartPlot.h"
#include "ui/MainWindow.h"

namespace vantrel {
namespace {

QRectF boxOf(const QCPItemText& item) {
    return QRectF(item.topLeft->pixelPosition(), item.bottomRight->pixelPosition()).normalized();
}

// Every shown caption inside the plot and apart from the others and from
// the equivalence label; how many are shown.
int checkCaptions(TChartPlot& chart) {
    const QRectF plot = QRectF(chart.axisRect()->rect()).adjusted(-0.5, -0.5, 0.5, 0.5);
    std::vector<QRectF> taken;
    if (auto* label = chart.findChild<QCPItemText*>("lbEquivalence")) {
        taken.push_back(boxOf(*label));
    }
    int shown = 0;
    for (QCPItemText* caption : chart.findChildren<QCPItemText*>("lbFit")) {
        if (!caption->visible()) {
            continue;
        }
        const QRectF box = boxOf(*caption);
        EXPECT_TRUE(plot.contains(box)) << caption->text().toStdString();
        for (const QRectF& other : taken) {
            EXPECT_FALSE(box.intersects(other)) << caption->text().toStdString();
        }
        taken.push_back(box);
        ++shown;
    }
    return shown;
}

// A titration whose jump lies at 5 ml, with every curve ticked: three fits
// for every curve and the tangents, on the dependence chart against V1.
TEST(FitCaptions, StayInsideThePlotApartFromEachOtherAndTheEquivalenceLabel) {
    test::tTempDir dir;
    std::unique_ptr<TfmMainWindow> window = test::showWindow(dir);
    TfmMain& controller = window->Controller();
    tChartModel& model = controller.Charts();
    model.EnterLiveMode();
    for (int k = 0; k <= 400; ++k) {
        const float volume = 0.025f * static_cast<float>(k);
        const float pH = 7.0f + 4.0f * std::tanh(6.0f * (volume - 5.0f));
        model.AddReadingSet(0.2f * static_cast<float>(k),
                            {21.0f + 0.01f * float(k), pH, 1.0f + 0.1f * volume,
                             0.3f - 0.02f * volume, volume, 0.0f, 0.0f});
    }
    model.EndBatch(80.0f);
    model.EnterAnalysisMode();
    controller.rbAbscissClick(qV1);
    window->findChild<QTabWidget*>("pcChart")->setCurrentIndex(1);
    auto* chart = window->findChild<TChartPlot*>("chDepend");
    ASSERT_NE(chart, nullptr);
    window->IdleUpdate();
    window->Trigger("acAnalysisEquivalence");
    ASSERT_TRUE(controller.Analysis().Equivalence().has_value());

    controller.chDependClick(5.0, chart->yAxis->range().center(), 70.0, 4.5);
    window->IdleUpdate();
    for (const char* action : {"acAnalysisFitAllLinear", "acAnalysisFitAllQuadratic",
                               "acAnalysisFitAllExponential", "acAnalysisTangentAll"}) {
        window->Trigger(action);
        window->IdleUpdate();
    }
    const auto& fits = controller.Analysis().Fits();
    ASSERT_GE(fits.size(), 18u);
    const auto newest = [&] {
        QCPItemText* last = nullptr;
        for (QCPItemText* caption : chart->findChildren<QCPItemText*>("lbFit")) {
            if (caption->text().toStdString() == fits.back().caption) {
                last = caption;
            }
        }
        return last != nullptr && last->visible();
    };

    for (const QSize size : {QSize(1100, 720), QSize(820, 560), QSize(1600, 1000)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        window->resize(size);
        QApplication::processEvents();
        chart->replot();
        EXPECT_GE(checkCaptions(*chart), 2);
        EXPECT_TRUE(newest()) << "the newest fit always shows";
    }
    // A picture of another size lays them out for itself.
    const QPixmap picture = chart->toPixmap(1900, 1300);
    ASSERT_GT(chart->axisRect()->rect().width(), 1500) << "laid out at the picture's size";
    EXPECT_GE(checkCaptions(*chart), 2);
}

}  // namespace
}  // namespace vantrel
