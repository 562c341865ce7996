#include "StoredBmp.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

namespace kx {

namespace {

constexpr qsizetype kFileHeaderSize = 14;
constexpr qsizetype kBitCountOffset = kFileHeaderSize + 14; // in the info header
constexpr qsizetype kSmallestInfoHeader = 12;               // the oldest header kind

bool hasBmpSignature(const QByteArray& bytes) {
    return bytes.size() >= kFileHeaderSize + kSmallestInfoHeader && bytes.startsWith("BM");
}

} // namespace

QImage readBmpImage(const QByteArray& bytes) {
    if (!hasBmpSignature(bytes))
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // Named format and no detection: a reader for another format is never tried.
    QImageReader reader(&buffer, "bmp");
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    QImage image;
    if (!reader.read(&image))
        return QImage();
    return image;
}

int bmpBitCount(const QByteArray& bytes) {
    if (bytes.size() < kBitCountOffset + 2 || !bytes.startsWith("BM"))
        return 0;
    return qFromLittleEndian<quint16>(bytes.constData() + kBitCountOffset);
}

} // namespace kx
