#pragma once

#include <string>
#include <vector>

#include "charts/ChartModel.h"
#include "charts/ChartView.h"

namespace vantrel::test {

// Records the model's notices as short words, in order.
class tRecordingView : public iChartView {
public:
    std::vector<std::string> calls;
    double axisMin = 0.0, axisMax = 0.0;
    bool axisAutomatic = false;

    void ModeChanged(tChartMode mode) override {
        calls.push_back(mode == tChartMode::Live ? "live" : "analysis");
    }
    void TimeAxisChanged(double min, double max, bool automatic) override {
        axisMin = min;
        axisMax = max;
        axisAutomatic = automatic;
        calls.push_back("timeAxis");
    }
    void DependAxisChanged(double, double) override { calls.push_back("dependAxis"); }
    void SeriesCleared() override { calls.push_back("cleared"); }
    void PointsAppended() override { calls.push_back("appended"); }
    void TimeSeriesRebuilt() override { calls.push_back("timeRebuilt"); }
    void DependRebuilt() override { calls.push_back("dependRebuilt"); }
    void SeriesVisibilityChanged(int i) override {
        calls.push_back("visibility" + std::to_string(i));
    }
    void ValueListChanged() override { calls.push_back("values"); }
    void CheckListChanged() override { calls.push_back("checkList"); }
    void Repaint() override { calls.push_back("repaint"); }

    int Count(const std::string& call) const {
        int n = 0;
        for (const std::string& c : calls) {
            n += c == call ? 1 : 0;
        }
        return n;
    }
};

// A reading set with the given temperature and volume V1; the other
// quantities at plain mid-range values.
inline tReadingValues readings(float lt, float v1 = 0.0f) {
    return {lt, 7.0f, 100.0f, 0.5f, v1, 0.0f, 0.0f};
}

inline std::string valueOf(const tChartModel& model, std::string_view key) {
    for (const tValueRow& row : model.ValueRows()) {
        if (row.key == key) {
            return row.value;
        }
    }
    return "<missing>";
}

}  // namespace vantrel::test
