#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <stdexcept>

namespace kx {

// A decoded JPEG photo: RGB888 for colour (CMYK is converted to RGB), Grayscale8 for
// one-component files, the bits per pixel of that picture (24 or 8), and the picture's own
// size as the file declares it (the image may have been decoded smaller, see JpegTarget).
struct JpegPicture {
    QImage image;
    int depth = 0;
    QSize size;
};

// Given the picture's own size, the size it is needed at. The picture is then decoded at the
// smallest libjpeg scale (1/8 to 8/8) that still covers that size in both directions. When
// that scale still gives more than four times the size needed in either direction, the rows
// are reduced to exactly the size needed as they are decoded (each pixel the average of the
// area it covers), so that a huge picture shown small is never held whole, nor even at 1/8;
// otherwise the image is the picture at that scale. Without a target it is decoded whole.
using JpegTarget = QSize (*)(QSize own);

// The most pixels a picture decoded whole may hold (one decoded for a target holds at most
// a few times the target). A file of several scans (a progressive one) is bounded instead by
// the coefficients of its own size, which the decoder keeps whole: 46 MB of them.
constexpr qint64 kMaxJpegPixels = 100'000'000;

// A picture refused because decoding it would exceed kMaxJpegPixels, the decoder's memory
// bound or the work any picture may cost (its declared size in arithmetic-coded or many
// scans). what() is the warning shown to the user.
class PictureTooLargeError : public std::runtime_error {
public:
    explicit PictureTooLargeError(QSize own);
    QString userMessage() const;
};

// Decodes the JPEG file at path with libjpeg, reading it in pieces. Throws std::runtime_error
// carrying libjpeg's own message (e.g. "Not a JPEG file: starts with 0x89 0x50") when the
// file is not a JPEG image or is damaged beyond decoding (or is made of more than a thousand
// scans), or the system's message when it cannot be opened; PictureTooLargeError when it is
// too large to decode.
JpegPicture decodeJpegFile(const QString& path, JpegTarget target = nullptr);
// The same for a JPEG file image in memory.
JpegPicture decodeJpegData(const QByteArray& bytes, JpegTarget target = nullptr);

} // namespace kx
