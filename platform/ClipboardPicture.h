#pragma once

#include <QImage>

namespace kx {

// A bitmap as the clipboard holds it, with its colour depth in bits (0 when unknown).
struct ClipboardPicture {
    QImage image; // null when the clipboard holds no picture
    int depth = 0;
};

// Whether the clipboard holds a picture in a bitmap form Qt can read.
bool clipboardHasPicture();
// A copy of the clipboard's picture; a null image when there is none. The depth is the bit
// count of the BMP data when the clipboard offers it as BMP, else that of the image format.
ClipboardPicture clipboardPicture();

// The bits per pixel of an image by its format: 1, 8, 15, 16, 24 or 32; 0 for other formats.
int imageDepth(const QImage& image);

} // namespace kx
