#pragma once

#include <QImage>
#include <QString>

namespace kx {

// A decoded JPEG photo: RGB888 for colour (CMYK is converted to RGB), Grayscale8 for
// one-component files, and the bits per pixel of that picture (24 or 8).
struct JpegPicture {
    QImage image;
    int depth = 0;
};

// Decodes the JPEG file at path with libjpeg, reading it in pieces. Throws std::runtime_error
// carrying libjpeg's own message (e.g. "Not a JPEG file: starts with 0x89 0x50") when the
// file is not a JPEG image or is damaged beyond decoding, or the system's message when it
// cannot be opened.
JpegPicture decodeJpegFile(const QString& path);

} // namespace kx
