#pragma once

#include <QByteArray>
#include <QImage>

namespace kx {

// The picture of a BMP file image (as FOTO holds it). Only the BMP reader ever sees the bytes:
// anything else (PNG, GIF, JPEG, ... that another client may have stored) gives a null image,
// as do empty or damaged bytes.
QImage readBmpImage(const QByteArray& bytes);

// biBitCount of a BMP file image (1, 4, 8, 16, 24 or 32), or 0 when the bytes are not one.
int bmpBitCount(const QByteArray& bytes);

} // namespace kx
