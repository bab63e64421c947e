#pragma once

#include <QDialog>
#include <QIcon>

class QLabel;
class QPushButton;

namespace vantrel {

// The about box: product name, version and copyright as the build gives them.
class TfmAbout : public QDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 235;
    static constexpr int kHeight = 279;

    explicit TfmAbout(QWidget* parent = nullptr);

    // What the labels show; the build fills them in.
    static QString ProductName();
    static QString VersionText();
    static QString CopyrightText();
    // The program's icon: the flask of the logo.
    static QIcon ApplicationIcon();

private:
    QLabel* imLogo;
    QLabel* lbFileName;
    QLabel* lbVersion;
    QLabel* lbCopyright;
    QPushButton* btnOK;
};

}  // namespace vantrel
