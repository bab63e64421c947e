#include "ui/ActionIcons.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <array>
#include <utility>

namespace vantrel {

namespace {

constexpr int kIconSize = 24;

struct tIconChoice {
    std::string_view action;
    QStyle::StandardPixmap pixmap;
};

constexpr std::array<tIconChoice, 16> kChoices{{
    {"acDeviceConnect", QStyle::SP_DriveNetIcon},
    {"acFileOpen", QStyle::SP_DialogOpenButton},
    {"acFileClose", QStyle::SP_DialogCloseButton},
    {"acDeviceFreq", QStyle::SP_BrowserReload},
    {"acDeviceStart", QStyle::SP_MediaPlay},
    {"acDevicePause", QStyle::SP_MediaPause},
    {"acDeviceStop", QStyle::SP_MediaStop},
    {"acFileSetZeroMarker", QStyle::SP_MediaSkipBackward},
    {"acFileMarkPoint", QStyle::SP_DialogApplyButton},
    {"acFileShowAll", QStyle::SP_TitleBarMaxButton},
    {"acFileExport", QStyle::SP_DialogSaveButton},
    {"acFileReport", QStyle::SP_FileIcon},
    {"acViewChooseCoord", QStyle::SP_FileDialogDetailedView},
    {"acDeviceSettings", QStyle::SP_ComputerIcon},
    {"acHelpAbout", QStyle::SP_MessageBoxInformation},
    {"acFileExit", QStyle::SP_TitleBarCloseButton},
}};

// Lighter and with a soft halo, so the picture under the mouse stands out
// also in menus, where Qt draws no button frame around it.
QPixmap highlighted(const QPixmap& normal) {
    QImage image = normal.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const auto lift = [](int c) { return c + (255 - c) / 3; };
            line[x] = qRgba(lift(qRed(p)), lift(qGreen(p)), lift(qBlue(p)), qAlpha(p));
        }
    }
    return QPixmap::fromImage(image);
}

// Grey and faded: a disabled action must not look pressable.
QPixmap disabled(const QPixmap& normal) {
    QImage image = normal.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int grey = 128 + qGray(p) / 3;
            line[x] = qRgba(grey, grey, grey, qAlpha(p) * 2 / 5);
        }
    }
    return QPixmap::fromImage(image);
}

}  // namespace

QIcon tActionIcons::ThreeStates(const QPixmap& normal) {
    QIcon icon;
    icon.addPixmap(normal, QIcon::Normal);
    icon.addPixmap(highlighted(normal), QIcon::Active);
    icon.addPixmap(highlighted(normal), QIcon::Selected);
    icon.addPixmap(disabled(normal), QIcon::Disabled);
    return icon;
}

QIcon tActionIcons::ForAction(std::string_view actionName, QStyle* style) {
    for (const auto& choice : kChoices) {
        if (choice.action == actionName) {
            const QPixmap normal = style->standardIcon(choice.pixmap).pixmap(kIconSize, kIconSize);
            if (normal.isNull()) {
                return {};
            }
            return ThreeStates(normal);
        }
    }
    return {};
}

}  // namespace vantrel
