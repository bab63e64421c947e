#pragma once

#include <QImage>
#include <QString>

namespace vantrel {

// `text` (UTF-8 in the code, byte for byte) as a QR code: dark modules black
// on white, `scale` pixels a module, with the quiet zone of four modules a
// reader needs around it. A null image when there is nothing to encode, the
// text does not fit a QR code, or the picture would be too large to hold.
QImage qrImage(const QString& text, int scale);

}  // namespace vantrel
