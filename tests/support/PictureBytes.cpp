#include "PictureBytes.h"

#include <QBuffer>

namespace kx::test {

QByteArray bmpOf(const QImage& img) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!img.save(&buffer, "BMP"))
        qFatal("cannot write a test BMP");
    return bytes;
}

QByteArray bmpOf(QSize size, QColor colour) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return bmpOf(img);
}

QString hexLiteral(const QByteArray& bytes) {
    return QStringLiteral("X'%1'").arg(QString::fromLatin1(bytes.toHex()));
}

} // namespace kx::test
