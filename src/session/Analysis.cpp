#include "session/Analysis.h"

#include <algorithm>
#include <cmath>

#include "base/Error.h"
#include "base/Functions.h"
#include "base/Texts.h"
#include "charts/Statistics.h"
#include "charts/StretchFit.h"
#include "lang/LanguageFile.h"
#include "run/Quantities.h"
#include "session/ActionList.h"
#include "session/Dialogs.h"
#include "session/SessionView.h"

namespace vantrel {

namespace {

bool isVolume(int quantity) {
    return quantity >= qV1 && quantity <= qV3;
}

}  // namespace

tAnalysis::tAnalysis(const tRunData& run, const tSelection& selection, iAnalysisCharts& charts,
                     iSessionView& view, iDialogs& dialogs)
    : run_(run), selection_(selection), charts_(charts), view_(view), dialogs_(dialogs) {}

void tAnalysis::SetView(iAnalysisView* view) {
    analysisView_ = view;
    if (analysisView_ != nullptr) {
        analysisView_->SetRightAxis(rightAxis_);
        analysisView_->ShowReference(reference_.get());
        analysisView_->ShowEquivalence(mark_ ? &*mark_ : nullptr, derivativeShown_);
    }
}

void tAnalysis::AddActions(tActionList& actions, std::function<bool()> idle) {
    actions_ = &actions;
    auto hasPoints = [this] { return run_.Count() > 0; };
    actions.Add(
        "acAnalysisEquivalence", "Точка &эквивалентности", {"Ctrl+E"},
        "Найти точку эквивалентности титрования на графике зависимости от объёма",
        [this](tAction&) { FindEquivalence(); },
        [this, idle](tAction& a) { a.SetEnabled(idle() && CanFindEquivalence()); });
    actions.Add(
        "acAnalysisDerivative", "&Производная dpH/dV", {},
        "Показать производную pH по объёму на графике зависимости",
        [this](tAction& a) {
            a.SetChecked(!a.Checked());
            derivativeShown_ = a.Checked();
            ShowMark();
        },
        [this](tAction& a) { a.SetEnabled(mark_.has_value()); });
    actions.Add(
        "acAnalysisStatistics", "&Статистика участка...", {},
        "Минимум, максимум, среднее и скорость изменения от начала отсчета до выбранной точки",
        [this](tAction&) { ShowStatistics(); },
        [this, idle](tAction& a) {
            a.SetEnabled(idle() && charts_.Mode() == tChartMode::Analysis &&
                         selection_.Cursor().has_value());
        });
    // Fits and areas take the whole run until a point is inspected; the
    // tangent needs the point.
    auto canFit = [this, idle] {
        return idle() && charts_.Mode() == tChartMode::Analysis && run_.Count() >= 2;
    };
    auto canTouch = [this, canFit] { return canFit() && selection_.Cursor().has_value(); };
    const struct {
        const char* name;
        const char* caption;
        const char* hint;
        tFitModel model;
    } fits[] = {
        {"acAnalysisFitLinear", "&Линейная аппроксимация",
         "Прямая y = a + b·(x − x0) по участку для выбранной кривой", tFitModel::Linear},
        {"acAnalysisFitQuadratic", "&Квадратичная аппроксимация",
         "Парабола y = a + b·(x − x0) + c·(x − x0)² по участку для выбранной кривой",
         tFitModel::Quadratic},
        {"acAnalysisFitExponential", "Э&кспоненциальная аппроксимация",
         "Нагрев или остывание y = a + b·e^(c·(x − x0)) по участку для выбранной кривой",
         tFitModel::Exponential},
    };
    for (const auto& fit : fits) {
        actions.Add(
            fit.name, fit.caption, {}, fit.hint,
            [this, model = fit.model](tAction&) { AddFits(model); },
            [canFit](tAction& a) { a.SetEnabled(canFit()); });
    }
    actions.Add(
        "acAnalysisTangent", "&Касательная в точке", {},
        "Наклон выбранной кривой в выбранной точке: в минуту или на единицу абсциссы",
        [this](tAction&) { AddTangents(); }, [canTouch](tAction& a) { a.SetEnabled(canTouch()); });
    // The same for every ticked curve, from a submenu of their own.
    const struct {
        const char* name;
        const char* caption;
        tFitModel model;
    } allFits[] = {
        {"acAnalysisFitAllLinear", "&Линейная аппроксимация", tFitModel::Linear},
        {"acAnalysisFitAllQuadratic", "&Квадратичная аппроксимация", tFitModel::Quadratic},
        {"acAnalysisFitAllExponential", "Э&кспоненциальная аппроксимация", tFitModel::Exponential},
    };
    for (const auto& fit : allFits) {
        actions.Add(
            fit.name, fit.caption, {}, "Та же аппроксимация для каждой отмеченной кривой",
            [this, model = fit.model](tAction&) { AddFits(model, true); },
            [canFit](tAction& a) { a.SetEnabled(canFit()); });
    }
    actions.Add(
        "acAnalysisTangentAll", "&Касательная в точке", {},
        "Касательные в выбранной точке ко всем отмеченным кривым",
        [this](tAction&) { AddTangents(true); },
        [canTouch](tAction& a) { a.SetEnabled(canTouch()); });
    actions.Add(
        "acAnalysisArea", "&Площадь под кривой...", {},
        "Площадь под кривыми от начала отсчета до выбранной точки",
        [this](tAction&) { TellAreas(); }, [canFit](tAction& a) { a.SetEnabled(canFit()); });
    actions.Add(
        "acAnalysisFitsRemove", "&Убрать аппроксимации", {},
        "Убрать кривые аппроксимации и касательные", [this](tAction&) { RemoveFits(); },
        [this](tAction& a) { a.SetEnabled(!fits_.empty()); });
    actions.Add(
        "acFileSavePicture", "Сохранить &рисунок графика...", {},
        "Сохранить показанный график как рисунок PNG или документ PDF",
        [this](tAction&) { SavePicture(); },
        [this, hasPoints](tAction& a) { a.SetEnabled(analysisView_ != nullptr && hasPoints()); });
    actions.Add(
        "acFileOpenReference", "Открыть опо&рный опыт...", {},
        "Показать прошлый опыт бледными кривыми позади текущего",
        [this](tAction&) { ChooseReference(); }, [](tAction& a) { a.SetEnabled(true); });
    actions.Add(
        "acFileCloseReference", "Убрать опорный опыт", {}, "Убрать кривые опорного опыта",
        [this](tAction&) { RemoveReference(); },
        [this](tAction& a) { a.SetEnabled(reference_ != nullptr); });
}

void tAnalysis::Forget() {
    equivalence_.reset();
    equivalenceVolume_ = -1;
    mark_.reset();
    ShowMark();
    RemoveFits();
}

namespace {

// The stretch the fits take, and which quantities against which x.
struct tChartStretch {
    tRunColumns run;
    std::size_t first = 0;
    std::size_t last = 0;
    int abscissa = -1;  // -1: the time chart
    std::vector<int> quantities;
};

// The ticked curves the chart draws: the curve list chooses on both charts,
// and the dependence chart shows every quantity but its abscissa.
std::vector<int> tickedCurves(const tSelection& selection, int abscissa) {
    std::vector<int> curves = selection.VisibleQuantities();
    curves.erase(std::remove(curves.begin(), curves.end(), abscissa), curves.end());
    return curves;
}

// From the time origin to the inspected record as the statistics take it,
// or to the run's last record while none is inspected; against `abscissa`
// (-1: the time).
std::optional<tChartStretch> chartStretch(const tRunData& run, const tSelection& selection,
                                          int abscissa) {
    if (run.Empty()) {
        return std::nullopt;
    }
    tChartStretch s;
    const tIndexRange stretch = selection.Stretch(run);
    s.first = stretch.first;
    s.last = stretch.last;
    s.run = tRunColumns::Of(run);
    s.abscissa = abscissa;
    s.quantities = tickedCurves(selection, s.abscissa);
    return s;
}

std::vector<double> toChartY(int quantity, const std::vector<double>& values) {
    std::vector<double> y;
    y.reserve(values.size());
    for (double v : values) {
        y.push_back(toPercent(quantity, v));
    }
    return y;
}

// What a report names the fit's stretch by.
void nameStretch(tFitCurve& curve, const tRunColumns& run, std::size_t first, std::size_t last) {
    if (first <= last && last < run.time.size()) {
        curve.from = run.time[first];
        curve.to = run.time[last];
        curve.records = last - first + 1;
    }
}

constexpr int kFitSamples = 200;
// The tangent spans this share of the chart's x extent on each side.
constexpr double kTangentReach = 0.05;
// The local line of the slope takes the points within this share of it.
constexpr double kSlopeWindow = 0.02;

}  // namespace

void tAnalysis::ChooseCurve(int quantity) {
    chosenCurve_ = quantity >= 0 && quantity < kQuantityCount ? quantity : -1;
}

int tAnalysis::FitTarget(bool depend) const {
    const std::vector<int> ticked = tickedCurves(selection_, depend ? charts_.Abscissa() : -1);
    if (ticked.empty()) {
        return -1;
    }
    return std::find(ticked.begin(), ticked.end(), chosenCurve_) != ticked.end() ? chosenCurve_
                                                                                 : ticked.front();
}

void tAnalysis::AddFits(tFitModel model, bool allTicked) {
    const bool depend = analysisView_ != nullptr && analysisView_->DependenceInFront();
    const std::optional<tChartStretch> s =
        chartStretch(run_, selection_, depend ? charts_.Abscissa() : -1);
    if (!s) {
        return;
    }
    const std::vector<int> curves = allTicked ? s->quantities : std::vector<int>{FitTarget(depend)};
    for (int q : curves) {
        if (q >= 0) {
            addFit(q, s->abscissa, model, depend,
                   stretchXY(s->run, q, s->abscissa, s->first, s->last));
            nameStretch(fits_.back(), s->run, s->first, s->last);
        }
    }
    if (analysisView_ != nullptr) {
        analysisView_->ShowFits(fits_);
    }
}

void tAnalysis::addRequestedFit(const tStretchRequest& request, double from, double to) {
    if (!request.model) {
        return;
    }
    const bool depend = request.abscissa >= 0;
    if (depend && charts_.Abscissa() != request.abscissa) {
        charts_.SetAbscissa(request.abscissa);
    }
    const tRunColumns run = tRunColumns::Of(run_);
    const tIndexRange stretch = recordsBetween(run, from, to);
    addFit(request.quantity, request.abscissa, *request.model, depend,
           stretchXY(run, request.quantity, request.abscissa, stretch.first, stretch.last));
    nameStretch(fits_.back(), run, stretch.first, stretch.last);
}

void tAnalysis::addFit(int quantity, int abscissa, tFitModel model, bool depend, const tXY& xy) {
    tFitCurve curve;
    curve.depend = depend;
    curve.quantity = quantity;
    curve.abscissa = abscissa;
    curve.fit = fitCurve(model, xy.x, xy.y);
    curve.caption = fitCaption(quantity, abscissa, curve.fit);
    if (curve.fit.ok()) {
        const auto [low, high] = std::minmax_element(xy.x.begin(), xy.x.end());
        for (int k = 0; k <= kFitSamples; ++k) {
            const double x = *low + (*high - *low) * k / kFitSamples;
            curve.x.push_back(x);
            curve.y.push_back(toPercent(quantity, evaluate(curve.fit, x)));
        }
    }
    keepFit(std::move(curve));
}

void tAnalysis::keepFit(tFitCurve curve) {
    const auto same = [&curve](const tFitCurve& f) {
        return f.depend == curve.depend && f.quantity == curve.quantity &&
               f.abscissa == curve.abscissa && f.tangent == curve.tangent &&
               f.fit.model == curve.fit.model && f.x == curve.x;
    };
    fits_.erase(std::remove_if(fits_.begin(), fits_.end(), same), fits_.end());
    fits_.push_back(std::move(curve));
}

void tAnalysis::AddTangents(bool allTicked) {
    const bool depend = analysisView_ != nullptr && analysisView_->DependenceInFront();
    const std::optional<tChartStretch> s =
        chartStretch(run_, selection_, depend ? charts_.Abscissa() : -1);
    const std::optional<std::size_t> cursor = selection_.Cursor();
    if (!s || !cursor || *cursor >= s->run.time.size()) {
        return;
    }
    const std::size_t p = *cursor;
    const std::vector<int> curves = allTicked ? s->quantities : std::vector<int>{FitTarget(depend)};
    for (int q : curves) {
        if (q < 0) {
            continue;
        }
        const tXY xy = stretchXY(s->run, q, s->abscissa, 0, s->run.time.size() - 1);
        const auto [low, high] = std::minmax_element(xy.x.begin(), xy.x.end());
        const double extent = *high - *low;
        const std::optional<double> slope = slopeAt(xy.x, xy.y, p, kSlopeWindow * extent);
        if (!slope || !std::isfinite(xy.y[p])) {
            continue;
        }
        tFitCurve curve;
        curve.depend = depend;
        curve.quantity = q;
        curve.tangent = true;
        curve.abscissa = s->abscissa;
        curve.slope = *slope;
        curve.caption = slopeCaption(q, s->abscissa, *slope);
        nameStretch(curve, s->run, p, p);
        const double reach = kTangentReach * extent;
        for (double dx : {-reach, reach}) {
            curve.x.push_back(xy.x[p] + dx);
            curve.y.push_back(xy.y[p] + *slope * dx);
        }
        curve.y = toChartY(q, curve.y);
        keepFit(std::move(curve));
    }
    if (analysisView_ != nullptr) {
        analysisView_->ShowFits(fits_);
    }
}

void tAnalysis::TellAreas() {
    const bool depend = analysisView_ != nullptr && analysisView_->DependenceInFront();
    const std::optional<tChartStretch> s =
        chartStretch(run_, selection_, depend ? charts_.Abscissa() : -1);
    if (!s) {
        return;
    }
    std::string text;
    for (int q : s->quantities) {
        const tXY xy = stretchXY(s->run, q, s->abscissa, s->first, s->last);
        text += areaCaption(q, s->abscissa, areaUnder(xy.x, xy.y));
        text += '\n';
    }
    view_.ShowInformation(text, constantText("DK_AREA_TITLE"));
}

void tAnalysis::RemoveFits() {
    fits_.clear();
    if (analysisView_ != nullptr) {
        analysisView_->ShowFits(fits_);
    }
}

bool tAnalysis::CanFindEquivalence() const {
    return isVolume(charts_.Abscissa()) && run_.Count() >= 3;
}

const std::optional<tEquivalencePoint>& tAnalysis::FindEquivalence() {
    if (!isVolume(charts_.Abscissa())) {
        throw tError(constantText("DK_EQUIV_ABSCISSA"));
    }
    if (!SeekEquivalence(charts_.Abscissa())) {
        view_.ShowInformation(constantText("DK_EQUIV_NONE"), constantText("DK_EQUIV_CAPTION"));
    }
    return equivalence_;
}

void tAnalysis::Apply(const std::vector<tStretchRequest>& requests, int equivalence, double from,
                      double to) {
    for (const tStretchRequest& request : requests) {
        addRequestedFit(request, from, to);
    }
    if (isVolume(equivalence)) {
        SeekEquivalence(equivalence);
    }
    if (analysisView_ != nullptr) {
        analysisView_->ShowFits(fits_);
    }
}

bool tAnalysis::SeekEquivalence(int volume) {
    equivalence_.reset();
    mark_.reset();
    if (!isVolume(volume)) {
        ShowMark();
        return false;
    }
    if (charts_.Abscissa() != volume) {
        charts_.SetAbscissa(volume);
    }
    const int abscissa = volume;
    const tTitration titration = titrationOf(run_, abscissa);
    equivalenceVolume_ = abscissa;
    equivalence_ = findEquivalencePoint(titration.volume, titration.pH);
    if (!equivalence_) {
        ShowMark();
        return false;
    }
    // In the chart's coordinates: the abscissa as shown (a relative volume
    // counts from its first reading), the pH on the 0..100 scale.
    tEquivalenceMark mark;
    const double volumeShift = run_.RelativeBase(abscissa);
    const double pHShift = run_.RelativeBase(qLP);
    mark.x = equivalence_->volume - volumeShift;
    mark.y = toPercent(qLP, equivalence_->pH - pHShift);
    mark.caption = formatText(constantText("DK_EQUIV_FOUND"), {formatFixed(equivalence_->volume, 3),
                                                               formatFixed(equivalence_->pH, 3)});
    const std::vector<tDerivativePoint> derivative = pHDerivative(titration.volume, titration.pH);
    double peak = 0;
    for (const tDerivativePoint& d : derivative) {
        peak = std::max(peak, d.slope);
    }
    for (const tDerivativePoint& d : derivative) {
        mark.derivativeX.push_back(d.volume - volumeShift);
        mark.derivativeY.push_back(peak > 0 ? std::max(0.0, d.slope) * kPercentHigh / peak : 0.0);
    }
    mark.derivativeName = formatText(constantText("DK_EQUIV_DERIVATIVE"), {formatFixed(peak, 2)});
    mark_ = std::move(mark);
    ShowMark();
    return true;
}

void tAnalysis::ShowMark() {
    if (actions_ != nullptr) {
        if (tAction* derivative = actions_->Find("acAnalysisDerivative")) {
            derivative->SetChecked(derivativeShown_);
        }
    }
    if (analysisView_ != nullptr) {
        analysisView_->ShowEquivalence(mark_ ? &*mark_ : nullptr, derivativeShown_);
    }
}

void tAnalysis::ShowStatistics() {
    const tStretchStatistics statistics = stretchStatistics(run_, selection_);
    if (statistics.quantities.empty() || analysisView_ == nullptr) {
        return;
    }
    analysisView_->ShowStatistics(
        statistics, statisticsText(statistics, splitItems(constantText("DK_STAT_TITLES"))));
}

void tAnalysis::SavePicture() {
    std::string fileName;
    if (analysisView_ == nullptr ||
        !dialogs_.ChooseSaveFile("png", constantText("DK_PICTURE_FILTER"), fileName)) {
        return;
    }
    try {
        analysisView_->SaveChartPicture(fileName);
    } catch (const std::exception& e) {
        throw tError(formatText(constantText("DK_PICTURE_FAILED"), {e.what()}));
    }
}

void tAnalysis::ChooseReference() {
    std::string fileName;
    if (dialogs_.ChooseOpenFile(constantText("DK_REFERENCE_FILTER"), fileName)) {
        LoadReference(fileName);
    }
}

void tAnalysis::LoadReference(const std::string& fileName) {
    std::unique_ptr<tReferenceRun> run;
    try {
        run = std::make_unique<tReferenceRun>(loadReferenceRun(fileName));
    } catch (const std::exception& e) {
        throw tError(formatText(constantText("DK_REFERENCE_FAILED"), {e.what()}));
    }
    reference_ = std::move(run);
    if (analysisView_ != nullptr) {
        analysisView_->ShowReference(reference_.get());
    }
}

void tAnalysis::RemoveReference() {
    reference_.reset();
    if (analysisView_ != nullptr) {
        analysisView_->ShowReference(nullptr);
    }
}

void tAnalysis::SetRightAxis(int quantity) {
    rightAxis_ = quantity >= 0 && quantity < kQuantityCount ? quantity : -1;
    if (analysisView_ != nullptr) {
        analysisView_->SetRightAxis(rightAxis_);
    }
}

}  // namespace vantrel
