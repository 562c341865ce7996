// Writes the seed corpus of the fuzz targets: small pictures of each kind the decoders meet,
// made here so that every seed is known and free to ship.
//
//   fuzz_make_corpus <folder>   writes <folder>/jpeg, <folder>/bmp and <folder>/clipboard
#include "support/HandMadePictures.h"
#include "support/PictureBytes.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <cstdio>

namespace {

QImage sample(QSize size, QImage::Format format) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter painter(&image);
    painter.fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    painter.fillRect(size.width() / 4, size.height() / 4, size.width() / 2, size.height() / 2,
                     Qt::yellow);
    painter.end();
    return image.convertToFormat(format);
}

bool save(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray qtJpeg(const QImage& image, bool progressive, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

// A 24 x 17 JPEG written by libjpeg itself, for what Qt's writer does not offer: CMYK with the
// Adobe marker, arithmetic coding, restart markers.
QByteArray libjpegJpeg(int components, bool arithmetic, int restart, bool progressive = false) {
    const kx::test::LibjpegCoding coding{24, 17, components, arithmetic, progressive, restart};
    return kx::test::libjpegBytes(coding, [components](int y, unsigned char* row) {
        kx::test::rampRow(y, row, 24 * components);
    });
}

// The same file with another size in its frame header.
QByteArray declaringSize(const QByteArray& jpeg, int width, int height) {
    return kx::test::withDeclaredSize(jpeg, QSize(width, height));
}

QByteArray qtBmp(const QImage& image) {
    return kx::test::bmpOf(image);
}

// A BMP file image with a 40-byte info header, written by hand for the kinds Qt's writer
// does not make: run-length coded, 4-bit, 16-bit bit fields, top-down.
QByteArray handBmp(int width, int height, int bits, int compression, const QByteArray& palette,
                   const QByteArray& masks, const QByteArray& pixels) {
    return kx::test::handBmp(
        {40, width, height, bits, compression, masks, palette, pixels, int(palette.size() / 4)});
}

// A BMP file image with the oldest, 12-byte header: 2-byte sizes and no compression.
QByteArray oldHeaderBmp(int width, int height, int bits, const QByteArray& palette,
                        const QByteArray& pixels) {
    return kx::test::handBmp({12, width, height, bits, 0, {}, palette, pixels, 0});
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_corpus <folder>\n");
        return 2;
    }
    const QDir root(QFile::decodeName(argv[1]));
    for (const char* sub : {"jpeg", "bmp", "clipboard"})
        root.mkpath(QString::fromLatin1(sub));
    const QString jpeg = root.filePath(QStringLiteral("jpeg/"));
    const QString bmp = root.filePath(QStringLiteral("bmp/"));
    const QString clip = root.filePath(QStringLiteral("clipboard/"));

    bool ok = true;
    const QImage colour = sample({24, 17}, QImage::Format_RGB32);
    ok &= save(jpeg + QStringLiteral("baseline.jpg"), qtJpeg(colour, false, 75));
    ok &= save(jpeg + QStringLiteral("progressive.jpg"), qtJpeg(colour, true, 90));
    ok &= save(jpeg + QStringLiteral("grey.jpg"),
               qtJpeg(sample({19, 9}, QImage::Format_Grayscale8), false, 60));
    ok &= save(jpeg + QStringLiteral("cmyk-adobe.jpg"), libjpegJpeg(4, false, 0));
    ok &= save(jpeg + QStringLiteral("arithmetic.jpg"), libjpegJpeg(3, true, 0));
    ok &= save(jpeg + QStringLiteral("restart-markers.jpg"), libjpegJpeg(3, false, 1));
    // Costly to decode, not to store: a few hundred bytes of arithmetic-coded data declaring
    // 65,500 x 65,500 pixels, and progressive arithmetic-coded scans declaring 4000 x 4000.
    ok &= save(jpeg + QStringLiteral("arithmetic-declaring-65500.jpg"),
               declaringSize(libjpegJpeg(3, true, 0), 65500, 65500));
    ok &= save(jpeg + QStringLiteral("arithmetic-progressive-declaring-4000.jpg"),
               declaringSize(libjpegJpeg(3, true, 0, true), 4000, 4000));

    const QList<std::pair<QString, QByteArray>> bmps{
        {QStringLiteral("mono.bmp"), qtBmp(sample({13, 7}, QImage::Format_Mono))},
        {QStringLiteral("indexed8.bmp"), qtBmp(sample({13, 7}, QImage::Format_Indexed8))},
        {QStringLiteral("rgb24.bmp"), qtBmp(sample({13, 7}, QImage::Format_RGB888))},
        {QStringLiteral("argb32.bmp"), qtBmp(sample({13, 7}, QImage::Format_ARGB32))},
        // 4-bit, two rows of four pixels, bottom-up.
        {QStringLiteral("4bit.bmp"), handBmp(4, 2, 4, 0, kx::test::greyPalette(16), {},
                                             QByteArray::fromHex("0123000089AB0000"))},
        // RLE8: runs, end of line, an absolute run, end of bitmap.
        {QStringLiteral("rle8.bmp"),
         handBmp(6, 2, 8, 1, kx::test::greyPalette(4), {},
                 QByteArray::fromHex("04010202000000030102030003000001"))},
        // 8-bit with a full palette, and 32-bit, uncompressed.
        {QStringLiteral("8bit.bmp"), handBmp(4, 2, 8, 0, kx::test::greyPalette(256), {},
                                             QByteArray::fromHex("00408020FFC08060"))},
        {QStringLiteral("32bit.bmp"),
         handBmp(2, 2, 32, 0, {}, {}, QByteArray::fromHex("0000FF0000FF0000FF000000FFFFFF00"))},
        // RLE4: runs of alternating nibbles, a delta, end of bitmap.
        {QStringLiteral("rle4.bmp"), handBmp(6, 2, 4, 2, kx::test::greyPalette(16), {},
                                             QByteArray::fromHex("06120000040700020100000001"))},
        // 16-bit uncompressed (5-5-5).
        {QStringLiteral("rgb555.bmp"),
         handBmp(2, 2, 16, 0, {}, {}, QByteArray::fromHex("007CE0031F00FF7F"))},
        // The oldest header kind (12 bytes, 3-byte palette entries), 8-bit.
        {QStringLiteral("os2-8bit.bmp"), oldHeaderBmp(4, 2, 8, kx::test::greyPalette(256, 3),
                                                      QByteArray::fromHex("00408020FFC08060"))},
        // 16-bit with 5-6-5 masks, top-down.
        {QStringLiteral("rgb565-topdown.bmp"),
         handBmp(2, -2, 16, 3, {}, QByteArray::fromHex("00F80000E00700001F000000"),
                 QByteArray::fromHex("00F8E0071F00FFFF"))},
    };
    for (const auto& [name, bytes] : bmps) {
        ok &= save(bmp + name, bytes);
        ok &= save(clip + name, bytes);
    }
    if (!ok)
        std::fprintf(stderr, "fuzz_make_corpus: a seed could not be written\n");
    return ok ? 0 : 1;
}
