// libFuzzer target: the JPEG decoder of the photo box, given the bytes of a file. A picture
// larger than the box is decoded at a reduced scale, as the box asks for it; damaged or
// hostile files must end in the decoder's error or the size refusal, never in a crash, a
// read outside the input, an allocation the declared size alone dictates, or work that the
// declared size alone dictates (the libFuzzer timeout).
#include "platform/JpegDecoder.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace {

// The box keeps pictures of up to 292 pixels each way and reduces larger ones.
QSize boxTarget(QSize own) {
    return own.boundedTo(QSize(292, 292));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const kx::JpegPicture picture = kx::decodeJpegData(bytes, &boxTarget);
        if (picture.image.isNull() || (picture.depth != 8 && picture.depth != 24))
            __builtin_trap(); // a decoded picture is always a picture of a known depth
    } catch (const std::runtime_error&) {
        // the decoder's error or the size refusal: both are answers
    }
    return 0;
}
