#pragma once

#include <QLabel>
#include <QString>

namespace vantrel {

// The tool bar's scenario label, "name - state" in bold. It takes the room
// the tool bar has left but asks for only a few characters' worth, so the
// tool bar never moves it out of sight behind its overflow arrow; what does
// not fit is cut from the experiment's name first, the state's name last.
// The whole text is its tool tip.
class tScenarioLabel : public QLabel {
    Q_OBJECT

public:
    explicit tScenarioLabel(QWidget* parent = nullptr);

    void SetParts(const QString& name, const QString& state);
    // The text as painted at the label's present width.
    QString ShownText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString state_;
};

}  // namespace vantrel
