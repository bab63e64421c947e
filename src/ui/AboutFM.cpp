#include "ui/AboutFM.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QTransform>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Texts.h"
#include "base/VersionInfo.h"
#include "ui/Localiser.h"
#include "ui/QtText.h"

namespace vantrel {

namespace {

constexpr int kLogoWidth = 191;
constexpr int kLogoHeight = 96;

// The logo (a flask beside the product name) and the program's icon are
// drawn here, so the program needs no picture files of its own.
QPainterPath flaskPath(double scale) {
    QPainterPath flask;
    flask.moveTo(38, 10);
    flask.lineTo(52, 10);
    flask.lineTo(52, 36);
    flask.lineTo(78, 84);
    flask.lineTo(12, 84);
    flask.lineTo(38, 36);
    flask.closeSubpath();
    return QTransform::fromScale(scale, scale).map(flask);
}

QPainterPath liquidPath(double scale) {
    QPainterPath liquid;
    liquid.moveTo(25, 60);
    liquid.lineTo(65, 60);
    liquid.lineTo(78, 84);
    liquid.lineTo(12, 84);
    liquid.closeSubpath();
    return QTransform::fromScale(scale, scale).map(liquid);
}

void paintFlask(QPainter& painter, double scale, double penWidth) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 128, 128, 170));
    painter.drawPath(liquidPath(scale));
    painter.setPen(QPen(QColor(0, 70, 70), penWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(flaskPath(scale));
}

QPixmap logoPixmap() {
    QPixmap pixmap(kLogoWidth, kLogoHeight);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kLogoHeight);
    sky.setColorAt(0, QColor(230, 244, 244));
    sky.setColorAt(1, QColor(190, 222, 222));
    painter.fillRect(pixmap.rect(), sky);

    paintFlask(painter, 1.0, 2.5);

    QFont font = QApplication::font();
    font.setPixelSize(26);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0, 90, 90));
    painter.drawText(QRect(84, 0, kLogoWidth - 86, kLogoHeight), Qt::AlignCenter,
                     QStringLiteral("Vantrel"));
    return pixmap;
}

QLabel* centredLabel(QWidget* parent, const char* name, int pixels, bool bold) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

}  // namespace

QString TfmAbout::VersionText() {
    QString version = qs(versionString("FileVersion"));
    if (version.isEmpty()) {
        version = QStringLiteral("<?>.<?>.<?>.<?>");
    }
    return qs(messageText(5002)) + version;
}

QIcon TfmAbout::ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // The flask spans 12..78 by 10..84 in logo units.
        const double scale = size / 90.0;
        painter.translate(size / 2.0 - 45 * scale, size / 2.0 - 47 * scale);
        paintFlask(painter, scale, std::max(1.0, size / 24.0));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

TfmAbout::TfmAbout(const tLanguageFile* language, QWidget* parent) : QDialog(parent) {
    setObjectName("fmAbout");
    setWindowTitle(QStringLiteral("О программе..."));
    setFixedSize(kWidth, kHeight);
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) &
                   ~Qt::WindowContextHelpButtonHint);
    if (parent != nullptr) {
        setWindowIcon(parent->windowIcon());
    }

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setLineWidth(2);
    auto* inner = new QVBoxLayout(panel);
    inner->setContentsMargins(6, 6, 6, 6);
    inner->setSpacing(4);

    imLogo = new QLabel(panel);
    imLogo->setObjectName("imLogo");
    imLogo->setPixmap(logoPixmap());
    imLogo->setAlignment(Qt::AlignCenter);
    inner->addWidget(imLogo);
    lbFileName = centredLabel(panel, "lbFileName", 13, true);

    inner->addWidget(lbFileName);
    lbVersion = centredLabel(panel, "lbVersion", 11, false);

    inner->addWidget(lbVersion);
    lbCopyright = centredLabel(panel, "lbCopyright", 11, false);

    inner->addWidget(lbCopyright);
    inner->addStretch(1);
    outer->addWidget(panel, 1);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    outer->addWidget(btnOK, 0, Qt::AlignHCenter);

    if (language != nullptr) {
        localise(*this, language->Translations("TfmAbout"));
    }
    // The version record, whatever a language file says of these labels.
    lbFileName->setText(qs(versionString("FileDescription")));
    lbVersion->setText(VersionText());
    lbCopyright->setText(qs(versionString("LegalCopyright")));
}

}  // namespace vantrel
