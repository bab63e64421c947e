#pragma once

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "charts/ChartView.h"
#include "charts/CurveFit.h"
#include "charts/Equivalence.h"
#include "charts/Statistics.h"
#include "charts/StretchFit.h"
#include "journal/ReferenceRun.h"
#include "run/RunData.h"
#include "run/Selection.h"

namespace vantrel {

class iSessionView;
class iDialogs;
class tActionList;

// A found equivalence point as the dependence chart draws it: the point in
// the chart's coordinates (abscissa in its unit, readings on the 0..100
// scale) with its caption, and the derivative scaled so that its peak
// reaches the top of the chart.
struct tEquivalenceMark {
    double x = 0;
    double y = 0;
    std::string caption;  // "V = 5.012 мл, pH = 7.034"
    std::vector<double> derivativeX;
    std::vector<double> derivativeY;
    std::string derivativeName;  // legend: "dpH/dV (до 12.3 pH/мл)"
};

// A curve the analysis draws over a chart: a fit over a stretch, or the
// tangent at the inspected point. In the chart's coordinates: x the time or
// the abscissa as shown, y on the 0..100 plotting scale.
struct tFitCurve {
    bool depend = false;  // on the dependence chart, else the time chart
    int quantity = 0;     // the curve it was made for
    bool tangent = false;
    int abscissa = -1;  // -1: the time
    // The fit's parameters (not for a tangent), about x0 = fit.origin: the
    // time or the abscissa where the stretch starts.
    tCurveFit fit;
    double slope = 0;  // the tangent's, per second or per abscissa unit
    std::vector<double> x;
    std::vector<double> y;
    std::string caption;  // the legend: equation, parameters, R² or the slope
    // The records it was made over, in run seconds (a tangent: its point);
    // no records when the stretch asked for held none.
    double from = 0;
    double to = 0;
    std::size_t records = 0;
};

// What the analysis needs from the window beyond the main view.
class iAnalysisView {
public:
    virtual ~iAnalysisView() = default;
    // Null removes the mark and the derivative.
    virtual void ShowEquivalence(const tEquivalenceMark* mark, bool derivative) = 0;
    // Faded curves of an earlier run behind the current one; null removes them.
    virtual void ShowReference(const tReferenceRun* run) = 0;
    // The time chart's right axis in real units for one quantity, -1 for none.
    virtual void SetRightAxis(int quantity) = 0;
    virtual void ShowStatistics(const tStretchStatistics& statistics, const std::string& text) = 0;
    // The chart in front as PNG or PDF, by the file's extension, with its
    // legend and any mark; tError when it cannot be written.
    virtual void SaveChartPicture(const std::string& fileName) = 0;
    // The dependence chart is the page in front (else the time chart).
    virtual bool DependenceInFront() const = 0;
    // Every fit and tangent, drawn dashed over its chart; empty removes them.
    virtual void ShowFits(const std::vector<tFitCurve>& fits) = 0;
};

// The analysis a teacher does for the lab report, beside the run's charts:
// the equivalence point of a titration, statistics of a stretch, pictures
// of the charts, a reference run behind the current one, a real-unit scale.
// It reads the run and what was chosen on it (the stretch from the time
// origin to the cursor, the visible quantities); of the charts only whether
// they show a run for analysis and the dependence chart's abscissa.
class tAnalysis {
public:
    tAnalysis(const tRunData& run, const tSelection& selection, iAnalysisCharts& charts,
              iSessionView& view, iDialogs& dialogs);

    // Its actions join the controller's list; `idle` tells when no run is
    // being recorded.
    void AddActions(tActionList& actions, std::function<bool()> idle);
    void SetView(iAnalysisView* view);

    // A new run starts, another run is opened or the abscissa changes: the
    // point found belongs to what was shown.
    void Forget();

    // The equivalence point on the current abscissa (V1..V3), null when the
    // pH never jumps; also drawn and told.
    const std::optional<tEquivalencePoint>& FindEquivalence();
    const std::optional<tEquivalencePoint>& Equivalence() const { return equivalence_; }
    // The same on volume `volume`, which the dependence chart then takes as
    // its abscissa, told to nobody: false when the pH never jumps.
    bool SeekEquivalence(int volume);
    // For the command line: the fits asked for (those with a model) over the
    // records timed from `from` to `to` seconds, each against the time or
    // (on the dependence chart, which then takes that abscissa) a quantity,
    // and the equivalence point on `equivalence` (qV1..qV3; else none). The
    // stretch its summary's statistics take is the caller's selection (see
    // tSelection::InspectEnd).
    void Apply(const std::vector<tStretchRequest>& requests, int equivalence,
               double from = -std::numeric_limits<double>::infinity(),
               double to = std::numeric_limits<double>::infinity());
    // The volume it was last sought on (qV1..qV3), -1 when not since Forget.
    int EquivalenceVolume() const { return equivalenceVolume_; }

    // Loads an earlier run (an export or a journal) to show behind the
    // current one; tError leaves the one shown as it was.
    void LoadReference(const std::string& fileName);
    void RemoveReference();
    const tReferenceRun* Reference() const { return reference_.get(); }

    void SetRightAxis(int quantity);  // -1: none

    // The curve chosen in the curve list (-1: none); fits and tangents are
    // made for it.
    void ChooseCurve(int quantity);
    // The curve a fit on the chart in front is made for: the one chosen
    // when it is ticked and not the dependence chart's abscissa, else the
    // first such curve; -1 when there is none.
    int FitTarget(bool depend) const;

    // Over the stretch from the time origin (the run's start without one)
    // to the inspected point (the run's end without one), for the fit
    // target of the chart in front or, with `allTicked`, every ticked curve
    // (on the dependence chart against its abscissa): a fit added to those
    // shown (replacing the same fit made before), the tangent at the
    // inspected point, the area under each ticked curve (told).
    void AddFits(tFitModel model, bool allTicked = false);
    void AddTangents(bool allTicked = false);
    void TellAreas();
    void RemoveFits();
    const std::vector<tFitCurve>& Fits() const { return fits_; }
    int RightAxis() const { return rightAxis_; }

private:
    bool CanFindEquivalence() const;
    void addFit(int quantity, int abscissa, tFitModel model, bool depend, const tXY& xy);
    // Shown with the others; one made the same way before gives way to it.
    void keepFit(tFitCurve curve);
    void addRequestedFit(const tStretchRequest& request, double from, double to);
    void ShowMark();
    void ShowStatistics();
    void SavePicture();
    void ChooseReference();

    const tRunData& run_;
    const tSelection& selection_;
    iAnalysisCharts& charts_;
    iSessionView& view_;
    iDialogs& dialogs_;
    iAnalysisView* analysisView_ = nullptr;
    tActionList* actions_ = nullptr;
    std::optional<tEquivalencePoint> equivalence_;
    int equivalenceVolume_ = -1;
    std::optional<tEquivalenceMark> mark_;
    bool derivativeShown_ = false;
    std::unique_ptr<tReferenceRun> reference_;
    std::vector<tFitCurve> fits_;
    int chosenCurve_ = -1;
    int rightAxis_ = -1;
};

}  // namespace vantrel
