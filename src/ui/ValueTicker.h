#pragma once

#include <qcustomplot.h>

namespace vantrel {

// Ticks at round values, labelled as the program writes numbers (its
// decimal separator, as many decimals as the step needs). With a quantity,
// the axis carries the common 0..100 scale that every curve is drawn on, and
// the ticks fall at round values of that quantity's own units.
class tValueTicker : public QCPAxisTicker {
public:
    explicit tValueTicker(int quantity = -1) : quantity_(quantity) {}

    int Quantity() const { return quantity_; }

    void generate(const QCPRange& range, const QLocale& locale, QChar formatChar, int precision,
                  QVector<double>& ticks, QVector<double>* subTicks,
                  QVector<QString>* tickLabels) override;

protected:
    double getTickStep(const QCPRange& range) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar,
                         int precision) override;

private:
    int quantity_;
    double step_ = 1.0;
};

}  // namespace vantrel
