#include "StoredBmp.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

namespace kx {

namespace {

constexpr qsizetype kFileHeaderSize = 14;
constexpr qsizetype kSmallestInfoHeader = 12; // the oldest header kind, of OS/2 and Windows 2
// In the oldest header the bit count follows a 4-byte size, 2-byte width and height and the
// planes; every later header has 4-byte width and height, then the compression after the
// bit count, and the colour masks of a bit-field bitmap right after its first 40 bytes.
constexpr qsizetype kOldBitCountOffset = kFileHeaderSize + 10;
constexpr qsizetype kBitCountOffset = kFileHeaderSize + 14;
constexpr qsizetype kCompressionOffset = kFileHeaderSize + 16;
constexpr qsizetype kMasksOffset = kFileHeaderSize + 40;

constexpr quint32 kUncompressed = 0; // BI_RGB
constexpr quint32 kBitFields = 3;    // BI_BITFIELDS

bool hasBmpSignature(const QByteArray& bytes) {
    return bytes.size() >= kFileHeaderSize + kSmallestInfoHeader && bytes.startsWith("BM");
}

quint32 infoHeaderSize(const QByteArray& bytes) {
    return qFromLittleEndian<quint32>(bytes.constData() + kFileHeaderSize);
}

quint32 readU32(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
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
    if (!hasBmpSignature(bytes))
        return 0;
    const quint32 header = infoHeaderSize(bytes);
    if (header == kSmallestInfoHeader)
        return qFromLittleEndian<quint16>(bytes.constData() + kOldBitCountOffset);
    if (header < 16 || bytes.size() < kBitCountOffset + 2)
        return 0;
    return qFromLittleEndian<quint16>(bytes.constData() + kBitCountOffset);
}

int bmpColourDepth(const QByteArray& bytes) {
    const int bits = bmpBitCount(bytes);
    if (bits == 0)
        return 0;
    // The oldest header and the shortest later one (16 bytes) name no compression.
    const quint32 header = infoHeaderSize(bytes);
    quint32 compression = kUncompressed;
    if (header >= kCompressionOffset + 4 - kFileHeaderSize) {
        if (bytes.size() < kCompressionOffset + 4)
            return 0;
        compression = readU32(bytes, kCompressionOffset);
    }
    switch (bits) {
    case 1:
    case 4:
    case 8:
        return bits; // run-length coding or not, the colours are those of the palette
    case 16:
        if (compression == kUncompressed)
            return 15; // five bits each of red, green and blue
        if (compression == kBitFields && bytes.size() >= kMasksOffset + 12 &&
            readU32(bytes, kMasksOffset) == 0xF800 && readU32(bytes, kMasksOffset + 4) == 0x07E0 &&
            readU32(bytes, kMasksOffset + 8) == 0x001F)
            return 16; // five bits of red, six of green, five of blue
        return 0;
    case 24:
    case 32:
        return compression == kUncompressed ? bits : 0;
    default:
        return 0;
    }
}

} // namespace kx
