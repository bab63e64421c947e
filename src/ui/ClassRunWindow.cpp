#include "ui/ClassRunWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "run/Quantities.h"
#include "session/ClassLesson.h"
#include "ui/ChartPlot.h"
#include "ui/QtText.h"

namespace vantrel {

namespace {

constexpr int kRefreshMs = 500;
constexpr int kFirstVolume = 4;  // V1: a titration's curve against its reagent

}  // namespace

TfmClassRunWindow::TfmClassRunWindow(tClassLesson& lesson, std::string station, QWidget* parent)
    : QWidget(parent, Qt::Window),
      lesson_(lesson),
      station_(std::move(station)),
      model_(std::make_unique<tChartModel>()) {
    setObjectName("fmClassRun");
    setAttribute(Qt::WA_DeleteOnClose);
    resize(900, 600);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout();
    auto* label = new QLabel(this);
    label->setObjectName("lbClassRunAbscissa");
    label->setText(QStringLiteral("Абсцисса"));
    row->addWidget(label);
    abscissa_ = new QComboBox(this);
    abscissa_->setObjectName("cbClassRunAbscissa");
    for (std::size_t q = 0; q < kQuantityCount; ++q) {
        abscissa_->addItem(qs(quantityNames[q]));
    }
    row->addWidget(abscissa_);
    row->addStretch(1);
    layout->addLayout(row);
    auto* tabs = new QTabWidget(this);
    time_ = new TChartPlot(tChartKind::Time, *model_, tabs);
    depend_ = new TChartPlot(tChartKind::Depend, *model_, tabs);
    time_->setObjectName("tsClassRunTime");
    depend_->setObjectName("tsClassRunDepend");
    tabs->addTab(time_, QStringLiteral("Показания"));
    tabs->addTab(depend_, QStringLiteral("Зависимость"));
    tabs->setCurrentIndex(1);
    layout->addWidget(tabs, 1);
    model_->SetView(this);
    model_->EnterLiveMode();
    model_->SetShowAll(true);
    abscissa_->setCurrentIndex(kFirstVolume);
    model_->SetAbscissa(kFirstVolume);
    time_->ApplyTitles();
    depend_->ApplyTitles();
    connect(abscissa_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            model_->SetAbscissa(index);
            model_->SetShowAll(true);
            depend_->ApplyTitles();
        }
    });
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &TfmClassRunWindow::Refresh);
    timer_->start(kRefreshMs);
    Refresh();
}

TfmClassRunWindow::~TfmClassRunWindow() {
    time_->DetachModel();
    depend_->DetachModel();
}

void TfmClassRunWindow::Refresh() {
    const tStationCard* card = lesson_.Teacher().Roster().Find(station_);
    if (card == nullptr || card->run.empty()) {
        return;
    }
    if (card->run != run_) {
        run_ = card->run;
        fed_ = 0;
        tRunStart start;
        start.started = card->meta.started;
        start.experiment = card->meta.experiment;
        start.names = card->meta.names;
        for (std::size_t q = 0; q < kQuantityCount; ++q) {
            if (start.names[q].empty()) {
                start.names[q] = quantityNames[q];
            }
        }
        start.relative = card->meta.relative;
        start.volumeCoefficient = card->meta.volumeCoefficient;
        model_->OnEvent({start});
        model_->SetRunInfo({start.started, start.experiment, {}});
        setWindowTitle(qs(formatText(constantText("DK_CLASS_RUN_TITLE"), {station_, run_})));
    }
    if (fed_ >= card->records.size()) {
        return;
    }
    for (; fed_ < card->records.size(); ++fed_) {
        model_->OnEvent({card->records[fed_]});
    }
    model_->OnBatchEnd(card->records.back().time);
    model_->SetShowAll(true);  // both charts keep the whole run in view
}

void TfmClassRunWindow::TimeAxisChanged(double min, double max, bool /*automatic*/) {
    time_->ApplyAxis(min, max);
}

void TfmClassRunWindow::DependAxisChanged(double min, double max) {
    depend_->ApplyAxis(min, max);
    depend_->yAxis->setRange(kPercentLow, kPercentHigh);
}

void TfmClassRunWindow::SeriesCleared() {
    time_->Reload();
    depend_->Reload();
}

void TfmClassRunWindow::PointsAppended() {
    time_->AppendNew();
    depend_->AppendNew();
}

void TfmClassRunWindow::TimeSeriesRebuilt() {
    time_->Reload();
}

void TfmClassRunWindow::DependRebuilt() {
    depend_->Reload();
}

void TfmClassRunWindow::SeriesVisibilityChanged(int /*quantity*/) {
    time_->ApplyVisibility();
    depend_->ApplyVisibility();
}

void TfmClassRunWindow::TransitionsChanged() {
    time_->RefreshTransitions();
}

}  // namespace vantrel
