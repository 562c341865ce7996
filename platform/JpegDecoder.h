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
// smallest libjpeg scale (1/8 to 8/8) that still covers that size in both directions, so a
// huge picture that is shown small is never held whole. Without one it is decoded whole.
using JpegTarget = QSize (*)(QSize own);

// The most pixels a decoding may hold: the decoded picture, and for a file of several scans
// (progressive ones) the picture's own size, whose coefficients the decoder keeps whole.
constexpr qint64 kMaxJpegPixels = 100'000'000;

// A picture refused because decoding it would exceed kMaxJpegPixels or the decoder's memory
// bound. what() is the warning shown to the user.
class PictureTooLargeError : public std::runtime_error {
public:
    explicit PictureTooLargeError(QSize own);
    QString userMessage() const;
};

// Decodes the JPEG file at path with libjpeg, reading it in pieces. Throws std::runtime_error
// carrying libjpeg's own message (e.g. "Not a JPEG file: starts with 0x89 0x50") when the
// file is not a JPEG image or is damaged beyond decoding, or the system's message when it
// cannot be opened; PictureTooLargeError when it is too large to decode.
JpegPicture decodeJpegFile(const QString& path, JpegTarget target = nullptr);
// The same for a JPEG file image in memory.
JpegPicture decodeJpegData(const QByteArray& bytes, JpegTarget target = nullptr);

} // namespace kx
