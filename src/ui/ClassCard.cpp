#include "ui/ClassCard.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "session/ClassCards.h"
#include "ui/QtText.h"

namespace vantrel {

namespace {

constexpr int kWidth = 236;

}  // namespace

TfrClassCard::TfrClassCard(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setCursor(Qt::PointingHandCursor);
    setFixedWidth(kWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(2);
    const auto label = [this, layout](int pixels, bool bold) {
        auto* l = new QLabel(this);
        l->setFont(pixelFont(pixels, bold));
        l->setWordWrap(true);
        l->setTextFormat(Qt::PlainText);  // names and texts come from the network
        layout->addWidget(l);
        return l;
    };
    title_ = label(16, true);
    presence_ = label(12, false);
    state_ = label(12, false);
    values_ = label(13, true);
    outputs_ = label(12, false);
    safety_ = label(12, true);
    safety_->setStyleSheet(QStringLiteral("color: #c00000;"));
    stop_ = label(12, false);
    layout->addStretch(1);
}

void TfrClassCard::Show(const tCardText& text) {
    grey_ = text.grey;
    title_->setText(qs(text.title));
    presence_->setText(qs(text.presence));
    state_->setText(qs(text.state));
    state_->setVisible(!text.state.empty());
    QString values = qs(text.values);
    values.replace(QStringLiteral("   LC"), QStringLiteral("\nLC"));
    values_->setText(values);
    values_->setVisible(!text.values.empty());
    outputs_->setText(qs(text.outputs));
    outputs_->setStyleSheet(text.anyOn ? QStringLiteral("color: #b05000;") : QString());
    safety_->setText(qs(text.safety));
    safety_->setVisible(!text.safety.empty());
    stop_->setText(qs(text.stop));
    stop_->setVisible(!text.stop.empty());
    setStyleSheet(grey_ ? QStringLiteral("TfrClassCard { background: #d9d9d9; } QLabel { color: "
                                         "#707070; }")
                        : QStringLiteral("TfrClassCard { background: #ffffff; }"));
    if (grey_ && !text.safety.empty()) {
        safety_->setStyleSheet(QStringLiteral("color: #a00000;"));
    }
    // Wrapped lines need the height their width gives them; the grid would
    // otherwise squeeze a card with a long safety text.
    setFixedHeight(layout()->totalHeightForWidth(kWidth));
}

QString TfrClassCard::Text() const {
    QStringList parts;
    for (const QLabel* label : {title_, presence_, state_, values_, outputs_, safety_, stop_}) {
        if (!label->text().isEmpty()) {
            parts << label->text();
        }
    }
    return parts.join(QLatin1Char('\n'));
}

std::string TfrClassCard::Title() const {
    return title_->text().toStdString();
}

void TfrClassCard::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QFrame::mouseReleaseEvent(event);
}

}  // namespace vantrel
