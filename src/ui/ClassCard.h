#pragma once

#include <QFrame>
#include <string>

class QLabel;

namespace vantrel {

struct tCardText;

// One station's card in the class view; a click opens its run.
class TfrClassCard : public QFrame {
    Q_OBJECT

public:
    explicit TfrClassCard(QWidget* parent = nullptr);
    void Show(const tCardText& text);
    bool Grey() const { return grey_; }
    QString Text() const;  // everything the card says, for tests
    std::string Title() const;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QLabel* title_;
    QLabel* presence_;
    QLabel* state_;
    QLabel* values_;
    QLabel* outputs_;
    QLabel* safety_;
    QLabel* stop_;
    bool grey_ = false;
};

}  // namespace vantrel
