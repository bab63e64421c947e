#include "ui/ValueTicker.h"

#include "charts/ChartScales.h"
#include "run/Quantities.h"
#include "ui/QtText.h"

namespace vantrel {

void tValueTicker::generate(const QCPRange& range, const QLocale& locale, QChar formatChar,
                            int precision, QVector<double>& ticks, QVector<double>* subTicks,
                            QVector<QString>* tickLabels) {
    if (quantity_ < 0) {
        QCPAxisTicker::generate(range, locale, formatChar, precision, ticks, subTicks, tickLabels);
        return;
    }
    // Round values in the quantity's units, then put back where they lie on
    // the common scale.
    const QCPRange real(fromPercent(quantity_, range.lower), fromPercent(quantity_, range.upper));
    QCPAxisTicker::generate(real, locale, formatChar, precision, ticks, subTicks, tickLabels);
    for (double& tick : ticks) {
        tick = toPercent(quantity_, tick);
    }
    if (subTicks != nullptr) {
        for (double& tick : *subTicks) {
            tick = toPercent(quantity_, tick);
        }
    }
}

double tValueTicker::getTickStep(const QCPRange& range) {
    step_ = QCPAxisTicker::getTickStep(range);
    return step_;
}

QString tValueTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
    return qs(tickText(tick, step_));
}

}  // namespace vantrel
