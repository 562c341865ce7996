#pragma once

#include <QImage>

class QMimeData;

namespace kx {

// A bitmap as the clipboard holds it, with its colour depth in bits (0 when unknown).
struct ClipboardPicture {
    QImage image; // null when the clipboard holds no picture
    int depth = 0;
};

// Whether the clipboard holds a picture in a bitmap form Qt can read.
bool clipboardHasPicture();
// A copy of the clipboard's picture; a null image when there is none.
ClipboardPicture clipboardPicture();
// The picture of clipboard data: the BMP the data offers (its depth the BMP's colour depth), or
// else the platform's picture (its depth that of the image format).
ClipboardPicture pictureFromMimeData(const QMimeData& data);

// The bits per pixel of an image by its format: 1, 8, 15, 16, 24 or 32; 0 for other formats.
int imageDepth(const QImage& image);

} // namespace kx
