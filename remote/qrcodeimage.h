#pragma once

// A QR code as an image, made by libqrencode: black modules on white with
// the quiet zone readers need, each module `scale` pixels wide.

#include <QByteArray>
#include <QImage>

inline constexpr int QR_QUIET_MODULES = 4;

// Null when the text cannot be encoded.
QImage QrCodeImage(const QByteArray &text, int scale);
