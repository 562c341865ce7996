#include "ClipboardPicture.h"

#include "StoredBmp.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace kx {

bool clipboardHasPicture() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage();
}

ClipboardPicture clipboardPicture() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data ? pictureFromMimeData(*data) : ClipboardPicture();
}

ClipboardPicture pictureFromMimeData(const QMimeData& data) {
    ClipboardPicture picture;
    if (!data.hasImage())
        return picture;
    // The bitmap offered as BMP is read by the BMP reader itself, so that the picture and the
    // depth named for it come from the same bytes; otherwise the platform's own picture.
    if (data.hasFormat(QStringLiteral("image/bmp"))) {
        const QByteArray bmp = data.data(QStringLiteral("image/bmp"));
        picture.image = readBmpImage(bmp);
        if (!picture.image.isNull()) {
            picture.depth = bmpColourDepth(bmp);
            return picture;
        }
    }
    picture.image = qvariant_cast<QImage>(data.imageData());
    picture.depth = picture.image.isNull() ? 0 : imageDepth(picture.image);
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
