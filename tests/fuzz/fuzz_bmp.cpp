// libFuzzer target: the reader of stored photos (FOTO), which other clients of the shared
// record store may have filled with anything.
#include "platform/StoredBmp.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QImage image = kx::readBmpImage(bytes);
    if (!image.isNull() && !bytes.startsWith("BM"))
        __builtin_trap(); // only a BMP file image may give a picture
    kx::bmpBitCount(bytes);
    kx::bmpColourDepth(bytes);
    return 0;
}
