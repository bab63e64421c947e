#include "session/Analysis.h"

#include <algorithm>

#include "base/Error.h"
#include "base/Functions.h"
#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "charts/Quantities.h"
#include "lang/LanguageFile.h"
#include "session/ActionList.h"
#include "session/MainView.h"

namespace vantrel {

namespace {

bool isVolume(int quantity) {
    return quantity >= qV1 && quantity <= qV3;
}

}  // namespace

tAnalysis::tAnalysis(tChartModel& charts, iSessionView& view, iDialogs& dialogs)
    : charts_(charts), view_(view), dialogs_(dialogs) {}

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
    auto hasPoints = [this] { return charts_.PointCount() > 0; };
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
                         charts_.CursorIndex() >= 0);
        });
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
    mark_.reset();
    ShowMark();
}

bool tAnalysis::CanFindEquivalence() const {
    return isVolume(charts_.Abscissa()) && charts_.PointCount() >= 3;
}

const std::optional<tEquivalencePoint>& tAnalysis::FindEquivalence() {
    equivalence_.reset();
    mark_.reset();
    const int abscissa = charts_.Abscissa();
    if (!isVolume(abscissa)) {
        throw tError(constantText("DK_EQUIV_ABSCISSA"));
    }
    const tTitration titration = titrationOf(charts_.Data(), abscissa);
    equivalence_ = findEquivalencePoint(titration.volume, titration.pH);
    if (!equivalence_) {
        ShowMark();
        view_.ShowInformation(constantText("DK_EQUIV_NONE"), constantText("DK_EQUIV_CAPTION"));
        return equivalence_;
    }
    // In the chart's coordinates: the abscissa as shown (a relative volume
    // counts from its first reading), the pH on the 0..100 scale.
    tEquivalenceMark mark;
    const double volumeShift = charts_.Data().RelativeBase(abscissa);
    const double pHShift = charts_.Data().RelativeBase(qLP);
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
    return equivalence_;
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
    const tStretchStatistics statistics = stretchStatistics(charts_);
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
