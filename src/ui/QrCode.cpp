#include "ui/QrCode.h"

#include <qrencode.h>

#include <QByteArray>
#include <cstring>
#include <memory>

namespace vantrel {

namespace {

constexpr int kQuietModules = 4;
// Far beyond any screen or printed page.
constexpr int kMaxSide = 16384;

struct tCodeFree {
    void operator()(QRcode* code) const { QRcode_free(code); }
};

}  // namespace

QImage qrImage(const QString& text, int scale) {
    if (text.isEmpty() || scale < 1 || scale > kMaxSide) {
        return {};
    }
    const QByteArray utf8 = text.toUtf8();
    // The bytes with their length, never as a C string: a NUL inside would
    // otherwise cut the text short and draw a code for another one. Level M
    // still reads with a seventh of the code lost to glare or a smudge.
    const std::unique_ptr<QRcode, tCodeFree> code(QRcode_encodeData(
        static_cast<int>(utf8.size()), reinterpret_cast<const unsigned char*>(utf8.constData()), 0,
        QR_ECLEVEL_M));
    if (!code || code->width < 1) {
        return {};
    }
    const int modules = code->width + 2 * kQuietModules;
    if (modules > kMaxSide / scale) {
        return {};
    }
    const int side = modules * scale;
    QImage image(side, side, QImage::Format_Grayscale8);
    if (image.isNull()) {
        return {};
    }
    image.fill(Qt::white);
    for (int row = 0; row < code->width; ++row) {
        const int top = (row + kQuietModules) * scale;
        uchar* first = image.scanLine(top);
        for (int column = 0; column < code->width; ++column) {
            // Bit 0 of a module is its colour; the others say what it is part of.
            if ((code->data[row * code->width + column] & 1) != 0) {
                std::memset(first + (column + kQuietModules) * scale, 0,
                            static_cast<std::size_t>(scale));
            }
        }
        for (int line = 1; line < scale; ++line) {
            std::memcpy(image.scanLine(top + line), first, static_cast<std::size_t>(side));
        }
    }
    return image;
}

}  // namespace vantrel
