#pragma once

#include <QByteArray>
#include <QImage>

namespace kx {

// The picture of a BMP file image (as FOTO holds it). Only the BMP reader ever sees the bytes:
// anything else (PNG, GIF, JPEG, ... that another client may have stored) gives a null image,
// as do empty or damaged bytes.
QImage readBmpImage(const QByteArray& bytes);

// The bit count of a BMP file image's header, whichever header kind it has (1, 4, 8, 16, 24
// or 32), or 0 when the bytes are not one.
int bmpBitCount(const QByteArray& bytes);

// The colour depth of a BMP file image, as its bit count and compression give it: 1, 4 or 8
// for a palette; 15 for 16 bits uncompressed (5-5-5), 16 for 16 bits with 5-6-5 bit fields;
// 24, and 32 uncompressed. 0 for any other kind (other bit fields, JPEG or PNG inside, ...)
// and for bytes that are no BMP image.
int bmpColourDepth(const QByteArray& bytes);

} // namespace kx
