#include "ui/ScenarioLabel.h"

#include <QFontMetrics>
#include <QPainter>

#include "session/SessionView.h"
#include "ui/QtText.h"

namespace vantrel {

tScenarioLabel::tScenarioLabel(QWidget* parent) : QLabel(parent) {
    setObjectName("lbState");
    setFont(pixelFont(21, true));
    setContentsMargins(8, 0, 8, 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void tScenarioLabel::SetParts(const QString& name, const QString& state) {
    state_ = state;
    const QString text =
        qs(iSessionView::ScenarioLabelText(name.toStdString(), state.toStdString()));
    setText(text);
    setToolTip(text);
}

QString tScenarioLabel::ShownText() const {
    const QFontMetrics metrics(font());
    const int room = contentsRect().width();
    const QString whole = text();
    if (metrics.horizontalAdvance(whole) <= room) {
        return whole;
    }
    // The language file may have replaced the text: then only its end is cut.
    const QString tail = QStringLiteral(" - ") + state_;
    if (state_.isEmpty() || !whole.endsWith(tail)) {
        return metrics.elidedText(whole, Qt::ElideRight, room);
    }
    const int nameRoom = room - metrics.horizontalAdvance(tail);
    if (nameRoom < metrics.horizontalAdvance(QStringLiteral("…"))) {
        return metrics.elidedText(state_, Qt::ElideRight, room);
    }
    return metrics.elidedText(whole.left(whole.size() - tail.size()), Qt::ElideRight, nameRoom) +
           tail;
}

QSize tScenarioLabel::minimumSizeHint() const {
    const QMargins margins = contentsMargins();
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(QStringLiteral("Wm…")) + margins.left() + margins.right(),
            QLabel::minimumSizeHint().height()};
}

void tScenarioLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), int(alignment() | Qt::AlignVCenter), ShownText());
}

}  // namespace vantrel
