// libFuzzer target: a clipboard picture offered as BMP bytes, converted to the picture and
// colour depth that the photo box places. The platform's own picture travels beside it, as
// it does on a desktop clipboard.
#include "platform/ClipboardPicture.h"

#include <QByteArray>
#include <QMimeData>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QMimeData mime;
    QImage platformPicture(2, 2, QImage::Format_RGB32);
    platformPicture.fill(Qt::white);
    mime.setImageData(platformPicture);
    mime.setData(QStringLiteral("image/bmp"), bytes);
    const kx::ClipboardPicture picture = kx::pictureFromMimeData(mime);
    if (picture.image.isNull())
        __builtin_trap(); // with a picture beside the BMP there is always one to place
    return 0;
}
