#include "ClipboardPicture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtEndian>

namespace kx {

namespace {

// biBitCount of a BMP file image (after the 14-byte file header and the 14 bytes before the
// bit count in the info header), or 0 when the bytes are not a BMP file.
int bmpBitCount(const QByteArray& bmp) {
    if (bmp.size() < 30 || !bmp.startsWith("BM"))
        return 0;
    return qFromLittleEndian<quint16>(bmp.constData() + 28);
}

} // namespace

bool clipboardHasPicture() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage();
}

ClipboardPicture clipboardPicture() {
    ClipboardPicture picture;
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard->mimeData();
    if (!data || !data->hasImage())
        return picture;
    picture.image = clipboard->image();
    if (picture.image.isNull())
        return picture;
    int depth = 0;
    if (data->hasFormat(QStringLiteral("image/bmp")))
        depth = bmpBitCount(data->data(QStringLiteral("image/bmp")));
    picture.depth = depth ? depth : imageDepth(picture.image);
    return picture;
}

int imageDepth(const QImage& image) {
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return 1;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
        return 8;
    case QImage::Format_RGB555:
        return 15;
    case QImage::Format_RGB16:
        return 16;
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        return 24;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        return 32;
    default:
        return 0;
    }
}

} // namespace kx
