#include "JpegDecoder.h"

#include <QFile>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include <jpeglib.h>
// after jpeglib.h, whose types it uses
#include <jerror.h>

namespace kx {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return. It jumps back
// into decode() with the decoder's own message text kept for the exception.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Where the decoder reads from: an open file or bytes in memory.
struct JpegSource {
    FILE* file;
    const unsigned char* bytes;
    unsigned long size;
    void attach(jpeg_decompress_struct* cinfo) const {
        if (file)
            jpeg_stdio_src(cinfo, file);
        else
            jpeg_mem_src(cinfo, bytes, size);
    }
};

// Warnings (e.g. a truncated file whose rest is filled in grey) are not errors; the picture
// is used as decoded and nothing goes to the console.
void outputMessage(j_common_ptr) {}

// Adobe CMYK/YCCK files hold inverted ink values; libjpeg hands them back as stored.
void cmykToRgb(const JSAMPLE* in, uchar* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        int c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = uchar(c * k / 255);
        out[1] = uchar(m * k / 255);
        out[2] = uchar(y * k / 255);
    }
}

// The memory libjpeg may take for its own buffers: the coefficients of a progressive
// picture of kMaxJpegPixels in three full-resolution components, with room to spare. A file
// that needs more is refused by the decoder instead of being allocated.
constexpr long kDecoderMemory = 768L * 1024 * 1024;

enum class Outcome { Decoded, Failed, TooLarge };

// The smallest scale n/8 whose output covers want in both directions; the output size is
// left in cinfo.
void chooseScale(jpeg_decompress_struct* cinfo, QSize want) {
    cinfo->scale_denom = 8;
    for (unsigned n = 1; n <= 8; ++n) {
        cinfo->scale_num = n;
        jpeg_calc_output_dimensions(cinfo);
        if (int(cinfo->output_width) >= want.width() && int(cinfo->output_height) >= want.height())
            return;
    }
}

// Everything that libjpeg may jump out of lives in this function, and it holds no C++ object
// with a destructor of its own: the jump skips no cleanup. On Failed, message holds the
// decoder's text.
Outcome decode(const JpegSource& source, JpegTarget target, JpegPicture* out, char* message,
               std::size_t messageSize) {
    jpeg_decompress_struct cinfo;
    ErrorManager jerr;
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = errorExit;
    jerr.pub.output_message = outputMessage;
    if (setjmp(jerr.jump)) {
        const int code = jerr.pub.msg_code;
        jpeg_destroy_decompress(&cinfo); // also frees what the decoder allocated
        if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE)
            return Outcome::TooLarge;
        std::snprintf(message, messageSize, "%s", jerr.message);
        return Outcome::Failed;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kDecoderMemory;
    source.attach(&cinfo);
    jpeg_read_header(&cinfo, TRUE);
    out->size = QSize(int(cinfo.image_width), int(cinfo.image_height));

    const bool gray = cinfo.num_components == 1;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = gray ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    if (target)
        chooseScale(&cinfo, target(out->size));
    else
        jpeg_calc_output_dimensions(&cinfo);
    const qint64 ownPixels = qint64(cinfo.image_width) * cinfo.image_height;
    const qint64 decodedPixels = qint64(cinfo.output_width) * cinfo.output_height;
    if (decodedPixels > kMaxJpegPixels ||
        (jpeg_has_multiple_scans(&cinfo) && ownPixels > kMaxJpegPixels)) {
        jpeg_destroy_decompress(&cinfo);
        return Outcome::TooLarge;
    }
    jpeg_start_decompress(&cinfo);

    const int width = int(cinfo.output_width);
    const int height = int(cinfo.output_height);
    out->image = QImage(width, height, gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    if (out->image.isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return Outcome::TooLarge;
    }
    // A CMYK row goes through a buffer of the decoder's own, freed when it is destroyed.
    JSAMPARRAY cmykRow = cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                           JPOOL_IMAGE, JDIMENSION(width) * 4, 1)
                              : nullptr;
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        JSAMPROW row = cmyk ? cmykRow[0] : out->image.scanLine(y);
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (cmyk)
            cmykToRgb(row, out->image.scanLine(y), width, cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    out->depth = gray ? 8 : 24;
    return Outcome::Decoded;
}

JpegPicture decodeFrom(const JpegSource& source, JpegTarget target) {
    JpegPicture picture;
    char message[JMSG_LENGTH_MAX];
    switch (decode(source, target, &picture, message, sizeof message)) {
    case Outcome::Decoded:
        return picture;
    case Outcome::TooLarge:
        throw PictureTooLargeError(picture.size);
    case Outcome::Failed:
        break;
    }
    throw std::runtime_error(message);
}

} // namespace

namespace {

QString tooLargeMessage(QSize own) {
    // The size is known once the header is read; the decoder's memory bound may be met sooner.
    if (!own.isValid())
        return QStringLiteral("A kép túl nagy, nem tölthető be !");
    return QStringLiteral("A kép túl nagy (%1 × %2 képpont), nem tölthető be !")
        .arg(own.width())
        .arg(own.height());
}

} // namespace

PictureTooLargeError::PictureTooLargeError(QSize own)
    : std::runtime_error(tooLargeMessage(own).toStdString()) {}

QString PictureTooLargeError::userMessage() const {
    return QString::fromUtf8(what());
}

JpegPicture decodeJpegFile(const QString& path, JpegTarget target) {
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file) {
        const int code = errno;
        throw std::runtime_error(QStringLiteral("A(z) „%1” fájl nem nyitható meg. %2")
                                     .arg(path, QString::fromLocal8Bit(std::strerror(code)))
                                     .toStdString());
    }
    // The file is closed whether the decoding succeeds or throws.
    const std::unique_ptr<FILE, int (*)(FILE*)> closer(file, &std::fclose);
    return decodeFrom(JpegSource{file, nullptr, 0}, target);
}

JpegPicture decodeJpegData(const QByteArray& bytes, JpegTarget target) {
    return decodeFrom(JpegSource{nullptr, reinterpret_cast<const unsigned char*>(bytes.constData()),
                                 static_cast<unsigned long>(bytes.size())},
                      target);
}

} // namespace kx
