#pragma once

#include <string>

#include "session/Reports.h"

class QPagedPaintDevice;
class QWidget;

namespace vantrel {

class TChartPlot;
class tChartModel;
struct tReportContent;

// The lab report on A4 pages: the title block, both charts as the window
// shows them, the results and the marked points, numbered "page N of M".
// The same pages go into a PDF file and onto a printer.
class tReportWriter : public iReportView {
public:
    tReportWriter(const tChartModel& model, TChartPlot& time, TChartPlot& depend, QWidget& window);

    // ---- iReportView
    void WriteReport(const std::string& fileName, const tRunSummary& summary,
                     const std::string& student) override;
    bool PrintReport(const tRunSummary& summary, const std::string& student) override;

    // Paints the pages on `device`, whose page layout is set; tError when
    // it cannot be painted on.
    void Paint(QPagedPaintDevice& device, const tReportContent& content);

private:
    const tChartModel& model_;
    TChartPlot& time_;
    TChartPlot& depend_;
    QWidget& window_;
};

}  // namespace vantrel
