#include "ui/ActuatorFR.h"
#include "ui/QtText.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace vantrel {

namespace {

// A filled horizontal arrow; the stirrer and pumps turn both ways, so the
// picture only needs to tell the two directions apart at a glance.
QPixmap arrowPixmap(bool pointsRight) {
    const int w = 40;
    const int h = 24;
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(2, 8);
    path.lineTo(24, 8);
    path.lineTo(24, 2);
    path.lineTo(38, 12);
    path.lineTo(24, 22);
    path.lineTo(24, 16);
    path.lineTo(2, 16);
    path.closeSubpath();
    if (!pointsRight) {
        QTransform mirror;
        mirror.translate(w, 0);
        mirror.scale(-1, 1);
        path = mirror.map(path);
    }
    painter.setPen(QPen(QColor(0, 64, 0), 1));
    painter.setBrush(pointsRight ? QColor(0, 160, 0) : QColor(200, 120, 0));
    painter.drawPath(path);
    return pixmap;
}

}  // namespace

TfrActuator::TfrActuator(QWidget* parent) : QFrame(parent) {
    setFixedSize(kWidth, kHeight);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);

    pnName = new QLabel(this);
    pnName->setObjectName("pnName");
    pnName->setFixedHeight(36);
    pnName->setFont(pixelFont(16, true));
    pnName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pnName->setFrameShape(QFrame::Panel);
    pnName->setFrameShadow(QFrame::Raised);
    pnName->setAutoFillBackground(true);
    // The identifier stays in the frame for the controller to read back; the
    // user never needs to see it.
    lbId = new QLabel(pnName);
    lbId->setObjectName("lbId");
    lbId->hide();
    column->addWidget(pnName);

    auto* stateRow = new QHBoxLayout();
    stateRow->setSpacing(0);
    lbState = new QLabel(this);
    lbState->setObjectName("lbState");
    lbState->setFixedSize(75, 32);
    lbState->setFont(pixelFont(13, true));
    lbState->setAlignment(Qt::AlignCenter);
    stateRow->addWidget(lbState);

    // Both arrows share one spot: a stacked pair where at most one shows.
    auto* arrows = new QWidget(this);
    arrows->setFixedHeight(32);
    auto* arrowLayout = new QHBoxLayout(arrows);
    arrowLayout->setContentsMargins(0, 0, 0, 0);
    imFwd = new QLabel(arrows);
    imFwd->setObjectName("imFwd");
    imFwd->setPixmap(arrowPixmap(true));
    imFwd->setAlignment(Qt::AlignCenter);
    imBack = new QLabel(arrows);
    imBack->setObjectName("imBack");
    imBack->setPixmap(arrowPixmap(false));
    imBack->setAlignment(Qt::AlignCenter);
    arrowLayout->addWidget(imFwd);
    arrowLayout->addWidget(imBack);
    imFwd->hide();
    imBack->hide();
    stateRow->addWidget(arrows, 1);

    lbSpeed = new QLabel(this);
    lbSpeed->setObjectName("lbSpeed");
    lbSpeed->setFixedSize(75, 32);
    lbSpeed->setFont(pixelFont(13, true));
    lbSpeed->setAlignment(Qt::AlignCenter);
    stateRow->addWidget(lbSpeed);
    column->addLayout(stateRow);

    auto* editRow = new QHBoxLayout();
    editRow->setSpacing(4);
    edState = new QLineEdit(this);
    edState->setObjectName("edState");
    editRow->addWidget(edState, 1);
    bbSet = new QToolButton(this);
    bbSet->setObjectName("bbSet");
    bbSet->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    bbSet->setAutoRaise(false);
    bbSet->setFixedSize(30, 26);
    editRow->addWidget(bbSet);
    bbClear = new QToolButton(this);
    bbClear->setObjectName("bbClear");
    bbClear->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    bbClear->setFixedSize(30, 26);
    editRow->addWidget(bbClear);
    column->addLayout(editRow);
    column->addStretch(1);

    connect(bbSet, &QToolButton::clicked, this, [this] { emit setClicked(this); });
    connect(bbClear, &QToolButton::clicked, this, [this] { emit clearClicked(this); });
    connect(edState, &QLineEdit::returnPressed, bbSet, &QToolButton::click);
}

void TfrActuator::SetTitle(const QString& name) {
    pnName->setText(name);
}
QString TfrActuator::Title() const {
    return pnName->text();
}
void TfrActuator::SetId(const QString& id) {
    lbId->setText(id);
}
QString TfrActuator::Id() const {
    return lbId->text();
}
void TfrActuator::SetStateText(const QString& text) {
    lbState->setText(text);
}
QString TfrActuator::StateText() const {
    return lbState->text();
}
void TfrActuator::SetSpeedText(const QString& text) {
    lbSpeed->setText(text);
}
QString TfrActuator::SpeedText() const {
    return lbSpeed->text();
}

void TfrActuator::SetDirection(bool forward, bool backward) {
    imFwd->setVisible(forward);
    imBack->setVisible(backward && !forward);
}

bool TfrActuator::ForwardVisible() const {
    return !imFwd->isHidden();
}
bool TfrActuator::BackwardVisible() const {
    return !imBack->isHidden();
}
void TfrActuator::SetRangeHint(const QString& hint) {
    edState->setToolTip(hint);
    edState->setStatusTip(hint);
}
QString TfrActuator::RangeHint() const {
    return edState->toolTip();
}
void TfrActuator::SetValueText(const QString& text) {
    edState->setText(text);
}
QString TfrActuator::ValueText() const {
    return edState->text();
}

}  // namespace vantrel
