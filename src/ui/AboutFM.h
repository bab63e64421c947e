#pragma once

#include <QDialog>
#include <QIcon>

class QLabel;
class QPushButton;

namespace vantrel {

class tLanguageFile;

// The about box: product name, version and copyright as the build gives them.
class TfmAbout : public QDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 235;
    static constexpr int kHeight = 279;

    // With `language` its texts are applied first; the labels then show the
    // version record.
    explicit TfmAbout(const tLanguageFile* language = nullptr, QWidget* parent = nullptr);

    // "Версия: " and the record's file version, or "<?>.<?>.<?>.<?>".
    static QString VersionText();
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
