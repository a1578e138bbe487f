#include "qrcodeimage.h"

#include <QPainter>

#include <qrencode.h>

#include <memory>

QImage QrCodeImage(const QByteArray &text, int scale)
{
    // Medium error correction: a tablet's camera reads it off a screen with glare.
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(text.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code || scale < 1)
        return QImage();
    const int modules = code->width;
    const int side = (modules + 2 * QR_QUIET_MODULES) * scale;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < modules; ++y)
        for (int x = 0; x < modules; ++x)
            if (code->data[y * modules + x] & 1) // bit 0: a dark module
                painter.fillRect((x + QR_QUIET_MODULES) * scale, (y + QR_QUIET_MODULES) * scale, scale, scale,
                                 Qt::black);
    return image;
}
