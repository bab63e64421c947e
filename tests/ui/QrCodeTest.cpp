// The class's QR code as the window draws it: what a phone's camera needs to
// find and read it.

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdlib>

#include "ui/QrCode.h"

namespace vantrel {
namespace {

constexpr int kQuiet = 4;

// A module's colour, read at its top-left pixel.
bool Dark(const QImage& image, int scale, int column, int row) {
    return qGray(image.pixel(column * scale, row * scale)) < 128;
}

// The finder pattern whose top-left module is (left, top): a dark ring, a
// light ring, a dark 3x3 core, and a light separator where it meets the code.
void ExpectFinder(const QImage& image, int scale, int left, int top, const char* where) {
    for (int y = -1; y <= 7; ++y) {
        for (int x = -1; x <= 7; ++x) {
            const int ring = std::max(std::abs(2 * x - 6), std::abs(2 * y - 6)) / 2;
            const bool dark = ring == 3 || ring <= 1;
            ASSERT_EQ(Dark(image, scale, left + x, top + y), dark)
                << where << " finder, module (" << x << ", " << y << ")";
        }
    }
}

TEST(QrCodeTest, AUrlHasQuietZoneAndFinders) {
    const QString url = QStringLiteral("http://192.168.1.20:8080/?class=8Б&station=Колба-3");
    for (const int scale : {1, 3, 8}) {
        SCOPED_TRACE(scale);
        const QImage image = qrImage(url, scale);
        ASSERT_FALSE(image.isNull());
        ASSERT_EQ(image.width(), image.height());
        ASSERT_EQ(image.width() % scale, 0);
        const int modules = image.width() / scale;
        const int size = modules - 2 * kQuiet;
        // Versions 1 to 40: 21 to 177 modules a side, in steps of 4.
        ASSERT_TRUE(size >= 21 && size <= 177 && (size - 21) % 4 == 0) << size;

        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int column = x / scale;
                const int row = y / scale;
                const bool inCode = column >= kQuiet && column < kQuiet + size && row >= kQuiet &&
                                    row < kQuiet + size;
                // Every pixel of a module has its colour: the picture scales exactly.
                const bool dark = qGray(image.pixel(x, y)) < 128;
                ASSERT_EQ(dark, Dark(image, scale, column, row)) << x << ", " << y;
                if (!inCode) {
                    ASSERT_FALSE(dark) << "quiet zone, module (" << column << ", " << row << ")";
                }
            }
        }
        ExpectFinder(image, scale, kQuiet, kQuiet, "top-left");
        ExpectFinder(image, scale, kQuiet + size - 7, kQuiet, "top-right");
        ExpectFinder(image, scale, kQuiet, kQuiet + size - 7, "bottom-left");
    }
}

TEST(QrCodeTest, ANulInsideDoesNotCutTheTextShort) {
    QString text = QStringLiteral("a");
    text += QChar(0);
    text += QString(200, QLatin1Char('x'));
    const QImage whole = qrImage(text, 1);
    const QImage cut = qrImage(QStringLiteral("a"), 1);
    ASSERT_FALSE(whole.isNull());
    ASSERT_FALSE(cut.isNull());
    EXPECT_GT(whole.width(), cut.width());
}

TEST(QrCodeTest, NothingToDrawGivesANullImage) {
    const struct {
        const char* why;
        QString text;
        int scale;
    } cases[] = {
        {"no text", QString(), 4},
        {"no pixels", QStringLiteral("http://a"), 0},
        {"negative scale", QStringLiteral("http://a"), -3},
        {"more than a QR code holds", QString(3000, QLatin1Char('x')), 1},
        {"too large a picture", QStringLiteral("http://a"), 1000},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(qrImage(c.text, c.scale).isNull()) << c.why;
    }
}

}  // namespace
}  // namespace vantrel
