#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QLineEdit;
class QToolButton;

namespace vantrel {

// One actuator's frame in the panel at the left edge of the main window:
// title, on/off text, direction arrow, set value, and the value box with its
// set and clear buttons. It only shows what it is told and reports clicks;
// the controller decides what the buttons send.
class TfrActuator : public QFrame {
    Q_OBJECT

public:
    static constexpr int kWidth = 225;
    static constexpr int kHeight = 108;

    explicit TfrActuator(QWidget* parent = nullptr);

    void SetTitle(const QString& name);
    QString Title() const;
    void SetId(const QString& id);
    QString Id() const;
    void SetStateText(const QString& text);
    QString StateText() const;
    void SetSpeedText(const QString& text);
    QString SpeedText() const;
    // At most one arrow shows; both false hides both.
    void SetDirection(bool forward, bool backward);
    bool ForwardVisible() const;
    bool BackwardVisible() const;
    void SetRangeHint(const QString& hint);
    QString RangeHint() const;
    void SetValueText(const QString& text);
    QString ValueText() const;

signals:
    void setClicked(vantrel::TfrActuator* frame);
    void clearClicked(vantrel::TfrActuator* frame);

private:
    // Named after their roles (objectName), which language files use too.
    QLabel* pnName;
    QLabel* lbId;
    QLabel* lbState;
    QLabel* imFwd;
    QLabel* imBack;
    QLabel* lbSpeed;
    QLineEdit* edState;
    QToolButton* bbSet;
    QToolButton* bbClear;
};

}  // namespace vantrel
