#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "charts/ChartView.h"

class QComboBox;
class QTimer;

namespace vantrel {

class tChartModel;
class tClassLesson;
class TChartPlot;

// One station's run from the class, in the station window's two charts
// (readings against time, and against a chosen quantity), read-only and
// live: what arrives from the station is added as it comes.
class TfmClassRunWindow : public QWidget, public iChartView {
    Q_OBJECT

public:
    TfmClassRunWindow(tClassLesson& lesson, std::string station, QWidget* parent = nullptr);
    ~TfmClassRunWindow() override;
    const std::string& Station() const { return station_; }
    // Takes the records that arrived since the last call.
    void Refresh();
    std::size_t Shown() const { return fed_; }

    void TimeAxisChanged(double min, double max, bool automatic) override;
    void DependAxisChanged(double min, double max) override;
    void SeriesCleared() override;
    void PointsAppended() override;
    void TimeSeriesRebuilt() override;
    void DependRebuilt() override;
    void SeriesVisibilityChanged(int quantity) override;
    void TransitionsChanged() override;

private:
    tClassLesson& lesson_;
    std::string station_;
    std::string run_;
    std::size_t fed_ = 0;
    std::unique_ptr<tChartModel> model_;
    TChartPlot* time_ = nullptr;
    TChartPlot* depend_ = nullptr;
    QComboBox* abscissa_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace vantrel
