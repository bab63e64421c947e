#pragma once

#include <functional>
#include <string>

#include "session/Reports.h"

class QPagedPaintDevice;
class QWidget;

namespace vantrel {

class TChartPlot;
class tChartModel;
struct tReportContent;

// The lab report on A4 pages: the title block, both charts drawn to be read
// on paper, the results and the marked points, numbered "page N of M".
// The same pages go into a PDF file and onto a printer. The charts are the
// window's own widgets, so the painting stays on the window's thread; a
// shown window meanwhile shows its progress and stays alive between one
// chart or page and the next, and Cancel stops the report there.
class tReportWriter : public iReportView {
public:
    tReportWriter(const tChartModel& model, TChartPlot& time, TChartPlot& depend, QWidget& window);

    // ---- iReportView
    bool WriteReport(const std::string& fileName, const tRunSummary& summary,
                     const std::string& student) override;
    bool PrintReport(const tRunSummary& summary, const std::string& student) override;

    // What a page or chart done tells: the share of the report done
    // (0..1). False from it stops the painting.
    using tProgress = std::function<bool(double done)>;
    // Paints the pages on `device`, whose page layout is set; tError when
    // it cannot be painted on. False when `progress` stopped it.
    bool Paint(QPagedPaintDevice& device, const tReportContent& content,
               const tProgress& progress = {});

private:
    const tChartModel& model_;
    TChartPlot& time_;
    TChartPlot& depend_;
    QWidget& window_;
};

}  // namespace vantrel
